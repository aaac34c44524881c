// Message maps and command routing: commands by id, notifications by code and id,
// messages by number, the most derived map first; commands a dialog leaves go to its
// owner, then to the application, whose exit command closes the main window.
#include "platform_fixture.h"
#include "user_input.h"

#include "platform/app.h"

namespace {

constexpr UINT ID_DLG_CMD = 40001;
constexpr UINT ID_FRAME_CMD = 40002;
constexpr UINT ID_APP_CMD = 40003;
constexpr UINT ID_NOBODY = 40099;
constexpr UINT WM_PRIVATE = WM_USER + 7;

class TestApp : public CWinApp {
public:
    int appCmds = 0;
    void OnAppCmd() { ++appCmds; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TestApp, CWinApp)
    ON_COMMAND(ID_APP_CMD, OnAppCmd)
END_MESSAGE_MAP()

class TestFrame : public CFrameWnd {
public:
    explicit TestFrame(bool* deleted) : m_deleted(deleted) {}
    ~TestFrame() override { *m_deleted = true; }
    int frameCmds = 0, closes = 0;
    bool refuseClose = false;
    void OnFrameCmd() { ++frameCmds; }
    void OnClose()
    {
        ++closes;
        if (!refuseClose) CFrameWnd::OnClose();
    }
    DECLARE_MESSAGE_MAP()

private:
    bool* m_deleted;
};
BEGIN_MESSAGE_MAP(TestFrame, CFrameWnd)
    ON_COMMAND(ID_FRAME_CMD, OnFrameCmd)
    ON_WM_CLOSE()
END_MESSAGE_MAP()

// A dialog two maps deep: its own map over SampleDlg's over CDialog's.
class RoutedDlg : public SampleDlg {
public:
    int dlgCmds = 0, selCancels = 0, listCommands = 0, privates = 0, derivedApplies = 0;
    void OnDlgCmd() { ++dlgCmds; }
    void OnSelCancel() { ++selCancels; }
    void OnListCommand() { ++listCommands; }
    void OnDerivedApply() { ++derivedApplies; }
    LRESULT OnPrivate(WPARAM w, LPARAM l)
    {
        ++privates;
        return static_cast<LRESULT>(w) + l;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(RoutedDlg, SampleDlg)
    ON_COMMAND(ID_DLG_CMD, OnDlgCmd)
    ON_COMMAND(IDC_FILES, OnListCommand)
    ON_LBN_SELCANCEL(IDC_FILES, OnSelCancel)
    ON_BN_CLICKED(IDC_APPLY, OnDerivedApply)
    ON_MESSAGE(WM_PRIVATE, OnPrivate)
END_MESSAGE_MAP()

LRESULT Command(CWnd& w, UINT id, UINT code = 0, LPARAM l = 0)
{
    return w.SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)), l);
}

class Routing : public PlatformTest {
protected:
    SampleResources res;
};

TEST_F(Routing, CommandsByIdNotificationsByCodeAndIdMessagesByNumber)
{
    RoutedDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    EXPECT_EQ(Command(dlg, ID_DLG_CMD), 1);
    EXPECT_EQ(dlg.dlgCmds, 1);

    // The list's id: a plain command, and two notifications with their own handlers.
    Command(dlg, IDC_FILES, LBN_SELCANCEL, static_cast<LPARAM>(dlg.m_files.m_hWnd));
    EXPECT_EQ(dlg.selCancels, 1);
    EXPECT_EQ(dlg.fileSelChanges, 0);
    EXPECT_EQ(dlg.listCommands, 0) << "a command entry must not take a notification";
    Command(dlg, IDC_FILES, LBN_SELCHANGE);
    EXPECT_EQ(dlg.fileSelChanges, 1) << "from the base class's map";
    EXPECT_EQ(dlg.selCancels, 1);
    Command(dlg, IDC_FILES);
    EXPECT_EQ(dlg.listCommands, 1);
    EXPECT_EQ(Command(dlg, IDC_FILES, 77), 0) << "a code nobody maps";

    EXPECT_EQ(dlg.SendMessage(WM_PRIVATE, 40, 2), 42);
    dlg.PostMessage(WM_PRIVATE, 1, 1);
    PumpPending();
    EXPECT_EQ(dlg.privates, 2);
    EXPECT_EQ(dlg.SendMessage(WM_PRIVATE + 1, 1, 1), 0);

    // The most derived map wins for the same button; base entries still work.
    ClickButton(&dlg, IDC_APPLY);
    EXPECT_EQ(dlg.derivedApplies, 1);
    EXPECT_EQ(dlg.applies, 0);
    TypeText(&dlg, IDC_NAME, "q");
    EXPECT_EQ(dlg.nameChanges, 1);
}

class RoutingWithApp : public Routing {
protected:
    void SetUp() override
    {
        Routing::SetUp();
        frame = new TestFrame(&frameDeleted);
        ASSERT_TRUE(frame->LoadFrame(128, 0));
        app.m_pMainWnd = frame;
    }
    void TearDown() override
    {
        if (!frameDeleted) frame->DestroyWindow();
        app.m_pMainWnd = nullptr;
        Routing::TearDown();
    }
    TestApp app;
    bool frameDeleted = false;
    TestFrame* frame = nullptr;
};

TEST_F(RoutingWithApp, DialogCommandsGoToTheOwnerThenTheApplication)
{
    RoutedDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));  // owned by the main window
    EXPECT_EQ(dlg.GetParent(), frame);
    RoutedDlg child;
    ASSERT_TRUE(child.Create(IDD_SAMPLE, &dlg));
    EXPECT_EQ(child.GetParent(), &dlg);

    EXPECT_EQ(Command(dlg, ID_FRAME_CMD), 1);
    EXPECT_EQ(frame->frameCmds, 1);
    EXPECT_EQ(Command(dlg, ID_APP_CMD), 1);
    EXPECT_EQ(app.appCmds, 1);
    EXPECT_EQ(Command(dlg, ID_NOBODY), 0);

    // From a dialog owned by a dialog: the owner, then its owner, then the application.
    EXPECT_EQ(Command(child, ID_DLG_CMD), 1);
    EXPECT_EQ(child.dlgCmds, 1) << "the child's own map first";
    EXPECT_EQ(dlg.dlgCmds, 0);
    EXPECT_EQ(Command(child, ID_FRAME_CMD), 1);
    EXPECT_EQ(frame->frameCmds, 2);
    EXPECT_EQ(Command(child, ID_APP_CMD), 1);
    EXPECT_EQ(app.appCmds, 2);

    // Notifications stay with the dialog of the control.
    EXPECT_EQ(Command(dlg, ID_FRAME_CMD, EN_CHANGE), 0);
    EXPECT_EQ(frame->frameCmds, 2);
    EXPECT_EQ(Command(dlg, ID_APP_CMD, LBN_SELCHANGE), 0);
    EXPECT_EQ(app.appCmds, 2);
}

TEST_F(RoutingWithApp, AppExitFromADialogClosesTheMainWindowAndEndsTheLoop)
{
    RoutedDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    frame->refuseClose = true;
    EXPECT_EQ(Command(dlg, ID_APP_EXIT), 1);
    EXPECT_EQ(frame->closes, 1) << "ID_APP_EXIT sends WM_CLOSE to the main window";
    EXPECT_FALSE(frameDeleted) << "the frame's OnClose decides";

    frame->refuseClose = false;
    dlg.PostMessage(WM_COMMAND, MAKEWPARAM(ID_APP_EXIT, 0));
    EXPECT_EQ(RunMessageLoop(), 0) << "destroying the main window ends the loop";
    EXPECT_TRUE(frameDeleted) << "a destroyed frame deletes itself";
    EXPECT_EQ(AfxGetMainWnd(), nullptr) << "the application must forget its destroyed main window";
    EXPECT_EQ(Command(dlg, ID_APP_CMD), 1) << "with no main window, commands still reach the application";
    EXPECT_EQ(app.appCmds, 1);
}

}  // namespace
