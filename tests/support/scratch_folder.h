// A folder of a test's own below the system's temporary folder, and the few reads and
// writes the file tests make in it. Standard library and GoogleTest only, so the same
// on every system (the tests that use it run under Wine too).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

// Makes a new, empty folder "qbx-TAG-N" (N random) below the temporary folder and
// returns its path with forward slashes (the paths the program hands the local copy on
// every system); empty when none could be made.
inline std::string MakeScratchFolder(const std::string& tag)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = "qbx-" + tag + "-" + std::to_string(random());
        const std::string t = (std::filesystem::temp_directory_path() / name).generic_string();
        std::error_code ec;
        if (std::filesystem::create_directory(t, ec)) return t;
    }
    return {};
}

// Removes folder and all in it, the owner's permissions given back first (a test may
// have taken them away to make the copy fail).
inline void RemoveScratchFolder(const std::string& folder)
{
    std::error_code ec;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(folder, ec);
}

inline void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The file's bytes; "<missing>" when it cannot be read.
inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The names of what is in folder, sorted.
inline std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> r;
    for (auto& e : std::filesystem::directory_iterator(folder)) r.push_back(e.path().filename().generic_string());
    std::sort(r.begin(), r.end());
    return r;
}

// A fixture with a scratch folder named after the test suite, made before each test
// and removed after it.
class ScratchFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = MakeScratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name());
        ASSERT_FALSE(folder.empty()) << "no folder could be made below the temporary folder";
    }
    void TearDown() override { RemoveScratchFolder(folder); }
    std::string folder;
};
