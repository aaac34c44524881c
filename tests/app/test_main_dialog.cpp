// The main dialog: the user ID check, OK and the settings it marks.
#include "app_harness.h"
#include "posted_steps.h"

#include "platform/msgqueue.h"

#include <gtest/gtest.h>

#include <QtCore/qnamespace.h>

namespace {

std::string Text(CWnd* dlg, int id)
{
    char buf[64];
    dlg->GetDlgItemText(id, buf, sizeof buf);
    return buf;
}

}  // namespace

TEST(MainDialog, LetterInUserIdShowsBoxAtTheLetterAndKeepsText)
{
    AppHarness h;
    ASSERT_TRUE(h.Start());
    CQuillboxDlg* dlg = h.MainDlg();
    AppHarness::TypeInto(dlg, 1001, "12");
    EXPECT_TRUE(h.prompts.Boxes().empty());
    AppHarness::TypeInto(dlg, 1001, "a");
    ASSERT_EQ(h.prompts.Boxes().size(), 1u);
    EXPECT_EQ(h.prompts.Boxes()[0].text, "Please enter from 1 to 8 decimal digits");
    EXPECT_EQ(h.prompts.Boxes()[0].caption, "Bad User ID");
    EXPECT_EQ(h.prompts.Boxes()[0].owner, dlg->m_hWnd);
    EXPECT_EQ(Text(dlg, 1001), "12a");
    EXPECT_TRUE(dlg->GetDlgItem(1001)->HasFocus());
    // Every further change shows it again until the text is valid.
    AppHarness::TypeInto(dlg, 1001, "3");
    EXPECT_EQ(h.prompts.Boxes().size(), 2u);
    EXPECT_TRUE(dlg->m_bUserIDEdited);
}

TEST(MainDialog, NinthDigitShowsBoxButDeletingToEmptyDoesNot)
{
    AppHarness h;
    ASSERT_TRUE(h.Start());
    CQuillboxDlg* dlg = h.MainDlg();
    AppHarness::TypeInto(dlg, 1001, "12345678");
    EXPECT_TRUE(h.prompts.Boxes().empty());
    AppHarness::TypeInto(dlg, 1001, "9");
    EXPECT_EQ(h.prompts.Boxes().size(), 1u);
    dlg->SetDlgItemText(1001, "");
    EXPECT_EQ(h.prompts.Boxes().size(), 1u);
}

TEST(MainDialog, OkWithEmptyUserIdShowsBoxAndPostsNothing)
{
    AppHarness h;
    ASSERT_TRUE(h.Start());
    PostedSteps rec;
    AppHarness::Click(h.MainDlg(), IDOK);
    EXPECT_EQ(h.prompts.Boxes().size(), 1u);
    EXPECT_EQ(rec.Count(WM_QBX_MAINDLG, 1), 0);
}

TEST(MainDialog, UserIdRuleAcceptsOneToEightDigitsOnly)
{
    EXPECT_TRUE(CQuillboxDlg::IsValidUserID("1"));
    EXPECT_TRUE(CQuillboxDlg::IsValidUserID("00000000"));
    EXPECT_FALSE(CQuillboxDlg::IsValidUserID(""));
    EXPECT_FALSE(CQuillboxDlg::IsValidUserID("123456789"));
    EXPECT_FALSE(CQuillboxDlg::IsValidUserID("12 4"));
    EXPECT_FALSE(CQuillboxDlg::IsValidUserID("-1"));
}

TEST(MainDialog, OkPostsOnceStaysOpenAndDisablesOk)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=1\n");
    ASSERT_TRUE(h.Start());
    CQuillboxDlg* dlg = h.MainDlg();
    AppHarness::TypeInto(dlg, 1001, "7");
    PostedSteps rec;
    AppHarness::Click(dlg, IDOK);
    EXPECT_EQ(rec.Count(WM_QBX_MAINDLG, 1), 1);
    EXPECT_TRUE(dlg->IsWindowVisible());
    // The frame handles it: OK disabled, the listing posted; editing only the user ID
    // does not mark the settings.
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, 0, WM_QBX_MAINDLG, WM_QBX_MAINDLG, PM_REMOVE));
    DispatchMessage(&m);
    EXPECT_FALSE(dlg->m_btnOK.IsWindowEnabled());
    EXPECT_STREQ(h.Frame()->m_szUserID, "7");
    EXPECT_FALSE(h.Frame()->m_bSettingsChanged);
    EXPECT_EQ(rec.Count(WM_QBX_IP_OP, 0), 1);
}

TEST(MainDialog, EditingAddressThenClosingWithoutOkMarksNothing)
{
    AppHarness h;
    ASSERT_TRUE(h.Start());
    AppHarness::TypeInto(h.MainDlg(), 1018, "5");
    EXPECT_TRUE(h.MainDlg()->m_bAddressChanged);
    h.Frame()->RequestExit();
    EXPECT_TRUE(h.PumpUntilExit(5000));
    EXPECT_EQ(h.ReadIni(), "");
}

TEST(MainDialog, ControlsStandWhereTheTemplatePutsThemWithWorkingMnemonics)
{
    AppHarness h;
    ASSERT_TRUE(h.Start());
    CQuillboxDlg* dlg = h.MainDlg();
    // Alt+P moves the focus to the address field.
    AppHarness::PressKey(dlg, Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(dlg->GetDlgItem(1002)->HasFocus());
    AppHarness::PressKey(dlg, Qt::Key_V, Qt::AltModifier);
    EXPECT_TRUE(dlg->GetDlgItem(1018)->HasFocus());
    AppHarness::PressKey(dlg, Qt::Key_U, Qt::AltModifier);
    EXPECT_TRUE(dlg->GetDlgItem(1001)->HasFocus());
}
