// Cancels that arrive twice, late, or while a connection is still being made: the
// steps the frame posts are compared, in order, with the expected chain (the first
// difference is reported). A scripted network and a manual clock run each batch in
// milliseconds; the cancels are posted the way the progress dialog posts them, at the
// moment each case names.
#include "app_harness.h"
#include "posted_steps.h"

#include "directory/RetrieveDlg.h"
#include "platform/clock.h"
#include "platform/msgqueue.h"
#include "platform/scripted_socket.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/ProgressDlg.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

namespace {

const int kSize = 10;

std::string PathOf(int file)
{
    return "DXR/Images/5(00" + std::to_string(file) + ")(2000010" + std::to_string(file) + "000000).TIF";
}

std::string Listing(int files)
{
    std::string s;
    for (int i = 1; i <= files; ++i) s += PathOf(i) + "\t" + std::to_string(kSize) + "\n";
    return s + "%%%";
}

// The answer for the batch's file number `file` (0: the first listed).
std::string Answer(int file)
{
    return "@PJL FSUPLOAD FORMAT:BINARY NAME=\"" + PathOf(file + 1) + "\" OFFSET=0 SIZE=10\r\n" +
           std::string(kSize, char('a' + file)) + "\f";
}

struct ChainCase {
    const char* name;
    int files;
    bool autoDelete;
    // Arms the case: what the network does and when the cancels come.
    std::function<void(class CancelChainTest&)> arm;
    std::vector<std::string> want;
    int wantSelected;  // lines selected in the list that comes back
};

class CancelChainTest : public ::testing::TestWithParam<ChainCase> {
public:
    void PostCancel(int button) { h->Frame()->PostMessage(WM_QBX_CANCEL_XFER, 0, button); }
    void OnTrace(const std::string& line, std::function<void()> fn) { traceHooks[line] = std::move(fn); }

