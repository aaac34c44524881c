// The system services on a real system, the same tests for the POSIX and the Windows
// twins (the Windows ones under Wine): paths come back in the program's form (UTF-8,
// "/" between folders), what is at a path is told apart, and the folders the settings
// and the first Save As use are where each system keeps them.
#include "platform/system.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

void SetEnv(const char* name, const char* value)
{
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool EndsWith(const std::string& s, const std::string& end)
{
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

class SystemServices : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device random;
        folder = (fs::temp_directory_path() / ("qbx-system-" + std::to_string(random()))).generic_string();
        ASSERT_TRUE(fs::create_directory(folder));
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    std::string folder;
};

TEST_F(SystemServices, WhatIsAtAPathIsToldApart)
{
    std::ofstream(folder + "/scan.TIF", std::ios::binary) << "12345";
    fs::create_directory(folder + "/sub");
    const struct {
        std::string path;
        DWORD attributes;
        bool file, dir;
    } rows[] = {
        {folder + "/scan.TIF", FILE_ATTRIBUTE_NORMAL, true, false},
        {folder + "/sub", FILE_ATTRIBUTE_DIRECTORY, false, true},
        {folder + "/missing.TIF", INVALID_FILE_ATTRIBUTES, false, false},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(GetFileAttributes(r.path.c_str()), r.attributes) << r.path;
        EXPECT_EQ(FileExists(r.path.c_str()) != FALSE, r.file) << r.path;
        EXPECT_EQ(FolderExists(r.path.c_str()) != FALSE, r.dir) << r.path;
    }
    std::uint64_t size = 0;
    EXPECT_TRUE(GetPathSize((folder + "/scan.TIF").c_str(), &size));
    EXPECT_EQ(size, 5u);
    EXPECT_FALSE(GetPathSize((folder + "/missing.TIF").c_str(), &size));
    EXPECT_TRUE(FolderWritable(folder.c_str()));
    EXPECT_GE(GetMaxComponentLength(folder.c_str()), 255u);
    EXPECT_TRUE(DeleteFile((folder + "/scan.TIF").c_str()));
    EXPECT_FALSE(FileExists((folder + "/scan.TIF").c_str()));
    EXPECT_FALSE(DeleteFile((folder + "/scan.TIF").c_str()));
}

TEST_F(SystemServices, PathsComeBackInTheProgramsForm)
{
    char buf[MAX_PATH];
    ASSERT_GT(GetModuleFileName(buf, sizeof buf), 0u);
    const std::string exe = buf;
    EXPECT_TRUE(FileExists(exe.c_str())) << exe;
    ASSERT_GT(GetTempPath(sizeof buf, buf), 0u);
    const std::string temp = buf;
    EXPECT_TRUE(EndsWith(temp, "/")) << temp;
    EXPECT_TRUE(FolderWritable(temp.c_str())) << temp;
    const std::string config = GetUserConfigFolder("quillbox");
    const std::string pictures = GetUserPicturesFolder();
    for (const std::string& p : {exe, temp, config, pictures}) EXPECT_EQ(p.find('\\'), std::string::npos) << p;
#ifdef _WIN32
    EXPECT_TRUE(EndsWith(config, "/Quillbox/")) << config;  // %APPDATA%/Quillbox/
#else
    SetEnv("XDG_CONFIG_HOME", folder.c_str());
    EXPECT_EQ(GetUserConfigFolder("quillbox"), folder + "/quillbox/");
    SetEnv("XDG_CONFIG_HOME", nullptr);
    {
        // Without HOME: the home folder of the user database, never a shared folder
        // where someone else could put the settings first.
        const char* home = std::getenv("HOME");
        const std::string saved = home ? home : "";
        SetEnv("HOME", nullptr);
        const std::string without = GetUserConfigFolder("quillbox");
        if (home) SetEnv("HOME", saved.c_str());
        EXPECT_EQ(without.rfind("/tmp", 0), std::string::npos) << without;
        struct passwd* pw = ::getpwuid(::getuid());
        if (pw && pw->pw_dir && pw->pw_dir[0] == '/')
            EXPECT_EQ(without, std::string(pw->pw_dir) + "/.config/quillbox/");
    }
#endif
    if (!pictures.empty()) {
        EXPECT_TRUE(EndsWith(pictures, "/")) << pictures;
        EXPECT_TRUE(FolderExists(pictures.c_str())) << pictures;
    }
}

TEST_F(SystemServices, SystemFolderForTheSiblingProductsFile)
{
    char buf[MAX_PATH];
    SetEnv("QUILLBOX_SYSTEM_DIR", folder.c_str());
    ASSERT_GT(GetWindowsDirectory(buf, sizeof buf), 0u);
    EXPECT_EQ(std::string(buf), folder);
    SetEnv("QUILLBOX_SYSTEM_DIR", nullptr);
    ASSERT_GT(GetWindowsDirectory(buf, sizeof buf), 0u);
#ifdef _WIN32
    EXPECT_TRUE(EndsWith(Lower(buf), "/windows")) << buf;
#else
    EXPECT_EQ(std::string(buf), "/etc");
#endif
}

TEST(SystemProgramFolders, InstalledCopiesAreRecognisedByTheirFolder)
{
    struct Row {
        std::string folder;
        bool system;
    };
#ifdef _WIN32
    const char* pf = std::getenv("ProgramFiles");
    ASSERT_NE(pf, nullptr);
    std::string programFiles = pf;
    std::string upper = programFiles;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const Row rows[] = {{programFiles + "\\Quillbox\\", true},
                        {upper + "/QUILLBOX/", true},
                        {"C:/Users/someone/Desktop/", false},
                        {"C:/", false}};
#else
    const Row rows[] = {{"/usr/bin/", true},    {"/usr/local/bin", true}, {"/bin/", true},
                        {"/opt/q/bin/", false}, {"/usr/bin/x/", false},   {"/", false}};
#endif
    for (const Row& r : rows) EXPECT_EQ(IsSystemProgramFolder(r.folder.c_str()) != FALSE, r.system) << r.folder;
    EXPECT_FALSE(IsSystemProgramFolder(""));
    EXPECT_FALSE(IsSystemProgramFolder(nullptr));
}

}  // namespace

