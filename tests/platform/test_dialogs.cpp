// Dialogs made from templates: their life (create, destroy, create again, destroy from
// inside their own handlers), modal runs with the queue going on, the keyboard, and
// the mapping of dialog units to pixels.
#include "platform_fixture.h"

#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <cmath>

namespace {

class Dialogs : public PlatformTest {
protected:
    SampleResources res;
};

using DialogLife = Dialogs;
using DialogSelfDestroy = Dialogs;
using DialogModal = Dialogs;
using DialogKeyboard = Dialogs;
using DialogLayout = Dialogs;

void Click(CWnd* dlg, int id)
{
    auto* b = qobject_cast<QPushButton*>(ControlWidget(dlg, id));
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
}

void Key(CWnd* dlg, int id, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWidget* w = ControlWidget(dlg, id);
    ASSERT_NE(w, nullptr);
    w->setFocus();
    QTest::keyClick(w, key, mods);
}

void ClickLine(CWnd* dlg, int id, int row)
{
    auto* lb = qobject_cast<QListWidget*>(ControlWidget(dlg, id));
    ASSERT_NE(lb, nullptr);
    QTest::mouseClick(lb->viewport(), Qt::LeftButton, Qt::NoModifier, lb->visualItemRect(lb->item(row)).center());
}

// ---------------------------------------------------------------------------
// Create, destroy, create again

TEST_F(DialogLife, CreateBindsMemberControlsAndRunsOnInitDialog)
{
    SampleDlg dlg;
    dlg.onInit = [&] {
        // Inside OnInitDialog the bound members already talk to their controls.
        dlg.m_files.AddString("one");
        dlg.m_name.SetWindowText("start");
    };
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    EXPECT_EQ(dlg.inits, 1);
    EXPECT_TRUE(dlg.IsWindowVisible());
    EXPECT_EQ(dlg.GetWindowTextString(), "Sample");
    EXPECT_EQ(CWnd::FromHandle(dlg.m_hWnd), &dlg);
    EXPECT_EQ(dlg.GetDlgItem(IDC_FILES), &dlg.m_files);
    EXPECT_EQ(dlg.GetDlgItem(IDC_NAME), &dlg.m_name);
    EXPECT_EQ(dlg.m_files.GetParent(), &dlg);
    EXPECT_EQ(dlg.m_files.GetDlgCtrlID(), IDC_FILES);
    EXPECT_EQ(dlg.m_files.GetCount(), 1);
    char buf[32];
    EXPECT_EQ(dlg.GetDlgItemText(IDC_NAME, buf, sizeof buf), 5u);
    EXPECT_STREQ(buf, "start");
    // Controls that are not bound stand for themselves.
    CWnd* ok = dlg.GetDlgItem(IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->GetWindowTextString(), "OK");
    EXPECT_FALSE(dlg.Create(IDD_SAMPLE)) << "a second window for the same object";
    SampleDlg other;
    EXPECT_FALSE(other.Create(12345)) << "a missing template";
    EXPECT_EQ(other.m_hWnd, 0u);
}

TEST_F(DialogLife, DestroyedAndCreatedAgainFromTheSameObject)
{
    SampleDlg dlg;
    dlg.onInit = [&] {
        dlg.m_files.AddString("line");
        dlg.m_files.SetItemData(0, 77);
    };
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    const HWND firstDlg = dlg.m_hWnd;
    const HWND firstList = dlg.m_files.m_hWnd;
    QPointer<QWidget> firstWidget = QtWidgetOfHandle(firstDlg);
    dlg.m_files.AddString("added later");
    dlg.PostMessage(WM_USER);  // for the old window: must not reach the new one

    ASSERT_TRUE(dlg.DestroyWindow());
    EXPECT_EQ(dlg.m_hWnd, 0u);
    EXPECT_EQ(dlg.m_files.m_hWnd, 0u) << "member controls are released with the window";
    EXPECT_EQ(dlg.m_name.m_hWnd, 0u);
    EXPECT_EQ(dlg.m_files.GetCount(), 0) << "a released control answers nothing";
    EXPECT_FALSE(dlg.DestroyWindow());
    EXPECT_EQ(CWnd::FromHandle(firstList), nullptr);
    PumpPending();
    EXPECT_TRUE(firstWidget.isNull());

    for (int round = 2; round <= 3; ++round) {
        ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
        EXPECT_EQ(dlg.inits, round);
        EXPECT_NE(dlg.m_hWnd, firstDlg);
        EXPECT_NE(dlg.m_files.m_hWnd, 0u);
        EXPECT_NE(dlg.m_files.m_hWnd, firstList);
        EXPECT_EQ(dlg.GetDlgItem(IDC_FILES), &dlg.m_files) << "rebound on round " << round;
        EXPECT_EQ(dlg.m_files.GetCount(), 1) << "a fresh control, filled by OnInitDialog only";
        EXPECT_EQ(dlg.m_files.GetItemData(0), 77);
        // The rebound controls reach the new widgets, and notify the new window.
        dlg.m_name.SetWindowText("x");
        auto* edit = qobject_cast<QLineEdit*>(ControlWidget(&dlg, IDC_NAME));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), "x");
        EXPECT_EQ(dlg.namesSeen.back(), "x");
        if (round == 2) {
            ASSERT_TRUE(dlg.DestroyWindow());
            PumpPending();
        }
    }
    EXPECT_EQ(dlg.applies, 0);
}

