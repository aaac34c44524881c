// Start-up and the orderly exit of the whole program.
#include "app_harness.h"

#include "app/Globals.h"
#include "platform/resources.h"
#include "platform/socket.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QtCore/qnamespace.h>

TEST(Startup, ShowsMainDialogWithStoredAddressAndHiddenHelp)
{
    AppHarness h("[NetInfo]\nRemoteIP=10.1.2.3\nRemotePort=9100\n");
    ASSERT_TRUE(h.Start());
    CMainFrame* f = h.Frame();
    // "Quillbox" in English; the run in the pseudo-language takes the pictures only.
    if (std::string(GetResourceLanguage()) == "en") EXPECT_EQ(f->m_strTitle, "Quillbox");
    EXPECT_FALSE(f->IsWindowVisible());
    CQuillboxDlg* dlg = h.MainDlg();
    char text[128];
    dlg->GetDlgItemText(1002, text, sizeof text);
    EXPECT_STREQ(text, "10.1.2.3");
    dlg->GetDlgItemText(1018, text, sizeof text);
    EXPECT_STREQ(text, "9100");
    EXPECT_EQ(f->m_nRemotePort, 9100);
    // The fills are not the user's edits.
    EXPECT_FALSE(dlg->m_bAddressChanged);
    EXPECT_FALSE(dlg->GetDlgItem(57666)->IsWindowVisible());
    EXPECT_FALSE(dlg->GetDlgItem(57666)->IsWindowEnabled());
    EXPECT_TRUE(dlg->GetDlgItem(1001)->HasFocus());
    AppHarness::Screenshot(dlg, "main-dialog");
    AppHarness::TypeInto(dlg, 1001, "1234");
    EXPECT_FALSE(AppHarness::DocScreenshot(dlg, "main-dialog").empty());
}

TEST(Startup, FrameFieldsStartAsDocumented)
{
    AppHarness h;
    ASSERT_TRUE(h.Start());
    CMainFrame* f = h.Frame();
    EXPECT_EQ(f->m_pDirectory, nullptr);
    EXPECT_TRUE(f->m_bInHeader);
    EXPECT_FALSE(f->m_bClosing);
    EXPECT_FALSE(f->m_bBusy);
    EXPECT_EQ(f->m_nCurrentOp, 0);
    EXPECT_STREQ(f->m_szUserID, "");
    EXPECT_STREQ(f->m_szBindIP, "");
}

TEST(Startup, SocketLayerFailureShowsBoxAndEndsBeforeAnyWindow)
{
    AppHarness h;
    SetSocketInitFailure(true);
    bool ok = h.Start();
    SetSocketInitFailure(false);
    EXPECT_FALSE(ok);
    ASSERT_EQ(h.prompts.Boxes().size(), 1u);
    EXPECT_EQ(h.prompts.Boxes()[0].text, "Windows sockets initialization failed.");
    EXPECT_EQ(h.Frame(), nullptr);
}

TEST(Exit, CloseButtonEndsProgramOneSecondLaterWithoutWritingUnchangedSettings)
{
    AppHarness h;
    ASSERT_TRUE(h.Start());
    AppHarness::Click(h.MainDlg(), 57665);
    h.PumpPending();
    // The first stage has run: dialogs gone at once, the frame waits for its close timer.
    ASSERT_NE(h.Frame(), nullptr);
    EXPECT_TRUE(h.Frame()->m_bClosing);
    EXPECT_EQ(h.Frame()->m_pMainDlg, nullptr);
    EXPECT_TRUE(h.PumpUntilExit(5000));
    EXPECT_EQ(h.ReadIni(), "");
}

TEST(Exit, EscInMainDialogEndsProgramLikeClose)
{
    AppHarness h;
    ASSERT_TRUE(h.Start());
    AppHarness::PressKey(h.MainDlg(), Qt::Key_Escape);
    h.PumpPending();
    ASSERT_NE(h.Frame(), nullptr);
    EXPECT_TRUE(h.Frame()->m_bClosing);
    EXPECT_EQ(h.Frame()->m_pMainDlg, nullptr);
    EXPECT_TRUE(h.PumpUntilExit(5000));
}

