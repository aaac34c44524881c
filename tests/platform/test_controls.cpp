// Controls of a dialog: the edit's change notification, the multi-selection list box
// (item data, selection, notifications, tab stops), the drop-down list and the
// progress bar.
#include "platform_fixture.h"
#include "user_input.h"

namespace {

// The sample dialog, also recording every WM_COMMAND it gets.
class RecordingDlg : public SampleDlg {
public:
    struct Cmd {
        int id;
        int code;
        LPARAM lParam;
    };
    std::vector<Cmd> commands;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND) commands.push_back({LOWORD(wParam), HIWORD(wParam), lParam});
        return SampleDlg::WindowProc(message, wParam, lParam);
    }
};

class Controls : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    }
    void TearDown() override
    {
        dlg.DestroyWindow();
        PlatformTest::TearDown();
    }
    SampleResources res;
    RecordingDlg dlg;
};

using EditControl = Controls;
using ListBoxControl = Controls;
using ComboBoxControl = Controls;
using ProgressControl = Controls;

// ---------------------------------------------------------------------------
// Edit

TEST_F(EditControl, ProgramSetTextNotifiesOnceBeforeTheCallReturns)
{
    dlg.m_name.SetWindowText("hello");
    ASSERT_EQ(dlg.nameChanges, 1);
    EXPECT_EQ(dlg.namesSeen.back(), "hello") << "the handler sees the new text";
    dlg.SetDlgItemText(IDC_NAME, "world");
    EXPECT_EQ(dlg.nameChanges, 2);
    EXPECT_EQ(dlg.namesSeen.back(), "world");
    ASSERT_FALSE(dlg.commands.empty());
    EXPECT_EQ(dlg.commands.back().id, IDC_NAME);
    EXPECT_EQ(dlg.commands.back().code, static_cast<int>(EN_CHANGE));
    EXPECT_EQ(static_cast<HWND>(dlg.commands.back().lParam), dlg.m_name.m_hWnd);
    EXPECT_EQ(PostedMessageCount(), 0) << "notifications are sent, not posted";
}

TEST_F(EditControl, TypedTextNotifiesOncePerChange)
{
    dlg.m_name.SetWindowText("ab");
    PressKey(&dlg, IDC_NAME, UserKey::End);
    TypeText(&dlg, IDC_NAME, "cd");
    PressKey(&dlg, IDC_NAME, UserKey::Backspace);
    EXPECT_EQ(dlg.namesSeen, (std::vector<std::string>{"ab", "abc", "abcd", "abc"}));
    char buf[8];
    EXPECT_EQ(dlg.m_name.GetWindowText(buf, sizeof buf), 3);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(dlg.m_name.GetWindowText(buf, 3), 2) << "cut to the buffer";
    EXPECT_STREQ(buf, "ab");
}

// ---------------------------------------------------------------------------
// List box (multiple selection, notify, tab stops)

class ListBoxFilled : public ListBoxControl {
protected:
    void SetUp() override
    {
        ListBoxControl::SetUp();
        for (int i = 0; i < 5; ++i) {
            std::string t = "line " + std::to_string(i);
            ASSERT_EQ(dlg.m_files.AddString(t.c_str()), i);
            dlg.m_files.SetItemData(i, 1000 + i);
        }
        dlg.commands.clear();
    }
    void ExpectDataIntact()
    {
        for (int i = 0; i < 5; ++i) EXPECT_EQ(dlg.m_files.GetItemData(i), 1000 + i) << "line " << i;
    }
    std::vector<int> Selected()
    {
        std::vector<int> r;
        for (int i = 0; i < dlg.m_files.GetCount(); ++i)
            if (dlg.m_files.GetSel(i) > 0) r.push_back(i);
        return r;
    }
};

