// The main dialog's Find Printer button and the Printers Found dialog, with the real
// finder. Where nothing can be found it must say so and leave the fields alone; run by
// the private CUPS and mDNS tests (QBX_EXPECT_PRINTER="NAME|ADDRESS|PORT"), it must
// show that printer, and choosing it must fill the address and port as typing would and
// lead to a listing without a typed address.
#include "app_harness.h"

#include "app/FindPrinterDlg.h"
#include "directory/RetrieveDlg.h"
#include "platform/resources.h"
#include "res/resource.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QWindow>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace {

// A window whose timer runs a step of the test inside the modal dialog's loop until
// the step says it is done.
class CPoller : public CWnd {
public:
    std::function<bool()> m_step;
    void OnTimer(UINT_PTR id)
    {
        if (m_step && m_step()) KillTimer(id);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPoller, CWnd)
    ON_WM_TIMER()
END_MESSAGE_MAP()

QWidget* FindDialogWidget()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == "Printers Found") return w;
    return nullptr;
}

std::string StatusText(QWidget* dlg)
{
    for (QLabel* l : dlg->findChildren<QLabel*>())
        if (l->text().startsWith("No printers") || l->text().contains("found") || l->text().startsWith("Looking"))
            return l->text().toStdString();
    return {};
}

std::string Field(CWnd* dlg, int id)
{
    char text[128] = "";
    dlg->GetDlgItemText(id, text, sizeof text);
    return text;
}

class FindDialog : public ::testing::Test {
protected:
    // Runs step from a timer while the dialog the Find button opens is up; fails the
    // test (and ends the dialog) when the step has not finished within timeoutMs.
    void WithFindDialog(AppHarness& h, const std::function<bool(QWidget*)>& step, int timeoutMs)
    {
        CPoller poller;
        ASSERT_TRUE(poller.CreateHandleOnly());
        int waited = 0;
        bool done = false;
        // After the step, the poller stays to end a dialog that did not end.
        poller.m_step = [&] {
            QWidget* dlg = FindDialogWidget();
            if (dlg && !done) done = step(dlg);
            if ((waited += 50) > timeoutMs) {
                if (FindDialogWidget()) QTest::keyClick(FindDialogWidget(), Qt::Key_Escape);
                return true;
            }
            return false;
        };
        poller.SetTimer(1, 50);
        AppHarness::Click(h.MainDlg(), IDC_FIND_PRINTER);
        ASSERT_TRUE(h.PumpUntil([&] { return !FindDialogWidget(); }, timeoutMs + 5000));
        poller.DestroyWindow();
        EXPECT_TRUE(done) << "the dialog did not show what was expected in time";
    }
};

TEST_F(FindDialog, SaysNoneWereFoundAndLeavesTheFieldsAlone)
{
    if (std::getenv("QBX_EXPECT_PRINTER")) GTEST_SKIP() << "a printer is there to be found";
    // No CUPS server answers there, and without a system bus there is no Avahi either.
    setenv("CUPS_SERVER", "127.0.0.1:9", 1);
    AppHarness h("[NetInfo]\nRemoteIP=10.1.2.3\nRemotePort=3102\n");
    ASSERT_TRUE(h.Start());
    const std::string none = GetStringRes(IDS_FIND_NONE);
    WithFindDialog(
        h,
        [&](QWidget* dlg) {
            if (StatusText(dlg) != none) return false;
            EXPECT_EQ(dlg->findChild<QListWidget*>()->count(), 0);
            AppHarness::ScreenshotOf(dlg, "find-printer-none");
            // Use with nothing to use keeps the dialog up; Esc ends it.
            QTest::keyClick(dlg, Qt::Key_Return);
            EXPECT_EQ(FindDialogWidget(), dlg);
            QTest::keyClick(dlg, Qt::Key_Escape);
            return true;
        },
        30000);
    EXPECT_EQ(Field(h.MainDlg(), IDC_REMOTEIP), "10.1.2.3");
    EXPECT_EQ(Field(h.MainDlg(), IDC_REMOTEPORT), "3102");
    EXPECT_FALSE(h.MainDlg()->m_bAddressChanged);
    unsetenv("CUPS_SERVER");
}