TEST(Exit, RequestExitTwiceAndSecondCloseAreHarmless)
{
    AppHarness h;
    ASSERT_TRUE(h.Start());
    CMainFrame* f = h.Frame();
    f->RequestExit();
    f->RequestExit();
    h.PumpPending();
    EXPECT_EQ(f->m_pMainDlg, nullptr);
    f->PostMessage(WM_CLOSE);  // a second close finds nothing left and restarts the timer
    h.PumpPending();
    EXPECT_TRUE(h.PumpUntilExit(5000));
}

TEST(Exit, ChangedAddressIsWrittenAtExitInOrder)
{
    struct Row {
        const char* what;
        const char* ini;
        const char* saveDir;
        bool keysNew;  // none of the written keys is in the file yet: they follow in the order written
    } rows[] = {
        {"keys already there", "[MiscData]\nSaveDir=/home/u/scans\nSortBy=106\n[QBXConfig]\nAutoDelete=No\n",
         "SaveDir=/home/u/scans", false},
        {"keys not there yet", "[QBXConfig]\nAutoDelete=No\n", "SaveDir=", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        AppHarness h(r.ini);
        ASSERT_TRUE(h.Start());
        CQuillboxDlg* dlg = h.MainDlg();
        dlg->SetDlgItemText(1002, "");
        AppHarness::TypeInto(dlg, 1002, "127.0.0.1");
        AppHarness::TypeInto(dlg, 1001, "42");
        EXPECT_TRUE(dlg->m_bAddressChanged);
        // OK: the frame takes the fields; nothing listens there, so the connection is
        // refused, reported, and the program ends.
        h.Frame()->PostMessage(WM_QBX_MAINDLG, 0, 1);
        h.PumpPending();
        EXPECT_TRUE(h.Frame()->m_bSettingsChanged);
        EXPECT_TRUE(h.PumpUntilExit(8000));
        const std::string ini = h.ReadIni();
        const std::size_t ip = ini.find("RemoteIP=127.0.0.1\n"), port = ini.find("RemotePort=3102\n"),
                          dir = ini.find(std::string(r.saveDir) + "\n");
        EXPECT_NE(ip, std::string::npos) << ini;
        EXPECT_NE(port, std::string::npos) << ini;
        EXPECT_NE(dir, std::string::npos) << ini;
        if (r.keysNew) {
            EXPECT_LT(ip, port) << ini;
            EXPECT_LT(port, dir) << ini;
        }
        // Keys the exit does not own stay as they were.
        EXPECT_NE(ini.find("AutoDelete=No"), std::string::npos) << ini;
        if (!r.keysNew) {
            EXPECT_NE(ini.find("SortBy=106"), std::string::npos) << ini;
        }
    }
}

TEST(Exit, ExitRequestedWhileAModalBoxIsOpenFinishesOnceTheBoxIsClosed)
{
    AppHarness h;
    ASSERT_TRUE(h.Start());
    CMainFrame* f = h.Frame();
    bool boxWasOpen = false;
    // From inside the About box's own loop: the exit starts, its close timer ticks
    // more than once while the box is still up, then the user closes the box.
    QTimer::singleShot(50, [&] { f->RequestExit(); });
    QTimer::singleShot(2600, [&] {
        QWidget* box = QApplication::activeModalWidget();
        boxWasOpen = box != nullptr;
        if (box) QTest::keyClick(box, Qt::Key_Escape);
    });
    AppHarness::Click(h.MainDlg(), 1024);
    EXPECT_TRUE(boxWasOpen);
    EXPECT_TRUE(h.PumpUntilExit(5000));
}

TEST(Exit, JobEndAfterTheDialogsAreGoneTouchesNothing)
{
    AppHarness h;
    ASSERT_TRUE(h.Start());
    CMainFrame* f = h.Frame();
    f->RequestExit();
    h.PumpPending();
    ASSERT_EQ(f->m_pMainDlg, nullptr);
    for (int kind = 0; kind <= 4; ++kind) f->JobEnd(kind);
    EXPECT_FALSE(f->m_bBusy);
    EXPECT_TRUE(h.PumpUntilExit(5000));
}
