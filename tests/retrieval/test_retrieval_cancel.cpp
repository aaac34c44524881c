// Stopping a transfer: Cancel, Cancel All, and closing the program while a file
// comes in. The printer trickles its answers so the program is caught inside its
// receive loop; the test acts from a timer, as a user would, while the loop runs.
#include "retrieval_fixture.h"

#include "retrieval/ProgressDlg.h"

using namespace qbxsim;

namespace {

const std::string kUser = "77";

Knobs SlowUploads()
{
    Knobs k;
    k.apply_to = ApplyTo::UploadAnswers;
    k.trickle_bytes = 2000;
    k.trickle_interval_ms = 40;
    return k;
}

}  // namespace

class CancelTest : public RetrievalTest {
protected:
    // Runs fn once, from a timer, as soon as the first file of the batch is
    // partly written on disk; remembers that file's record.
    void WhenFirstFileIsUnderway(AppHarness& h, std::function<void()> fn)
    {
        watch = std::make_unique<QTimer>();
        QObject::connect(watch.get(), &QTimer::timeout, [this, &h, fn] {
            CMainFrame* f = h.Frame();
            if (done || !f || f->m_nCurrentOp != QBX_GET || !f->m_pOutFile || f->m_nBytesReceived < 6000) return;
            done = true;
            firstPath = f->CurrentEntry()->path;
            firstDest = f->m_szDestPath;
            firstTemp = f->m_pOutFile->TempPath();
            // The copy grows in a temporary file beside the destination, not in it.
            partialOnDisk =
                Exists(firstTemp) && !Exists(firstDest) &&
                std::filesystem::path(firstTemp).parent_path() == std::filesystem::path(firstDest).parent_path();
            fn();
        });
        watch->start(20);
    }

    std::unique_ptr<QTimer> watch;
    bool done = false;
    bool partialOnDisk = false;
    std::string firstPath;
    std::string firstDest;
    std::string firstTemp;
};

TEST_F(CancelTest, CancelDeletesThePartialFileAndTheNextFileIsRetrieved)
{
    StartPrinter(SlowUploads());
    std::string a = AddImageOfSize(store, kUser, "001", "20000101000000", 40000, 1);
    std::string b = AddImageOfSize(store, kUser, "002", "20000102000000", 40000, 2);
    std::string out = MakeTempFolder("cancel");
    AppHarness h(IniWith(false));
    ASSERT_NO_FATAL_FAILURE(ListAndChoose(h, kUser, {a, b}, out + "/c.TIF"));
    std::string shot;
    std::string caption, saving;
    WhenFirstFileIsUnderway(h, [&] {
        CProgressDlg* p = h.Frame()->m_pProgressDlg;
        shot = AppHarness::Screenshot(p, "retrieval_progress_mid_transfer");
        char text[128];
        p->GetWindowText(text, sizeof text);
        caption = text;
        p->GetDlgItemText(IDC_SAVING, text, sizeof text);
        saving = text;
        AppHarness::Click(p, IDCANCEL);
    });
    RetrieveAndWait(h);
    watch->stop();

    ASSERT_TRUE(done);
    EXPECT_TRUE(partialOnDisk);
    EXPECT_FALSE(shot.empty());
    const std::string other = firstPath == a ? b : a;
    const std::string otherFile = other == a ? "c001.TIF" : "c002.TIF";
    EXPECT_EQ(caption.rfind("Retrieving File:  77", 0), 0u) << caption;
    EXPECT_EQ(out + "/" + saving, firstDest);

    // The cancelled copy is gone; the other one is whole.
    EXPECT_FALSE(Exists(firstDest));
    EXPECT_FALSE(Exists(firstTemp));
    EXPECT_EQ(FilesIn(out), (std::vector<std::string>{otherFile}));
    EXPECT_EQ(ReadFile(out + "/" + otherFile), StoreBytes(other));
    EXPECT_EQ(Uploads().size(), 2u);
    EXPECT_EQ(ListStore(store).size(), 2u);
    // Both come back selected.
    ASSERT_TRUE(ListShown(h));
    EXPECT_EQ(SelectedPaths(h), (std::set<std::string>{a, b}));
    EXPECT_TRUE(h.prompts.Boxes().empty());
}

TEST_F(CancelTest, CancelAllStopsTheBatchWithoutDeletingAnything)
{
    StartPrinter(SlowUploads());
    std::string a = AddImageOfSize(store, kUser, "001", "20000101000000", 40000, 1);
    std::string b = AddImageOfSize(store, kUser, "002", "20000102000000", 40000, 2);
    std::string c = AddImageOfSize(store, kUser, "003", "20000103000000", 40000, 3);
    std::string out = MakeTempFolder("cancelall");
    AppHarness h(IniWith(true));
    ASSERT_NO_FATAL_FAILURE(ListAndChoose(h, kUser, {a, b, c}, out + "/c.TIF"));
    bool cancelAllEnabled = false;
    WhenFirstFileIsUnderway(h, [&] {
        CProgressDlg* p = h.Frame()->m_pProgressDlg;
        cancelAllEnabled = p->m_btnCancelAll.IsWindowEnabled();
        AppHarness::Click(p, IDC_CANCEL_ALL);
    });
    RetrieveAndWait(h);
    watch->stop();

    ASSERT_TRUE(done);
    EXPECT_TRUE(cancelAllEnabled);
    EXPECT_TRUE(FilesIn(out).empty());
    EXPECT_EQ(Uploads().size(), 1u);
    EXPECT_TRUE(Deletions().empty());
    EXPECT_EQ(ListStore(store).size(), 3u);
    EXPECT_EQ(h.Frame()->m_pDirectory->count, 3);
    ASSERT_TRUE(ListShown(h));
    EXPECT_EQ(SelectedPaths(h), (std::set<std::string>{a, b, c}));
}

TEST_F(CancelTest, ClosingTheProgramMidTransferLeavesNoPartialFile)
{
    StartPrinter(SlowUploads());
    std::string a = AddImageOfSize(store, kUser, "001", "20000101000000", 60000, 1);
    std::string out = MakeTempFolder("exit");
    AppHarness h(IniWith(true));
    ASSERT_NO_FATAL_FAILURE(ListAndChoose(h, kUser, {a}, out + "/gone.TIF"));
    WhenFirstFileIsUnderway(h, [&] { AppHarness::PressKey(h.MainDlg(), Qt::Key_Escape); });
    AppHarness::Click(h.Frame()->m_pRetrieveDlg, IDC_RETRIEVE);
    ASSERT_TRUE(h.PumpUntilExit(20000));
    watch->stop();

    ASSERT_TRUE(done);
    EXPECT_TRUE(partialOnDisk);
    EXPECT_TRUE(FilesIn(out).empty());
    EXPECT_TRUE(Deletions().empty());
    EXPECT_EQ(ListStore(store).size(), 1u);
    EXPECT_TRUE(h.prompts.Boxes().empty());
    // The folder chosen is remembered for the next run.
    EXPECT_NE(h.ReadIni().find("SaveDir=" + out + "/"), std::string::npos) << h.ReadIni();
}