TEST_F(FindDialog, ListsThePrinterFromTheSystemAndUsingItLeadsToAListing)
{
    const char* expect = std::getenv("QBX_EXPECT_PRINTER");
    if (!expect) GTEST_SKIP() << "run by the private CUPS and mDNS tests";
    const std::string e = expect;
    const auto bar1 = e.find('|'), bar2 = e.rfind('|');
    const std::string name = e.substr(0, bar1), address = e.substr(bar1 + 1, bar2 - bar1 - 1),
                      port = e.substr(bar2 + 1);
    const std::string linePrefix = name + "\t" + address + ":" + port + "\t";

    AppHarness h;
    ASSERT_TRUE(h.Start());
    WithFindDialog(
        h,
        [&](QWidget* dlg) {
            auto* list = dlg->findChild<QListWidget*>();
            for (int row = 0; row < list->count(); ++row) {
                if (!list->item(row)->text().toStdString().starts_with(linePrefix)) continue;
                const std::string shot = std::string(QBX_TEST_OUTPUT_DIR) + "/find-printer-" +
                                         (std::getenv("QBX_FIND_SHOT") ? std::getenv("QBX_FIND_SHOT") : "found") +
                                         ".png";
                // On a display, what the X server shows (with the window manager's
                // frame) once the window is mapped there; offscreen, the widget itself.
                if (QGuiApplication::platformName() == "xcb") {
                    if (!dlg->windowHandle() || !dlg->windowHandle()->isExposed()) return false;
                    dlg->repaint();
                    QGuiApplication::sync();
                    const QRect r = dlg->frameGeometry();
                    QGuiApplication::primaryScreen()
                        ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
                        .save(QString::fromStdString(shot));
                } else {
                    dlg->grab().save(QString::fromStdString(shot));
                }
                // A double-click on the line uses it.
                const QPoint at = list->visualItemRect(list->item(row)).center();
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
                return true;
            }
            return false;
        },
        30000);
    CQuillboxDlg* main = h.MainDlg();
    EXPECT_EQ(Field(main, IDC_REMOTEIP), address);
    EXPECT_EQ(Field(main, IDC_REMOTEPORT), port);
    EXPECT_TRUE(main->m_bAddressChanged) << "filled as typing would, so it is remembered";

    // From here on nothing but the user ID is typed.
    AppHarness::TypeInto(main, IDC_USERID, "1234");
    AppHarness::Click(main, IDOK);
    CMainFrame* f = h.Frame();
    if (std::getenv("QBX_EXPECT_LISTING")) {
        ASSERT_TRUE(h.PumpUntil([&] { return f->m_pRetrieveDlg && f->m_pRetrieveDlg->m_hWnd; }, 30000));
        EXPECT_GT(f->m_pDirectory->count, 0);
        EXPECT_EQ(std::string(f->m_szServiceName), name) << "the printer is remembered by its name";
        EXPECT_NE(std::string(f->m_szServiceUUID), "");
    } else {
        // Nothing listens at a queue's address in this test: the frame took the found
        // address and port for its connection.
        ASSERT_TRUE(h.PumpUntil([&] { return std::string(f->m_szRemoteIP) == address; }, 5000));
        EXPECT_EQ(std::string(f->m_szRemotePort), port);
    }
}

TEST_F(FindDialog, ASavedPrinterThatMovedIsFoundAgainFromTheSystem)
{
    const char* expect = std::getenv("QBX_EXPECT_PRINTER");
    if (!expect || !std::getenv("QBX_EXPECT_LISTING")) GTEST_SKIP() << "run by the mDNS test";
    const std::string e = expect;
    const auto bar1 = e.find('|'), bar2 = e.rfind('|');
    const std::string name = e.substr(0, bar1), address = e.substr(bar1 + 1, bar2 - bar1 - 1),
                      port = e.substr(bar2 + 1);
    // Saved when the printer had another address and port, where nothing answers now;
    // OK is pressed at once, before the printer's answer can have come.
    AppHarness h("[NetInfo]\nRemoteIP=192.0.2.1\nRemotePort=3102\nServiceName=" + name + "\n");
    ASSERT_TRUE(h.Start());
    CQuillboxDlg* main = h.MainDlg();
    AppHarness::TypeInto(main, IDC_USERID, "1234");
    AppHarness::Click(main, IDOK);
    CMainFrame* f = h.Frame();
    ASSERT_TRUE(h.PumpUntil([&] { return f->m_pRetrieveDlg && f->m_pRetrieveDlg->m_hWnd; }, 30000))
        << "boxes: " << (h.prompts.calls.empty() ? "none" : h.prompts.calls.front().text);
    EXPECT_GT(f->m_pDirectory->count, 0);
    EXPECT_EQ(std::string(f->m_szRemoteIP), address);
    EXPECT_EQ(std::string(f->m_szRemotePort), port);
    EXPECT_EQ(std::string(f->m_szServiceName), name);
}

}  // namespace