    ManualClock clock;
    ScriptedSocketScript script;
    std::unique_ptr<AppHarness> h;
    // The frame's steps from the moment the batch starts, the cancels as they are
    // posted, and the batch ends as they happen.
    PostedSteps log;
    std::map<std::string, std::function<void()>> traceHooks;

protected:
    void SetUp() override
    {
        log.recording = false;
        SetClock(&clock);
        SetSocketIoFactory(script.Factory());
    }
    void TearDown() override
    {
        h.reset();
        SetSocketIoFactory({});
        SetClock(nullptr);
    }
};

TEST_P(CancelChainTest, StepsRunOnceAndTheBatchEndsOnce)
{
    const ChainCase& c = GetParam();
    h = std::make_unique<AppHarness>(
        std::string("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=") +
        (c.autoDelete ? "yes" : "no") + "\n");
    ASSERT_TRUE(h->Start());
    SetTraceSink([this](const std::string& s) {
        h->traces.push_back(s);
        if (log.recording && s == "JobEnd with QBX_JE_FILEGET\n") log.steps.push_back("JobEnd");
        auto it = traceHooks.find(s);
        if (it != traceHooks.end()) it->second();
    });

    // The listing.
    AppHarness::TypeInto(h->MainDlg(), 1001, "5");
    script.QueueConnect(0);
    script.QueueReceive(Listing(c.files));
    AppHarness::Click(h->MainDlg(), IDOK);
    h->PumpFor(3000);
    CMainFrame* f = h->Frame();
    ASSERT_TRUE(f->m_pRetrieveDlg && f->m_pRetrieveDlg->m_hWnd);
    ASSERT_EQ(f->m_pDirectory->count, c.files);

    // Every line selected, Retrieve, and the case's own network and cancels.
    for (int row = 0; row < c.files; ++row) AppHarness::ClickListLine(f->m_pRetrieveDlg, IDC_FILELIST, row);
    std::string out = MakeTempFolder("chain");
    h->prompts.saveAnswers.push_back(out + "/c.TIF");
    log.dispatched.clear();
    c.arm(*this);
    log.recording = true;
    AppHarness::Click(f->m_pRetrieveDlg, IDC_RETRIEVE);
    h->PumpFor(20000);
    log.recording = false;

    EXPECT_TRUE(SameSteps(log.steps, c.want));
    EXPECT_FALSE(f->m_bClosing) << "the program began to exit";
    EXPECT_TRUE(h->prompts.Boxes().empty()) << h->prompts.Boxes()[0].text;
    EXPECT_EQ(f->m_pProgressDlg, nullptr) << "the progress dialog is still there";
    ASSERT_TRUE(f->m_pRetrieveDlg && f->m_pRetrieveDlg->m_hWnd) << "the list did not come back";
    EXPECT_EQ(f->m_pRetrieveDlg->m_lbFiles.GetSelCount(), c.wantSelected);
    // No partial copy stays behind; every file left is whole.
    for (auto& e : std::filesystem::directory_iterator(out))
        EXPECT_EQ(std::filesystem::file_size(e.path()), static_cast<std::uintmax_t>(kSize)) << e.path();
}

// A printer that accepts every connection and answers every upload in full.
void AnswerEveryUpload(CancelChainTest& t, int files)
{
    for (int i = 0; i < files; ++i) {
        t.script.QueueConnect(0);
        t.script.QueueReceive(Answer(i));
    }
}

const ChainCase kCases[] = {
    {"DoubleCancelDuringAReceive",
     2,
     false,
     [](CancelChainTest& t) {
         // The first file's answer never comes; two clicks on Cancel while it waits.
         t.script.QueueConnect(0);
         t.log.onStep = [&t](int code, int nth) {
             if (code == QBX_GET_RESUME && nth == 1) {
                 t.PostCancel(IDCANCEL);
                 t.PostCancel(IDCANCEL);
                 t.script.QueueConnect(0);
             }
             if (code == QBX_GET_RESUME && nth == 2) t.script.QueueReceive(Answer(1));
         };
     },
     {"GET", "CONNECT", "GET_RESUME", "XFER 2", "XFER 2", "CANCEL 0", "GET", "CONNECT", "GET_RESUME", "GET", "JobEnd"},
     2},
    {"DoubleCancelAllDuringTheConnect",
     2,
     false,
     [](CancelChainTest& t) {
         // The printer never completes the connection; Cancel All twice while it is tried.
         t.script.QueueConnect(0, t.clock.NowMs() + 600000);
         t.log.onStep = [&t](int code, int nth) {
             if (code == QBX_CONNECT && nth == 1) {
                 t.PostCancel(IDC_CANCEL_ALL);
                 t.PostCancel(IDC_CANCEL_ALL);
             }
         };
     },
     {"GET", "CONNECT", "XFER 1033", "XFER 1033", "CANCEL 1", "GET", "JobEnd"},
     2},
    {"CancelOnTheLastFileWhileConnecting",
     1,
     false,
     [](CancelChainTest& t) {
         t.script.QueueConnect(0, t.clock.NowMs() + 600000);
         t.log.onStep = [&t](int code, int nth) {
             if (code == QBX_CONNECT && nth == 1) t.PostCancel(IDCANCEL);
         };
     },
     // No tick of the connection timer afterwards tries the closed socket again.
     {"GET", "CONNECT", "XFER 2", "CANCEL 0", "GET", "JobEnd"},
     1},
    {"CancelAllThenLateCancels",
     3,
     false,
     [](CancelChainTest& t) {
         AnswerEveryUpload(t, 0);
         t.script.QueueConnect(0);
         t.log.onStep = [&t](int code, int nth) {
             if (code == QBX_GET_RESUME && nth == 1) t.PostCancel(IDC_CANCEL_ALL);
             // A click still queued behind the first, then one after the batch ended.
             if (code == QBX_CANCEL && nth == 1) t.PostCancel(IDCANCEL);
         };
         t.OnTrace("JobEnd with QBX_JE_FILEGET\n", [&t] { t.PostCancel(IDCANCEL); });
     },
     {"GET", "CONNECT", "GET_RESUME", "XFER 1033", "CANCEL 1", "XFER 2", "GET", "JobEnd", "XFER 2"},
     3},
    {"CancelAsTheLastFileFinishes",
     1,
     false,
     [](CancelChainTest& t) {
         AnswerEveryUpload(t, 1);
         t.OnTrace("RetrieveFile() Terminating normally\n", [&t] { t.PostCancel(IDC_CANCEL_ALL); });
     },
     {"GET", "CONNECT", "GET_RESUME", "XFER 1033", "GET", "JobEnd"},
     1},
    {"CancelDuringTheAutomaticDeletion",
     2,
     true,
     [](CancelChainTest& t) {
         AnswerEveryUpload(t, 2);
         // The deletion job of the first file is not taken in time; Cancel meanwhile.
         t.OnTrace("RetrieveFile() Terminating normally\n", [&t] {
             if (t.log.dispatched[QBX_GET_RESUME] != 1) return;
             t.script.QueueSend(1, t.clock.NowMs() + 1500);
             t.PostCancel(IDCANCEL);
         });
     },
     // The first file's copy is whole and kept; its deletion did not go, so it stays
     // listed; the second file is copied and deleted.
     {"GET", "CONNECT", "GET_RESUME", "XFER 2", "CANCEL 0", "GET", "CONNECT", "GET_RESUME", "GET", "JobEnd"},
     1},
    {"ResumeStepsAfterTheBatchEnded",
     1,
     false,
     [](CancelChainTest& t) {
         AnswerEveryUpload(t, 1);
         // Resume steps of an operation that is over find no connection and do nothing
         // (no job is sent on the closed socket).
         t.OnTrace("JobEnd with QBX_JE_FILEGET\n", [&t] {
             for (int code : {QBX_GET_RESUME, QBX_DEL_RESUME, QBX_DIR_RESUME})
                 t.h->Frame()->PostMessage(WM_QBX_IP_OP, code, 0);
         });
     },
     {"GET", "CONNECT", "GET_RESUME", "GET", "JobEnd", "GET_RESUME", "DEL_RESUME", "DIR_RESUME"},
     1},
};

INSTANTIATE_TEST_SUITE_P(Cases, CancelChainTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ChainCase>& i) { return std::string(i.param.name); });

}  // namespace
