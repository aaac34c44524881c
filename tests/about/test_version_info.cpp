// The platform's version functions and GetVersionString, on the program's own version
// resource.
#include "platform/system.h"
#include "platform/version.h"
#include "res/resource.h"
#include "ui/AboutDlg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class VersionInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetModuleFileNameOverride(nullptr);
        QbxRegisterResources(true);
        char path[4096] = "";
        ASSERT_GT(GetModuleFileName(path, sizeof path), 0u);
        m_self = path;
    }
    void TearDown() override
    {
        SetModuleFileNameOverride(nullptr);
        QbxRegisterResources(true);
    }
    std::vector<BYTE> ReadBlock()
    {
        DWORD size = GetFileVersionInfoSize(m_self.c_str(), nullptr);
        std::vector<BYTE> block(size);
        EXPECT_TRUE(size > 0 && GetFileVersionInfo(m_self.c_str(), 0, size, block.data()));
        return block;
    }
    static std::string Query(const std::vector<BYTE>& block, const char* sub, UINT* len = nullptr)
    {
        void* value = nullptr;
        UINT n = 0;
        if (!VerQueryValue(block.data(), sub, &value, &n)) return value || n ? "<dirty>" : "<none>";
        if (len) *len = n;
        return static_cast<const char*>(value);
    }
    std::string m_self;
};

TEST_F(VersionInfoTest, TheBlockCarriesFixedPartTranslationsAndStrings)
{
    std::vector<BYTE> block = ReadBlock();
    block = std::vector<BYTE>(block);  // a moved copy answers the same: no pointers inside

    void* value = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValue(block.data(), "\\", &value, &len));
    ASSERT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, value, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00010000u);  // 1.0.13.0
    EXPECT_EQ(fixed.dwFileVersionLS, 0x000D0000u);
    EXPECT_EQ(fixed.dwProductVersionLS, 0x000D0000u);
    EXPECT_EQ(fixed.dwFileType, VFT_APP);

    ASSERT_TRUE(VerQueryValue(block.data(), "\\VarFileInfo\\Translation", &value, &len));
    ASSERT_EQ(len, 4u);
    WORD pair[2];
    std::memcpy(pair, value, sizeof pair);
    EXPECT_EQ(pair[0], 0x0409);
    EXPECT_EQ(pair[1], 0x04B0);

    EXPECT_EQ(Query(block, "\\StringFileInfo\\040904B0\\ProductVersion", &len), "1.13");
    EXPECT_EQ(len, 5u) << "characters with the NUL";
    EXPECT_EQ(Query(block, "\\StringFileInfo\\040904b0\\FILEVERSION"), "1.13");
    EXPECT_EQ(Query(block, "\\StringFileInfo\\040904b0\\CompanyName", &len), "");
    EXPECT_EQ(len, 1u);
    EXPECT_EQ(Query(block, "\\StringFileInfo\\040904b0\\Comments"), "<none>");
    EXPECT_EQ(Query(block, "\\StringFileInfo\\040704b0\\ProductVersion"), "<none>");
    EXPECT_EQ(Query(block, "\\StringFileInfo\\040904b0"), "<none>");
    std::vector<BYTE> zeros(512, 0);
    EXPECT_EQ(Query(zeros, "\\"), "<none>") << "not a version block";
}

TEST_F(VersionInfoTest, OnlyTheRunningExecutableWithAVersionResourceHasOne)
{
    DWORD size = GetFileVersionInfoSize(m_self.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size, 0xAB);
    EXPECT_FALSE(GetFileVersionInfo(m_self.c_str(), 0, size - 1, block.data()));
    EXPECT_EQ(block, std::vector<BYTE>(size, 0xAB)) << "a short buffer is not written";

    EXPECT_EQ(GetFileVersionInfoSize("/bin/sh", nullptr), 0u);
    EXPECT_EQ(GetFileVersionInfoSize((m_self + "x").c_str(), nullptr), 0u);
    QbxRegisterResources(false);
    EXPECT_EQ(GetFileVersionInfoSize(m_self.c_str(), nullptr), 0u);
    EXPECT_FALSE(GetFileVersionInfo(m_self.c_str(), 0, size, block.data()));
}

TEST_F(VersionInfoTest, GetVersionStringCopiesWithinTheLengthOrLeavesTheBuffer)
{
    char buf[55];
    auto read = [&buf](int max) {
        std::strcpy(buf, "old");
        return GetVersionString(buf, max, 1, nullptr);
    };
    EXPECT_EQ(read(55), 1);
    EXPECT_STREQ(buf, "1.13");
    EXPECT_EQ(read(3), 1);
    EXPECT_STREQ(buf, "1.");
    EXPECT_EQ(read(1), 1);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(read(0), 0);
    EXPECT_STREQ(buf, "old");
    EXPECT_EQ(GetVersionString(nullptr, 55, 1, nullptr), 0);

    // The module's path is read into 128 characters: a longer one names no file.
    SetModuleFileNameOverride(("/" + std::string(117, 'q') + "/quillbox").c_str());  // 127
    EXPECT_EQ(read(55), 1);
    EXPECT_STREQ(buf, "1.13");
    SetModuleFileNameOverride(("/" + std::string(118, 'q') + "/quillbox").c_str());  // 128
    EXPECT_EQ(read(55), 1);
    EXPECT_STREQ(buf, "old");

    SetModuleFileNameOverride(nullptr);
    QbxRegisterResources(false);
    EXPECT_EQ(read(55), 1);
    EXPECT_STREQ(buf, "old");
}

// The manual pages are made from the same project version as the version resource:
// each one's footer names the version GetVersionString gives the About box.
TEST_F(VersionInfoTest, EveryManualPageNamesTheProductVersion)
{
    char version[55] = "";
    ASSERT_EQ(GetVersionString(version, sizeof version, 1, nullptr), 1);
    int pages = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QBX_MAN_DIR)) {
        if (entry.path().extension() != ".1") continue;
        ++pages;
        std::ifstream in(entry.path());
        std::string header;
        std::getline(in, header);
        EXPECT_NE(header.find("\"Quillbox " + std::string(version) + "\""), std::string::npos)
            << entry.path() << ": " << header;
    }
    EXPECT_GE(pages, 3);
}

}  // namespace
