// Controls of a dialog: the edit's change notification, the multi-selection list box
// (item data, selection, notifications, tab stops), the drop-down list and the
// progress bar.
#include "platform_fixture.h"

#include "platform/qt/qt_platform.h"

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <cmath>

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

void ClickLine(CWnd* dlg, int id, int row)
{
    auto* lb = qobject_cast<QListWidget*>(ControlWidget(dlg, id));
    ASSERT_NE(lb, nullptr);
    QTest::mouseClick(lb->viewport(), Qt::LeftButton, Qt::NoModifier, lb->visualItemRect(lb->item(row)).center());
}

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
    QWidget* edit = ControlWidget(&dlg, IDC_NAME);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClicks(edit, "cd");
    QTest::keyClick(edit, Qt::Key_Backspace);
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

// Where the text of a list line has ink: the left edge of the last glyph run, in
// viewport pixels (the last column's text starts there).
int LastRunStart(const QImage& img, const QRect& row)
{
    int start = -1;
    bool inRun = false;
    for (int x = row.left() + 1; x < row.right(); ++x) {
        bool ink = false;
        for (int y = row.top() + 1; y < row.bottom() && !ink; ++y) ink = qGray(img.pixel(x, y)) < 110;
        if (ink && !inRun) start = x;
        inRun = ink;
    }
    return start;
}

TEST_F(ListBoxControl, TabsExpandToTheTabStops)
{
    auto* lb = qobject_cast<QListWidget*>(ControlWidget(&dlg, IDC_FILES));
    ASSERT_NE(lb, nullptr);
    dlg.m_files.AddString("A\tB");
    dlg.m_files.AddString("AAAAAAA\tB");
    dlg.m_files.AddString("AAAAAAAAAAAAA\tB");  // wider than one stop: the next one
    dlg.m_name.SetFocus();                      // no focus frame in the list

    auto columnOfB = [&](int stopDu) {
        dlg.m_files.SetTabStops(stopDu);
        QImage img = lb->viewport()->grab().toImage();
        std::vector<int> r;
        for (int i = 0; i < 3; ++i) r.push_back(LastRunStart(img, lb->visualItemRect(lb->item(i))));
        return r;
    };
    const int textLeft = lb->visualItemRect(lb->item(0)).left();
    for (int du : {40, 48}) {
        const int stopPx = static_cast<int>(std::lround(du * QtPlatform::BaseUnitX() / 4.0));
        std::vector<int> b = columnOfB(du);
        ASSERT_GT(b[0], 0);
        EXPECT_EQ(b[0], b[1]) << "B must start at the same x after a short and a longer first column (stop " << du
                              << " du)";
        // Text starts a couple of pixels into the line; B's own side bearing is 0 to 2 px.
        EXPECT_GE(b[0] - textLeft, stopPx) << du;
        EXPECT_LE(b[0] - textLeft, stopPx + 5) << du;
        EXPECT_EQ(b[2] - b[0], stopPx) << "a first column wider than a stop goes to the next one";
    }
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
    QWidget* cb = ControlWidget(&dlg, IDC_SORT);
    cb->setFocus();
    QTest::keyClick(cb, Qt::Key_Down);
    EXPECT_EQ(dlg.sortSelChanges, 1);
    EXPECT_EQ(dlg.m_sort.GetCurSel(), 1);
    QTest::keyClick(cb, Qt::Key_Down);
    EXPECT_EQ(dlg.sortSelChanges, 2);
    EXPECT_EQ(dlg.m_sort.GetCurSel(), 2);
    QTest::keyClick(cb, Qt::Key_Down);  // already the last: no change, no notification
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
