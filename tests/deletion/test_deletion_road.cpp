// The deletion road: Delete in the file list, the questions, and the deletion jobs
// the printer runs in Ghostscript.
#include "deletion_fixture.h"

#include <QtCore/Qt>

using qbxsim::ListStore;

TEST_F(DeletionTest, OneFileYesDeletesItAndTheEmptyTableBringsTheMainDialogBack)
{
    ListFiles({"007"});
    SelectAndDelete({"007.TIF"});
    ASSERT_TRUE(WaitForQuestion());
    EXPECT_FALSE(ListShown());
    EXPECT_EQ(AskedName(), "1234007.TIF");
    EXPECT_TRUE(Offered(IDC_CONFIRM_YES));
    EXPECT_TRUE(Offered(IDC_CONFIRM_NO));
    EXPECT_FALSE(Question()->GetDlgItem(IDC_CONFIRM_YESTOALL)->IsWindowVisible());
    EXPECT_FALSE(Question()->GetDlgItem(IDC_CONFIRM_YESTOALL)->IsWindowEnabled());
    AppHarness::Screenshot(Question(), "confirm_delete_one_file");

    AppHarness::Click(Question(), IDC_CONFIRM_YES);
    ASSERT_TRUE(h->PumpUntil([&] { return h->MainDlg()->m_btnOK.IsWindowEnabled(); }, 20000));
    ASSERT_TRUE(StoreSettles(1, 1));
    EXPECT_EQ(ListStore(store), std::vector<std::string>{"DXR/Images/12345(001)(20000101000000).TIF"});
    // Both parenthesis groups of the path are escaped for PostScript.
    const std::string uel = "\x1b%-12345X";
    EXPECT_EQ(DeletionJobs()[0], " " + uel + "@PJL JOB\n@PJL ENTER LANGUAGE=POSTSCRIPT\n%!\n" +
                                     "(DXR/Images/1234\\(007\\)\\(19991213093005\\).TIF) deletefile\n\x04" + uel +
                                     "@PJL EOJ " + uel);
    EXPECT_EQ(f->m_pDirectory->count, 0);
    char id[12];
    h->MainDlg()->GetDlgItemText(IDC_USERID, id, sizeof id);
    EXPECT_STREQ(id, "");
    EXPECT_TRUE(h->MainDlg()->GetDlgItem(IDC_USERID)->HasFocus());
    EXPECT_FALSE(f->m_bBusy);
    EXPECT_FALSE(f->m_bConnected);
    EXPECT_FALSE(g_bDirectoryLoaded);
    EXPECT_EQ(Question(), nullptr);
}

TEST_F(DeletionTest, YesToAllDeletesEveryMarkedFileAfterOneQuestionOnOneConnection)
{
    ListFiles({"001", "002", "003", "004"});
    PostedSteps ops;
    SelectAndDelete({"001.TIF", "002.TIF", "004.TIF"});
    ASSERT_TRUE(WaitForQuestion());
    EXPECT_TRUE(Offered(IDC_CONFIRM_NO));
    EXPECT_TRUE(Offered(IDC_CONFIRM_YES));
    EXPECT_TRUE(Offered(IDC_CONFIRM_YESTOALL));
    AppHarness::Screenshot(Question(), "confirm_delete_three_files");

    AppHarness::Click(Question(), IDC_CONFIRM_YESTOALL);
    ASSERT_TRUE(h->PumpUntil([&] { return ListShown(); }, 30000));
    ASSERT_TRUE(StoreSettles(3, 2));
    EXPECT_EQ(ListStore(store), (std::vector<std::string>{Path("003"), "DXR/Images/12345(001)(20000101000000).TIF"}));
    // One question, one connection (the listing had the first), and JobEnd closed it.
    EXPECT_EQ(ops.Count(QBX_DEL), 1);
    EXPECT_EQ(ops.Count(QBX_DEL_RESUME), 3);
    EXPECT_EQ(DeletionConnections(), (std::vector<int>{2, 2, 2}));
    EXPECT_FALSE(f->m_bConnected);
    EXPECT_TRUE(h->PumpUntil([&] { return sim->ActiveConnections() == 0; }, 10000));
    ASSERT_EQ(f->m_pDirectory->count, 1);
    EXPECT_STREQ(f->m_pDirectory->entries[0].name, "003.TIF");
    EXPECT_TRUE(SelectedNames().empty());
    EXPECT_FALSE(f->m_bBusy);
}

