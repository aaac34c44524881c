// Answers that must not delete: a second click queued behind the first, and a record
// index that no longer names a file of the table.
#include "deletion_fixture.h"

#include <cstring>

TEST_F(DeletionTest, ASecondYesQueuedBehindTheFirstDeletesOnlyTheFileAsked)
{
    ListFiles({"001", "002"});
    SelectAndDelete({"001.TIF", "002.TIF"});
    ASSERT_TRUE(WaitForQuestion());
    const std::string first = AskedName();
    // Two answers waiting at once, as a quick double click leaves them: the second
    // comes when its question is already gone.
    f->PostMessage(WM_QBX_CONFIRM, 0, IDC_CONFIRM_YES);
    f->PostMessage(WM_QBX_CONFIRM, 0, IDC_CONFIRM_YESTOALL);
    ASSERT_TRUE(h->PumpUntil([&] { return Question() && AskedName() != first; }, 20000));
    // The printer answers nothing to a deletion: the question comes as soon as the job
    // is sent, and the printer runs it in its own time.
    ASSERT_TRUE(StoreSettles(1, 2));
    h->PumpFor(500);  // time for a wrong second deletion to show
    EXPECT_EQ(DeletionJobs().size(), 1u);
    EXPECT_NE(Question(), nullptr);
    EXPECT_EQ(f->m_pDirectory->count, 1);
    AppHarness::Click(Question(), IDC_CONFIRM_NO);
    ASSERT_TRUE(h->PumpUntil([&] { return ListShown(); }, 5000));
    // No deletes nothing more.
    ASSERT_TRUE(StoreSettles(1, 2));
    h->PumpFor(300);
    EXPECT_EQ(DeletionJobs().size(), 1u);
    EXPECT_EQ(qbxsim::ListStore(store).size(), 2u);
}

TEST_F(DeletionTest, AnIndexOutsideTheTableDeletesNothing)
{
    ListFiles({"001", "002"});
    PostedSteps ops;
    SelectAndDelete({"001.TIF"});
    ASSERT_TRUE(WaitForQuestion());
    // A slot beyond the table's records that still holds a marked file from before.
    DirEntry& stale = f->m_pDirectory->entries[7];
    std::strcpy(stale.path, "DXR/Images/1234(001)(19991213093005).TIF");
    std::strcpy(stale.name, "001.TIF");
    stale.marked = 1;
    f->m_nCurrentFile = 7;
    AppHarness::Click(Question(), IDC_CONFIRM_YES);
    ASSERT_TRUE(h->PumpUntil([&] { return ListShown(); }, 10000));
    EXPECT_EQ(ops.Count(QBX_DEL), 0);

    // The deletion steps and the search for the next file check the index too.
    for (int i = 0; i < 2; ++i) f->m_pDirectory->entries[i].marked = 1;
    for (int bad : {7, -1, QBX_MAX_DIR_ENTRIES + 5}) {
        f->m_pDirectory->command = 7;
        f->m_nCurrentFile = bad;
        f->PostMessage(WM_QBX_IP_OP, QBX_DEL_RESUME, bad);
        f->PostMessage(WM_QBX_IP_OP, QBX_DEL, bad);
        h->PumpPending();
    }
    f->m_nCurrentFile = QBX_MAX_DIR_ENTRIES + 5;
    f->NextDeletion(1);
    h->PumpFor(300);
    EXPECT_EQ(ops.Count(QBX_DEL_RESUME), 3);  // only the three posted here
    EXPECT_EQ(ops.Count(QBX_CONNECT), 0);
    EXPECT_TRUE(DeletionJobs().empty());
    EXPECT_EQ(f->m_pDirectory->count, 2);
    EXPECT_EQ(qbxsim::ListStore(store).size(), 3u);
    EXPECT_FALSE(f->m_bBusy);
}