TEST_F(ListBoxFilled, ProgramSelectionChangesNotifyNobody)
{
    EXPECT_EQ(dlg.m_files.GetSelCount(), 0);
    dlg.m_files.SetSel(1);
    dlg.m_files.SetSel(3);
    EXPECT_EQ(dlg.m_files.GetSelCount(), 2);
    EXPECT_EQ(Selected(), (std::vector<int>{1, 3}));
    dlg.m_files.SetSel(1, FALSE);
    EXPECT_EQ(Selected(), (std::vector<int>{3}));
    dlg.m_files.SetSel(-1, TRUE);
    EXPECT_EQ(dlg.m_files.GetSelCount(), 5);
    dlg.m_files.SetSel(-1, FALSE);
    EXPECT_EQ(dlg.m_files.GetSelCount(), 0);
    EXPECT_EQ(dlg.fileSelChanges, 0);
    EXPECT_TRUE(dlg.commands.empty());
    ExpectDataIntact();
}

TEST_F(ListBoxFilled, ClicksToggleLinesAndEachNotifiesOnce)
{
    dlg.m_files.SetSel(3);
    ClickLine(&dlg, IDC_FILES, 1);
    EXPECT_EQ(dlg.fileSelChanges, 1);
    ClickLine(&dlg, IDC_FILES, 4);
    EXPECT_EQ(dlg.fileSelChanges, 2);
    EXPECT_EQ(Selected(), (std::vector<int>{1, 3, 4})) << "a click adds a line without dropping the others";
    EXPECT_EQ(dlg.m_files.GetSelCount(), 3);
    ClickLine(&dlg, IDC_FILES, 3);
    EXPECT_EQ(dlg.fileSelChanges, 3);
    EXPECT_EQ(Selected(), (std::vector<int>{1, 4})) << "a second click on a line deselects it";
    ASSERT_EQ(dlg.commands.size(), 3u);
    for (auto& c : dlg.commands) {
        EXPECT_EQ(c.id, IDC_FILES);
        EXPECT_EQ(c.code, static_cast<int>(LBN_SELCHANGE));
        EXPECT_EQ(static_cast<HWND>(c.lParam), dlg.m_files.m_hWnd);
    }
    ExpectDataIntact();
}

TEST_F(ListBoxFilled, SpaceTogglesTheFocusedLineAndEachToggleNotifiesOnce)
{
    PressKey(&dlg, IDC_FILES, UserKey::Space);
    EXPECT_EQ(Selected(), (std::vector<int>{0}));
    EXPECT_EQ(dlg.fileSelChanges, 1);
    PressKey(&dlg, IDC_FILES, UserKey::Space);
    EXPECT_EQ(Selected(), (std::vector<int>{}));
    EXPECT_EQ(dlg.fileSelChanges, 2);
    ExpectDataIntact();
}

TEST_F(ListBoxFilled, TextsDataAndBadIndexes)
{
    char buf[32];
    EXPECT_EQ(dlg.m_files.GetText(2, buf, sizeof buf), 6);
    EXPECT_STREQ(buf, "line 2");
    EXPECT_EQ(dlg.m_files.GetText(2, buf, 4), 3);
    EXPECT_STREQ(buf, "lin");
    EXPECT_EQ(dlg.m_files.GetText(5, buf, sizeof buf), LB_ERR);
    EXPECT_EQ(dlg.m_files.GetItemData(5), LB_ERR);
    EXPECT_EQ(dlg.m_files.GetItemData(-1), LB_ERR);
    EXPECT_EQ(dlg.m_files.SetSel(7), LB_ERR);
    EXPECT_EQ(dlg.m_files.GetSel(7), LB_ERR);
    // Item data holds a whole pointer-sized value.
    static int target;
    const LRESULT big = reinterpret_cast<LRESULT>(&target);
    dlg.m_files.SetItemData(4, big);
    EXPECT_EQ(dlg.m_files.GetItemData(4), big);
    dlg.m_files.SetItemData(0, -2);
    EXPECT_EQ(dlg.m_files.GetItemData(0), -2);
    EXPECT_EQ(dlg.m_files.AddString("new"), 5);
    EXPECT_EQ(dlg.m_files.GetItemData(5), 0) << "a new line's data is 0";
    dlg.m_files.SetSel(2);
    dlg.m_files.ResetContent();
    EXPECT_EQ(dlg.m_files.GetCount(), 0);
    EXPECT_EQ(dlg.m_files.GetSelCount(), 0);
    EXPECT_EQ(dlg.fileSelChanges, 0);
}