// ---------------------------------------------------------------------------
// Destroyed from inside its own handlers (run under the sanitizer build as well)

// A dialog made with new that deletes itself when its window goes, as modeless
// dialogs of the program do; its OK destroys it.
class SelfDeletingDlg : public CDialog {
public:
    explicit SelfDeletingDlg(bool* deleted) : m_deleted(deleted) {}
    void OnOK() override { DestroyWindow(); }
    void OnCancel() override { DestroyWindow(); }

protected:
    void PostNcDestroy() override
    {
        *m_deleted = true;
        delete this;
    }

private:
    bool* m_deleted;
};

TEST_F(DialogSelfDestroy, ButtonHandlerDestroysItsDialog)
{
    SampleDlg dlg;
    dlg.onApply = [&] { dlg.DestroyWindow(); };
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    QPointer<QWidget> widget = QtWidgetOfHandle(dlg.m_hWnd);
    Click(&dlg, IDC_APPLY);
    EXPECT_EQ(dlg.applies, 1);
    EXPECT_EQ(dlg.m_hWnd, 0u);
    ASSERT_FALSE(widget.isNull()) << "freed while its click was still being handled";
    EXPECT_FALSE(widget->isVisible());
    PumpPending();
    EXPECT_TRUE(widget.isNull());
}

TEST_F(DialogSelfDestroy, DialogDeletesItselfFromEnterAndFromTheCloseBox)
{
    for (int way = 0; way < 2; ++way) {
        bool deleted = false;
        auto* dlg = new SelfDeletingDlg(&deleted);
        ASSERT_TRUE(dlg->Create(IDD_SAMPLE));
        QPointer<QWidget> widget = QtWidgetOfHandle(dlg->m_hWnd);
        ASSERT_TRUE(widget);
        if (way == 0)
            Key(dlg, IDC_NAME, Qt::Key_Return);  // the default button's click, then OnOK
        else
            widget->close();  // the close box
        EXPECT_TRUE(deleted);
        PumpPending();
        EXPECT_TRUE(widget.isNull());
    }
}

TEST_F(DialogSelfDestroy, DestroyedFromTheEditsChangeNotificationWhileTyping)
{
    SampleDlg dlg;
    dlg.onNameChange = [&] { dlg.DestroyWindow(); };
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    QPointer<QWidget> edit = ControlWidget(&dlg, IDC_NAME);
    ASSERT_TRUE(edit);
    edit->setFocus();
    QTest::keyClicks(edit, "abc");  // keys after the first reach a window that is gone
    EXPECT_EQ(dlg.nameChanges, 1);
    EXPECT_EQ(dlg.m_hWnd, 0u);
    PumpPending();
    EXPECT_TRUE(edit.isNull());
}

