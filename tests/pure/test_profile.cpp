#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

class Profile : public ::testing::Test {
protected:
    void SetUp() override
    {
        namespace fs = std::filesystem;
        std::random_device random;
        m_dir = (fs::temp_directory_path() / ("qbx_profile_" + std::to_string(random()))).generic_string();
        ASSERT_TRUE(fs::create_directory(m_dir));
        m_file = m_dir + "/Quillbox.ini";
    }
    void TearDown() override
    {
        SetProfileSystemFolder(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    void Put(const std::string& content, const std::string& path = "")
    {
        FILE* f = std::fopen((path.empty() ? m_file : path).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    std::string Contents()
    {
        FILE* f = std::fopen(m_file.c_str(), "rb");
        if (f == nullptr) return "<missing>";
        std::string s;
        char buf[512];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
        std::fclose(f);
        return s;
    }
    std::string Get(const char* section, const char* key, const char* def, DWORD size = 128)
    {
        char out[300];
        DWORD n = GetPrivateProfileString(section, key, def, out, size, m_file.c_str());
        EXPECT_EQ(n, std::string(out).size());
        return out;
    }
    BOOL Write(const char* section, const char* key, const char* value)
    {
        return WritePrivateProfileString(section, key, value, m_file.c_str());
    }
    std::string m_dir, m_file;
};

TEST_F(Profile, DefaultsAndTruncation)
{
    EXPECT_EQ(Get("NetInfo", "RemotePort", "3102"), "3102");  // no file
    Put("[NetInfo]\nRemoteIP=" + std::string(200, 'a') + "\n");
    EXPECT_EQ(Get("NetInfo", "RemotePort", "3102"), "3102");  // no key
    EXPECT_EQ(Get("MiscData", "SortBy", nullptr), "");        // no section
    EXPECT_EQ(Get("NetInfo", "RemoteIP", "", 128), std::string(127, 'a'));
    EXPECT_EQ(Get("X", "Y", "abcdef", 4), "abc");
    char out[4] = "zz";
    EXPECT_EQ(GetPrivateProfileString("NetInfo", "RemoteIP", "", out, 0, m_file.c_str()), 0u);
    EXPECT_STREQ(out, "zz");
}

TEST_F(Profile, NamesAndValuesAsTheFormatHasThem)
{
    Put("\xEF\xBB\xBF; comment\r\n"
        "[ netinfo ]\r\n"
        "  remoteip =  printer.local  \r\n"
        ";RemotePort=1\r\n"
        "RemotePort=\"  9100 \"\r\n"
        "[QBXConfig]\r\n"
        "AutoDelete=no\r\n"
        "[NETINFO]\r\n"
        "Later=ignored\r\n");
    EXPECT_EQ(Get("NetInfo", "RemoteIP", ""), "printer.local");
    EXPECT_EQ(Get(" NETINFO ", "REMOTEIP", ""), "printer.local");
    EXPECT_EQ(Get("NetInfo", "RemotePort", "3102"), "  9100 ");
    EXPECT_EQ(Get("qbxconfig", "autodelete", "yes"), "no");
    EXPECT_EQ(Get("QBXConfig", "RemoteIP", "none"), "none");  // keys stay in their section
    EXPECT_EQ(Get("NetInfo", "Later", "none"), "none");       // the first section counts
}

TEST_F(Profile, WritingCreatesFileAndSections)
{
    EXPECT_TRUE(Write("NetInfo", "RemoteIP", "10.1.1.1"));
    EXPECT_TRUE(Write("NetInfo", "RemotePort", "3102"));
    EXPECT_TRUE(Write("MiscData", "SaveDir", "/tmp/"));
    EXPECT_EQ(Contents(), "[NetInfo]\nRemoteIP=10.1.1.1\nRemotePort=3102\n[MiscData]\nSaveDir=/tmp/\n");
    const auto entries = std::distance(std::filesystem::directory_iterator(m_dir), {});
    EXPECT_EQ(entries, 1) << "temporary file left";
}

TEST_F(Profile, WritingUpdatesInPlaceAndKeepsEverythingElse)
{
    Put("; settings\n[netinfo]\n  remoteIP = "
        "old\nRemotePort=3102\n\n[QBXConfig]\nAutoDelete=no\n\n[MiscData]\nSortBy=106");
#ifndef _WIN32
    ASSERT_EQ(chmod(m_file.c_str(), 0640), 0);
#endif
    EXPECT_TRUE(Write("NetInfo", "RemoteIP", "new.host"));
    EXPECT_TRUE(Write("QBXConfig", "Extra", "1"));
    EXPECT_TRUE(Write("MiscData", "SaveDir", "/home/u"));
    EXPECT_EQ(Contents(), "; settings\n[netinfo]\n  remoteIP=new.host\nRemotePort=3102\n\n[QBXConfig]\nAutoDelete=no\n"
                          "Extra=1\n\n[MiscData]\nSortBy=106\nSaveDir=/home/u\n");
#ifndef _WIN32  // Windows files have no mode bits
    struct stat st {};
    ASSERT_EQ(stat(m_file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif

    Put("[NetInfo]\r\nRemoteIP=a\r\n");  // CR LF files stay CR LF
    EXPECT_TRUE(Write("NetInfo", "remoteip", "b"));
    EXPECT_TRUE(Write("MiscData", "SortBy", "105"));
    EXPECT_EQ(Contents(), "[NetInfo]\r\nRemoteIP=b\r\n[MiscData]\r\nSortBy=105\r\n");
}

TEST_F(Profile, DeletionAndRefusals)
{
    Put("[A]\nx=1\ny=2\n[B]\nz=3\n");
    EXPECT_TRUE(Write("a", "X", nullptr));
    EXPECT_TRUE(Write("B", nullptr, nullptr));
    EXPECT_EQ(Contents(), "[A]\ny=2\n");
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", (m_file + "/sub.ini").c_str()));  // folder is a file
    EXPECT_FALSE(Write("S", "k", "line\nbreak"));
    EXPECT_FALSE(Write("S", "k=j", "v"));
    EXPECT_EQ(Contents(), "[A]\ny=2\n");
}

TEST_F(Profile, BareNamesAreLookedForInTheSystemFolder)
{
    Put("[IP]\nIPFROMINI=1\nIP=192.168.0.9\n", m_dir + "/Halvern.ini");
    SetProfileSystemFolder(m_dir.c_str());
    char out[128];
    EXPECT_EQ(GetPrivateProfileString("IP", "IP", "", out, sizeof out, "Halvern.ini"), 11u);
    EXPECT_STREQ(out, "192.168.0.9");
}

}  // namespace