// ---------------------------------------------------------------------------
// Drop-down list

class ComboFilled : public ComboBoxControl {
protected:
    void SetUp() override
    {
        ComboBoxControl::SetUp();
        for (const char* s : {"Name", "Date", "Size"}) dlg.m_sort.AddString(s);
        for (int i = 0; i < 3; ++i) dlg.m_sort.SetItemData(i, 500 + i);
        dlg.commands.clear();
    }
};

TEST_F(ComboFilled, ProgramChangesSelectAndKeepDataWithoutNotifying)
{
    EXPECT_EQ(dlg.m_sort.GetCount(), 3);
    EXPECT_EQ(dlg.m_sort.GetCurSel(), CB_ERR) << "adding selects nothing";
    EXPECT_EQ(dlg.m_sort.SetCurSel(1), 1);
    EXPECT_EQ(dlg.m_sort.GetCurSel(), 1);
    EXPECT_EQ(dlg.m_sort.GetItemData(1), 501);
    char buf[16];
    EXPECT_EQ(dlg.m_sort.GetLBText(2, buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "Size");
    EXPECT_EQ(dlg.m_sort.GetLBText(3, buf, sizeof buf), CB_ERR);
    EXPECT_EQ(dlg.m_sort.GetItemData(3), CB_ERR);
    EXPECT_EQ(dlg.m_sort.SetCurSel(9), CB_ERR);
    EXPECT_EQ(dlg.m_sort.GetCurSel(), CB_ERR);
    dlg.m_sort.SetCurSel(0);
    dlg.m_sort.ResetContent();
    EXPECT_EQ(dlg.m_sort.GetCount(), 0);
    EXPECT_EQ(dlg.m_sort.GetCurSel(), CB_ERR);
    EXPECT_EQ(dlg.sortSelChanges, 0);
    EXPECT_TRUE(dlg.commands.empty());
}

TEST_F(ComboFilled, UserChoicesNotifyOnceEachAndKeepData)
{
    dlg.m_sort.SetCurSel(0);
    PressKey(&dlg, IDC_SORT, UserKey::Down);
    EXPECT_EQ(dlg.sortSelChanges, 1);
    EXPECT_EQ(dlg.m_sort.GetCurSel(), 1);
    PressKey(&dlg, IDC_SORT, UserKey::Down);
    EXPECT_EQ(dlg.sortSelChanges, 2);
    EXPECT_EQ(dlg.m_sort.GetCurSel(), 2);
    PressKey(&dlg, IDC_SORT, UserKey::Down);  // already the last: no change, no notification
    EXPECT_EQ(dlg.sortSelChanges, 2);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(dlg.m_sort.GetItemData(i), 500 + i);
    ASSERT_EQ(dlg.commands.size(), 2u);
    EXPECT_EQ(dlg.commands[0].id, IDC_SORT);
    EXPECT_EQ(dlg.commands[0].code, static_cast<int>(CBN_SELCHANGE));
    EXPECT_EQ(static_cast<HWND>(dlg.commands[0].lParam), dlg.m_sort.m_hWnd);
}

// ---------------------------------------------------------------------------
// Progress bar

TEST_F(ProgressControl, PositionIsKeptInRangeAndSetPosReturnsTheOldOne)
{
    EXPECT_EQ(dlg.m_progress.GetPos(), 0);
    EXPECT_EQ(dlg.m_progress.SetPos(40), 0);
    EXPECT_EQ(dlg.m_progress.SetPos(70), 40);
    EXPECT_EQ(dlg.m_progress.GetPos(), 70);
    dlg.m_progress.SetPos(150);
    EXPECT_EQ(dlg.m_progress.GetPos(), 100);
    dlg.m_progress.SetPos(-5);
    EXPECT_EQ(dlg.m_progress.GetPos(), 0);
}

}  // namespace