TEST_F(DialogSelfDestroy, DestroyedFromTheListsSelectionNotification)
{
    SampleDlg dlg;
    dlg.onInit = [&] {
        dlg.m_files.AddString("a");
        dlg.m_files.AddString("b");
    };
    dlg.onFileSelChange = [&] { dlg.DestroyWindow(); };
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    QPointer<QWidget> list = ControlWidget(&dlg, IDC_FILES);
    ClickLine(&dlg, IDC_FILES, 1);
    EXPECT_EQ(dlg.fileSelChanges, 1);
    EXPECT_EQ(dlg.m_hWnd, 0u);
    PumpPending();
    EXPECT_TRUE(list.isNull());
}

TEST_F(DialogSelfDestroy, InputAndMessagesArrivingAfterTheDestroyAreDropped)
{
    SampleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    QPointer<QWidget> widget = QtWidgetOfHandle(dlg.m_hWnd);
    QPointer<QWidget> ok = ControlWidget(&dlg, IDOK);
    std::vector<Seen> log;
    RecorderWnd frame(&log);
    frame.onMessage = [&](UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m != WM_USER) return 0;
        dlg.DestroyWindow();
        // Window-system input for the dialog that comes after it was destroyed.
        QCoreApplication::postEvent(ok, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier));
        QCoreApplication::postEvent(ok, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier));
        return 0;
    };
    frame.PostMessage(WM_USER);
    dlg.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_APPLY, BN_CLICKED));
    PumpPending();
    PumpPending();
    EXPECT_EQ(dlg.m_hWnd, 0u);
    EXPECT_EQ(dlg.oks + dlg.applies, 0);
    EXPECT_TRUE(widget.isNull());
}

// ---------------------------------------------------------------------------
// Modal dialogs

TEST_F(DialogModal, DoModalReturnsTheEndDialogResultWhileOtherWindowsRun)
{
    ManualClockScope mc;
    const std::int64_t start = mc.clock.NowMs();
    std::vector<Seen> log;
    std::vector<std::int64_t> tickTimes;
    RecorderWnd frame(&log);
    SampleDlg dlg;
    bool modalSeen = false;
    frame.onMessage = [&](UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_TIMER) {
            tickTimes.push_back(mc.clock.NowMs() - start);
            modalSeen = modalSeen || (dlg.m_hWnd && dlg.IsWindowVisible());
            if (tickTimes.size() == 3) dlg.EndDialog(42);
        }
        return 0;
    };
    dlg.onInit = [&] {
        frame.PostMessage(WM_USER + 1);
        frame.PostMessage(WM_USER + 2);
        frame.SetTimer(5, 100);
    };
    EXPECT_EQ(dlg.DoModal(), 42);
    EXPECT_EQ(dlg.m_hWnd, 0u) << "the window is gone when DoModal returns";
    EXPECT_TRUE(modalSeen);
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[0].message, WM_USER + 1);
    EXPECT_EQ(log[1].message, WM_USER + 2);
    EXPECT_EQ(tickTimes, (std::vector<std::int64_t>{100, 200, 300}));
    // The object can run again.
    dlg.onInit = [&] { dlg.PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)); };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.inits, 2);
}

// Keys reach a modal dialog through the window system while its loop waits; the key's
// handler ends the dialog and DoModal must return then, not when some later message
// happens to wake the loop (a timer of another window stands for that here).
TEST_F(DialogModal, KeysFromTheWindowSystemEndTheModalLoopAtOnce)
{
    struct Case {
        Qt::Key key;
        int result;
    };
    for (Case c : {Case{Qt::Key_Return, IDOK}, Case{Qt::Key_Escape, IDCANCEL}}) {
        ManualClockScope mc;
        const std::int64_t start = mc.clock.NowMs();
        std::vector<Seen> log;
        RecorderWnd frame(&log);
        bool watchdogFired = false;
        frame.onMessage = [&](UINT m, WPARAM, LPARAM) -> LRESULT {
            if (m == WM_TIMER) watchdogFired = true;
            return 0;
        };
        frame.SetTimer(1, 5000);
        SampleDlg dlg;
        dlg.onInit = [&] {
            QWidget* edit = ControlWidget(&dlg, IDC_NAME);
            edit->setFocus();
            QCoreApplication::postEvent(edit, new QKeyEvent(QEvent::KeyPress, c.key, Qt::NoModifier));
        };
        EXPECT_EQ(dlg.DoModal(), c.result) << "key " << c.key;
        EXPECT_FALSE(watchdogFired) << "DoModal went on waiting after the dialog ended (key " << c.key << ")";
        EXPECT_LT(mc.clock.NowMs() - start, 5000);
        ResetMessageQueue();
    }
}