namespace {

// Paths the program shows and joins are written as the system writes them; on Windows
// "C:" alone is the drive's current folder, as cmd.exe takes it, not its root.
TEST(NativePaths, SeparatorsAndFolderPrefixes)
{
#ifdef _WIN32
    EXPECT_EQ(NativePath("Z:\\scans/wcli/007.TIF"), "Z:\\scans\\wcli\\007.TIF");
    EXPECT_EQ(FolderPrefix("Z:\\scans/wcli"), "Z:\\scans\\wcli\\");
    EXPECT_EQ(FolderPrefix("Z:/"), "Z:\\");
    const std::string here = fs::current_path().string();
    const std::string drive = here.substr(0, 2);
    ASSERT_EQ(drive[1], ':');
    std::string expected = here;
    if (expected.back() != '\\') expected += '\\';
    EXPECT_EQ(FolderPrefix(drive), expected) << "the drive's current folder";
    EXPECT_EQ(DocumentationPointer("quillbox-cli").rfind("See README.txt in ", 0), 0u);
#else
    EXPECT_EQ(NativePath("/a/b\\c"), "/a/b\\c") << "a backslash is part of a name here";
    EXPECT_EQ(FolderPrefix("/home/u/scans"), "/home/u/scans/");
    EXPECT_EQ(FolderPrefix("/"), "/");
    EXPECT_EQ(FolderPrefix("C:"), "C:/") << "no drives here";
    EXPECT_EQ(DocumentationPointer("quillbox-cli"), "See quillbox-cli(1).");
#endif
    EXPECT_EQ(FolderPrefix(""), NativePath("./"));
}

}  // namespace