TEST_F(DeletionTest, YesFileByFileUsesAConnectionEachAndTheLastQuestionHasNoYesToAll)
{
    ListFiles({"001", "002", "003"});
    SelectAndDelete({"001.TIF", "002.TIF", "003.TIF"});
    std::set<std::string> asked;
    for (int n = 3; n >= 1; --n) {
        ASSERT_TRUE(WaitForQuestion()) << n << " files left";
        EXPECT_EQ(Offered(IDC_CONFIRM_YESTOALL), n > 1) << n << " files left";
        asked.insert(AskedName());
        AppHarness::Click(Question(), IDC_CONFIRM_YES);
        h->PumpUntil([&] { return Question() == nullptr; }, 5000);
    }
    EXPECT_EQ(asked, (std::set<std::string>{"1234001.TIF", "1234002.TIF", "1234003.TIF"}));
    ASSERT_TRUE(h->PumpUntil([&] { return h->MainDlg()->m_btnOK.IsWindowEnabled(); }, 20000));
    ASSERT_TRUE(StoreSettles(3, 1));
    EXPECT_EQ(DeletionConnections(), (std::vector<int>{2, 3, 4}));
    EXPECT_FALSE(f->m_bConnected);
}

TEST_F(DeletionTest, NoAfterOneYesShowsTheListWithTheRemainingMarkedFilesSelected)
{
    ListFiles({"001", "002", "003"});
    SelectAndDelete({"001.TIF", "003.TIF"});
    ASSERT_TRUE(WaitForQuestion());
    const std::string first = AskedName();
    AppHarness::Click(Question(), IDC_CONFIRM_YES);
    ASSERT_TRUE(h->PumpUntil([&] { return Question() && AskedName() != first; }, 20000));
    const std::string second = AskedName();
    EXPECT_FALSE(Offered(IDC_CONFIRM_YESTOALL));
    AppHarness::Click(Question(), IDC_CONFIRM_NO);
    ASSERT_TRUE(h->PumpUntil([&] { return ListShown(); }, 5000));

    ASSERT_TRUE(StoreSettles(1, 3));
    EXPECT_EQ(DeletionJobs().size(), 1u);
    EXPECT_EQ(f->m_pDirectory->count, 2);
    EXPECT_EQ(SelectedNames(), std::set<std::string>{second.substr(4)});
    EXPECT_EQ(f->m_pRetrieveDlg->m_lbFiles.GetCount(), 2);
    EXPECT_TRUE(f->m_pRetrieveDlg->HasFocus() || f->m_pRetrieveDlg->m_lbFiles.HasFocus());
    EXPECT_EQ(Question(), nullptr);
    // The list is up, so the main dialog stays busy.
    EXPECT_FALSE(h->MainDlg()->m_btnOK.IsWindowEnabled());
}

TEST_F(DeletionTest, EscAndEnterInTheQuestionDeleteNothing)
{
    ListFiles({"001", "002"});
    SelectAndDelete({"002.TIF"});
    for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
        ASSERT_TRUE(WaitForQuestion());
        AppHarness::PressKey(Question(), key);
        ASSERT_TRUE(h->PumpUntil([&] { return ListShown(); }, 5000));
        EXPECT_EQ(Question(), nullptr);
        EXPECT_EQ(SelectedNames(), std::set<std::string>{"002.TIF"});
        AppHarness::Click(f->m_pRetrieveDlg, IDC_DELETE);
    }
    ASSERT_TRUE(WaitForQuestion());
    AppHarness::Click(Question(), IDC_CONFIRM_NO);
    ASSERT_TRUE(h->PumpUntil([&] { return ListShown(); }, 5000));
    h->PumpFor(300);
    EXPECT_TRUE(DeletionJobs().empty());
    EXPECT_EQ(ListStore(store).size(), 3u);
    EXPECT_EQ(f->m_pDirectory->count, 2);
}