TEST_F(DialogModal, QuitDuringAModalDialogEndsItAndIsLeftForTheOuterLoop)
{
    SampleDlg dlg;
    dlg.onInit = [] { PostQuitMessage(4); };
    dlg.DoModal();
    EXPECT_EQ(dlg.m_hWnd, 0u);
    MSG m;
    EXPECT_FALSE(GetMessage(&m, 0, 0, 0));
    EXPECT_EQ(m.wParam, 4u);
}

// ---------------------------------------------------------------------------
// Keyboard: Enter, Esc, the close box, mnemonics

TEST_F(DialogKeyboard, EnterEscAndCloseBoxReachTheHandlersButDoNotCloseByThemselves)
{
    SampleDlg dlg;
    dlg.onOk = [] {};
    dlg.onCancel = [] {};
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    QWidget* top = QtWidgetOfHandle(dlg.m_hWnd);

    Key(&dlg, IDC_NAME, Qt::Key_Return);  // Enter in an edit: the default button (OK)
    EXPECT_EQ(dlg.oks, 1);
    EXPECT_EQ(dlg.applies, 0);
    Key(&dlg, IDC_APPLY, Qt::Key_Return);  // Enter on a focused button clicks that button
    EXPECT_EQ(dlg.applies, 1);
    EXPECT_EQ(dlg.oks, 1);
    Key(&dlg, IDC_NAME, Qt::Key_Escape);
    EXPECT_EQ(dlg.cancels, 1);
    top->close();
    EXPECT_EQ(dlg.cancels, 2);
    PumpPending();
    EXPECT_TRUE(dlg.IsWindowVisible()) << "only a handler may close the dialog";
    EXPECT_TRUE(top->isVisible());
    EXPECT_NE(dlg.m_hWnd, 0u);
}

TEST_F(DialogKeyboard, DefaultOkAndCancelHideAModelessDialogButKeepItsWindow)
{
    SampleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    Key(&dlg, IDC_NAME, Qt::Key_Escape);
    EXPECT_EQ(dlg.cancels, 1);
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_NE(dlg.m_hWnd, 0u);
    dlg.ShowWindow(SW_SHOW);
    EXPECT_TRUE(dlg.IsWindowVisible());
    Key(&dlg, IDC_NAME, Qt::Key_Return);
    EXPECT_EQ(dlg.oks, 1);
    EXPECT_FALSE(dlg.IsWindowVisible());
}

TEST_F(DialogKeyboard, MnemonicsMoveTheFocusAndClickButtons)
{
    SampleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    QWidget* top = QtWidgetOfHandle(dlg.m_hWnd);
    top->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(top));
    dlg.m_files.SetFocus();
    ASSERT_TRUE(dlg.m_files.HasFocus());

    auto* label = qobject_cast<QLabel*>(ControlWidget(&dlg, IDC_NAME_LABEL));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->buddy(), ControlWidget(&dlg, IDC_NAME));

    QTest::keyClick(top->focusWidget(), Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(dlg.m_name.HasFocus()) << "Alt+N must move the focus to the edit after the label";
    EXPECT_EQ(dlg.nameChanges, 0) << "the mnemonic is not typed into the edit";

    // A button's mnemonic presses it visibly: the click comes a moment later.
    QTest::keyClick(top->focusWidget(), Qt::Key_A, Qt::AltModifier);
    for (int i = 0; i < 200 && dlg.applies == 0; ++i) QTest::qWait(10);
    EXPECT_EQ(dlg.applies, 1) << "Alt+A clicks &Apply";
}

