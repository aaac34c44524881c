// Dialogs made from templates: their life (create, destroy, create again, destroy from
// inside their own handlers), modal runs with the queue going on, the keyboard, and
// the mapping of dialog units to pixels.
#include "platform_fixture.h"

#include "user_input.h"

namespace {

class Dialogs : public PlatformTest {
protected:
    SampleResources res;
};

using DialogLife = Dialogs;
using DialogSelfDestroy = Dialogs;
using DialogModal = Dialogs;
using DialogKeyboard = Dialogs;

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
    WindowWatch firstWindow(&dlg);
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
    EXPECT_TRUE(firstWindow.Freed());

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
        EXPECT_EQ(ShownText(&dlg, IDC_NAME), "x");
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
    WindowWatch window(&dlg);
    ClickButton(&dlg, IDC_APPLY);
    EXPECT_EQ(dlg.applies, 1);
    EXPECT_EQ(dlg.m_hWnd, 0u);
    ASSERT_FALSE(window.Freed()) << "freed while its click was still being handled";
    EXPECT_FALSE(window.Shown());
    PumpPending();
    EXPECT_TRUE(window.Freed());
}

TEST_F(DialogSelfDestroy, DialogDeletesItselfFromEnterAndFromTheCloseBox)
{
    for (int way = 0; way < 2; ++way) {
        bool deleted = false;
        auto* dlg = new SelfDeletingDlg(&deleted);
        ASSERT_TRUE(dlg->Create(IDD_SAMPLE));
        WindowWatch window(dlg);
        ASSERT_TRUE(window.Found());
        if (way == 0)
            PressKey(dlg, IDC_NAME, UserKey::Return);  // the default button's click, then OnOK
        else
            PressCloseBox(dlg);
        EXPECT_TRUE(deleted);
        PumpPending();
        EXPECT_TRUE(window.Freed());
    }
}

TEST_F(DialogSelfDestroy, DestroyedFromTheEditsChangeNotificationWhileTyping)
{
    SampleDlg dlg;
    dlg.onNameChange = [&] { dlg.DestroyWindow(); };
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    WindowWatch edit(&dlg, IDC_NAME);
    ASSERT_TRUE(edit.Found());
    TypeText(&dlg, IDC_NAME, "abc");  // keys after the first reach a window that is gone
    EXPECT_EQ(dlg.nameChanges, 1);
    EXPECT_EQ(dlg.m_hWnd, 0u);
    PumpPending();
    EXPECT_TRUE(edit.Freed());
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
    WindowWatch list(&dlg, IDC_FILES);
    ClickLine(&dlg, IDC_FILES, 1);
    EXPECT_EQ(dlg.fileSelChanges, 1);
    EXPECT_EQ(dlg.m_hWnd, 0u);
    PumpPending();
    EXPECT_TRUE(list.Freed());
}

TEST_F(DialogSelfDestroy, InputAndMessagesArrivingAfterTheDestroyAreDropped)
{
    SampleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    WindowWatch window(&dlg);
    std::vector<Seen> log;
    RecorderWnd frame(&log);
    frame.onMessage = [&](UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m != WM_USER) return 0;
        // Window-system input for the dialog that comes after it was destroyed.
        QueueKey(&dlg, IDOK, UserKey::Space);
        dlg.DestroyWindow();
        return 0;
    };
    frame.PostMessage(WM_USER);
    dlg.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_APPLY, BN_CLICKED));
    PumpPending();
    PumpPending();
    EXPECT_EQ(dlg.m_hWnd, 0u);
    EXPECT_EQ(dlg.oks + dlg.applies, 0);
    EXPECT_TRUE(window.Freed());
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
        UserKey key;
        int result;
    };
    for (Case c : {Case{UserKey::Return, IDOK}, Case{UserKey::Escape, IDCANCEL}}) {
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
        dlg.onInit = [&] { QueueKey(&dlg, IDC_NAME, c.key); };
        EXPECT_EQ(dlg.DoModal(), c.result) << "key " << static_cast<int>(c.key);
        EXPECT_FALSE(watchdogFired) << "DoModal went on waiting after the dialog ended (key " << static_cast<int>(c.key)
                                    << ")";
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
    WindowWatch window(&dlg);

    PressKey(&dlg, IDC_NAME, UserKey::Return);  // Enter in an edit: the default button (OK)
    EXPECT_EQ(dlg.oks, 1);
    EXPECT_EQ(dlg.applies, 0);
    PressKey(&dlg, IDC_APPLY, UserKey::Return);  // Enter on a focused button clicks that button
    EXPECT_EQ(dlg.applies, 1);
    EXPECT_EQ(dlg.oks, 1);
    PressKey(&dlg, IDC_NAME, UserKey::Escape);
    EXPECT_EQ(dlg.cancels, 1);
    PressCloseBox(&dlg);
    EXPECT_EQ(dlg.cancels, 2);
    PumpPending();
    EXPECT_TRUE(dlg.IsWindowVisible()) << "only a handler may close the dialog";
    EXPECT_TRUE(window.Shown());
    EXPECT_NE(dlg.m_hWnd, 0u);
}

TEST_F(DialogKeyboard, DefaultOkAndCancelHideAModelessDialogButKeepItsWindow)
{
    SampleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    PressKey(&dlg, IDC_NAME, UserKey::Escape);
    EXPECT_EQ(dlg.cancels, 1);
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_NE(dlg.m_hWnd, 0u);
    dlg.ShowWindow(SW_SHOW);
    EXPECT_TRUE(dlg.IsWindowVisible());
    PressKey(&dlg, IDC_NAME, UserKey::Return);
    EXPECT_EQ(dlg.oks, 1);
    EXPECT_FALSE(dlg.IsWindowVisible());
}

TEST_F(DialogKeyboard, MnemonicsMoveTheFocusAndClickButtons)
{
    SampleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    ASSERT_TRUE(ActivateAndWait(&dlg));
    dlg.m_files.SetFocus();
    ASSERT_TRUE(dlg.m_files.HasFocus());

    PressAltLetter(&dlg, 'n');
    EXPECT_TRUE(dlg.m_name.HasFocus()) << "Alt+N must move the focus to the edit after the label";
    EXPECT_EQ(dlg.nameChanges, 0) << "the mnemonic is not typed into the edit";

    // A button's mnemonic presses it visibly: the click comes a moment later.
    PressAltLetter(&dlg, 'a');
    for (int i = 0; i < 200 && dlg.applies == 0; ++i) LetInputArrive();
    EXPECT_EQ(dlg.applies, 1) << "Alt+A clicks &Apply";
}

}  // namespace
