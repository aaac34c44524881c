// Reading the settings.
#include "app_harness.h"

#include "app/Config.h"
#include "app/Globals.h"
#include "platform/system.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <sys/stat.h>

TEST(Config, NoFileGivesDefaults)
{
    AppHarness h;
    ASSERT_TRUE(h.Start());
    CMainFrame* f = h.Frame();
    EXPECT_STREQ(f->m_szRemoteIP, "");
    EXPECT_STREQ(f->m_szRemotePort, "3102");
    EXPECT_EQ(f->m_nRemotePort, 3102);
    EXPECT_TRUE(g_bAutoDelete);
    EXPECT_STREQ(g_szSortBy, "");
    EXPECT_STREQ(f->m_szSaveDir, "");
}

TEST(Config, AutoDeleteNoInAnyCaseTurnsItOffOtherValuesDoNot)
{
    for (const char* v : {"no", "NO", "No", "nO"}) {
        AppHarness h(std::string("[QBXConfig]\nAutoDelete=") + v + "\n");
        ASSERT_TRUE(h.Start());
        EXPECT_FALSE(g_bAutoDelete) << v;
    }
    for (const char* v : {"false", "0", "yes", "n", "none"}) {
        AppHarness h(std::string("[QBXConfig]\nAutoDelete=") + v + "\n");
        ASSERT_TRUE(h.Start());
        EXPECT_TRUE(g_bAutoDelete) << v;
    }
}

TEST(Config, LongAddressIsCutTo127AndPortReadsItsLeadingNumber)
{
    std::string addr(200, 'a');
    AppHarness h("[NetInfo]\nRemoteIP=" + addr + "\nRemotePort= +91x\n");
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(std::string(h.Frame()->m_szRemoteIP), std::string(127, 'a'));
    EXPECT_EQ(h.Frame()->m_nRemotePort, 91);
}

TEST(Config, BindAddressIsReadOnlyWhenIpFromIniHasAValue)
{
    {
        AppHarness h;
        std::ofstream(h.Folder() + "/Halvern.ini") << "[IP]\nIPFROMINI=\nIP=127.0.0.2\n";
        ASSERT_TRUE(h.Start());
        EXPECT_STREQ(h.Frame()->m_szBindIP, "");
    }
    {
        AppHarness h;
        std::ofstream(h.Folder() + "/Halvern.ini") << "[IP]\nIPFROMINI=1\nIP=127.0.0.2\n";
        ASSERT_TRUE(h.Start());
        EXPECT_STREQ(h.Frame()->m_szBindIP, "127.0.0.2");
    }
}

TEST(Config, LeadingNumberHandlesSignsBlanksAndOverflow)
{
    EXPECT_EQ(LeadingNumber("  42abc"), 42);
    EXPECT_EQ(LeadingNumber("-7"), -7);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("99999999999999"), 2147483647);
}

TEST(Config, SettingsOfACopyInAFolderThatCannotBeWrittenGoToTheUsersConfigFolder)
{
    AppHarness h;
    std::string config = MakeTempFolder("xdg");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    // An installed copy: its folder is not there for us to write.
    SetModuleFileNameOverride("/nonexistent-quillbox-install/bin/quillbox");
    ASSERT_TRUE(h.Start());
    AppHarness::TypeInto(h.MainDlg(), 1018, "9");
    AppHarness::TypeInto(h.MainDlg(), 1001, "1");
    h.Frame()->m_bSettingsChanged = TRUE;
    h.Frame()->RequestExit();
    EXPECT_TRUE(h.PumpUntilExit(5000));
    std::ifstream in(config + "/quillbox/Quillbox.ini");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("RemotePort=3102"), std::string::npos) << text;
    // The next start of that copy reads them back from there.
    SetModuleFileNameOverride("/nonexistent-quillbox-install/bin/quillbox");
    EXPECT_EQ(QuillboxIniReadPath(), config + "/quillbox/Quillbox.ini");
    SetModuleFileNameOverride(nullptr);
    unsetenv("XDG_CONFIG_HOME");
}

// Where each kind of copy keeps its settings: beside a copy in a build folder, in the
// per-user file for an installed copy (even one whose bin/ folder could be written,
// as root's can) and for a copy in a folder that cannot be written.
TEST(Config, InstalledCopyKeepsItsSettingsInTheUsersFolderOnly)
{
    const std::string root = MakeTempFolder("layout");
    const std::string xdg = MakeTempFolder("xdg-installed");
    setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    const std::string user = xdg + "/quillbox/Quillbox.ini";
    for (const char* dir : {"/usr", "/usr/bin", "/usr/share", "/usr/share/applications", "/build", "/build/src",
                            "/other", "/other/bin", "/other/share", "/other/share/applications"})
        ASSERT_EQ(::mkdir((root + dir).c_str(), 0755), 0) << dir;
    std::ofstream(root + "/usr/share/applications/" QBX_TEST_APP_ID ".desktop") << "[Desktop Entry]\n";
    std::ofstream(root + "/other/share/applications/someone.else.desktop") << "[Desktop Entry]\n";
    // A stray file beside the installed executable is not read either.
    std::ofstream(root + "/usr/bin/Quillbox.ini") << "[NetInfo]\nRemoteIP=stray\n";

    struct Case {
        const char* exe;
        bool installed;
        std::string kept;
    } cases[] = {
        {"/usr/bin/quillbox", true, user},
        {"/build/src/quillbox", false, root + "/build/src/Quillbox.ini"},
        {"/other/bin/quillbox", false, root + "/other/bin/Quillbox.ini"},
    };
    for (const Case& c : cases) {
        const std::string exe = root + c.exe;
        SetModuleFileNameOverride(exe.c_str());
        const std::string folder = exe.substr(0, exe.find_last_of('/') + 1);
        EXPECT_EQ(IsInstalledCopy(folder.c_str()), c.installed) << c.exe;
        EXPECT_EQ(QuillboxIniPath(), c.kept) << c.exe;
        EXPECT_EQ(QuillboxIniReadPath(), c.kept) << c.exe;
        EXPECT_EQ(QuillboxIniWritePath(), c.kept) << c.exe;
    }
    for (const char* system : {"/usr/bin/", "/usr/local/bin", "/bin/"}) EXPECT_TRUE(IsInstalledCopy(system)) << system;
    EXPECT_FALSE(IsInstalledCopy(nullptr));
    EXPECT_FALSE(IsInstalledCopy(""));

    // The installed copy writes its settings at exit into the per-user file, and
    // nothing beside its executable changes.
    SetModuleFileNameOverride((root + "/usr/bin/quillbox").c_str());
    {
        AppHarness h;
        SetModuleFileNameOverride((root + "/usr/bin/quillbox").c_str());
        ASSERT_TRUE(h.Start());
        EXPECT_STREQ(h.Frame()->m_szRemoteIP, "");
        h.Frame()->m_bSettingsChanged = TRUE;
        h.Frame()->RequestExit();
        EXPECT_TRUE(h.PumpUntilExit(5000));
    }
    std::ifstream in(user);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("RemotePort=3102"), std::string::npos) << text;
    std::ifstream stray(root + "/usr/bin/Quillbox.ini");
    std::string strayText((std::istreambuf_iterator<char>(stray)), std::istreambuf_iterator<char>());
    EXPECT_EQ(strayText, "[NetInfo]\nRemoteIP=stray\n");
    SetModuleFileNameOverride(nullptr);
    unsetenv("XDG_CONFIG_HOME");
}