// ---------------------------------------------------------------------------
// Dialog units, the font, the picture

TEST_F(DialogLayout, DialogFontIsDejaVuSansWithItsBaseUnits)
{
    EXPECT_STREQ(QtPlatform::ResolvedDialogFontFamily(), "DejaVu Sans") << "fonts missing: install fonts-dejavu-core";
    EXPECT_EQ(QtPlatform::BaseUnitX(), 7);
    EXPECT_EQ(QtPlatform::BaseUnitY(), 13);
    SampleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    for (int id : {IDC_NAME, IDC_FILES, IDOK})
        EXPECT_EQ(QFontInfo(ControlWidget(&dlg, id)->font()).family(), "DejaVu Sans") << "control " << id;
}

TEST_F(DialogLayout, ControlsSitAtTheirDialogUnitsMappedThroughTheFontMetrics)
{
    const int bx = QtPlatform::BaseUnitX(), by = QtPlatform::BaseUnitY();
    auto px = [bx](int du) { return static_cast<int>(std::lround(du * bx / 4.0)); };
    auto py = [by](int du) { return static_cast<int>(std::lround(du * by / 8.0)); };
    SampleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    const DlgTemplate& t = SampleTemplate();
    QWidget* top = QtWidgetOfHandle(dlg.m_hWnd);
    EXPECT_EQ(top->size(), QSize(px(t.cx), py(t.cy)));
    for (int i = 0; i < t.itemCount; ++i) {
        const DlgItemTemplate& it = t.items[i];
        QWidget* w = ControlWidget(&dlg, it.id);
        ASSERT_NE(w, nullptr) << "control " << it.id;
        QRect g = w->geometry();
        EXPECT_EQ(g.x(), px(it.x)) << "control " << it.id;
        EXPECT_EQ(g.y(), py(it.y)) << "control " << it.id;
        EXPECT_EQ(g.width(), px(it.cx)) << "control " << it.id;
        // A drop-down list is as tall as its closed box, whatever the template says.
        if (it.cls != DlgItemClass::ComboBox) {
            EXPECT_EQ(g.height(), py(it.cy)) << "control " << it.id;
        }
    }
    // Spot checks with the numbers worked out by hand (bx 7, by 13).
    EXPECT_EQ(ControlWidget(&dlg, IDC_FILES)->geometry(), QRect(23, 57, 224, 81));
    EXPECT_EQ(ControlWidget(&dlg, IDOK)->geometry(), QRect(285, 59, 88, 23));
}

TEST_F(DialogLayout, SampleRendersToAPicture)
{
    SampleDlg dlg;
    dlg.onInit = [&] {
        dlg.m_name.SetWindowText("Alice");
        dlg.m_files.SetTabStops(60);
        dlg.m_files.AddString("scan1.tif\t12 KB");
        dlg.m_files.AddString("longer-name.tif\t3 KB");
        dlg.m_files.AddString("x.tif\t980 KB");
        dlg.m_files.SetSel(1);
        dlg.m_sort.AddString("Name");
        dlg.m_sort.AddString("Date");
        dlg.m_sort.SetCurSel(1);
        dlg.m_progress.SetPos(40);
        dlg.m_icon.SetIcon(IDI_SAMPLE);
    };
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    EXPECT_EQ(dlg.m_icon.GetIcon(), IDI_SAMPLE);
    const std::string path = std::string(QBX_TEST_OUTPUT_DIR) + "/platform-sample.png";
    ASSERT_TRUE(dlg.SaveScreenshot(path.c_str()));
    QImage img(QString::fromStdString(path));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QtWidgetOfHandle(dlg.m_hWnd)->size());
    // The icon's blue shows where the icon static sits (x 280, y 11 and on).
    QColor c = img.pixelColor(280 + 16, 11 + 16);
    EXPECT_GT(c.blue(), 150);
    EXPECT_LT(c.red(), 100);
}

}  // namespace
