// Files that come in as fast as the loopback carries them: the progress dialog shows
// each file's last figures when it ends, and the user can still cancel while the
// receive loop never waits for data.
#include "retrieval_fixture.h"

#include "retrieval/ProgressDlg.h"

#include <cstdlib>

using namespace qbxsim;

namespace {

const std::string kUser = "88";

struct Shown {
    std::string status;
    std::string timeLeft;
    int bar = -1;
};

Shown ShownBy(CProgressDlg* p)
{
    Shown s;
    char text[128];
    p->GetDlgItemText(IDC_XFER_STATUS, text, sizeof text);
    s.status = text;
    p->GetDlgItemText(IDC_TIMELEFT, text, sizeof text);
    s.timeLeft = text;
    s.bar = p->m_progress.GetPos();
    return s;
}

}  // namespace

TEST_F(RetrievalTest, EveryFileEndsWithItsLastFiguresOnTheScreen)
{
    StartPrinter();
    const unsigned sizes[] = {6000000, 4999, 1000000};  // marks end 1000 / 999 / 0 bytes early
    std::vector<std::string> paths;
    for (unsigned i = 0; i < 3; ++i)
        paths.push_back(AddImageOfSize(store, kUser, "00" + std::to_string(i + 1), "20000101000000", sizes[i], i + 1));
    std::string out = MakeTempFolder("fullspeed");
    AppHarness h(IniWith(false));
    ASSERT_NO_FATAL_FAILURE(ListAndChoose(h, kUser, paths, out + "/f.TIF"));

    // What the dialog shows at the moment each file ends, in the order they end.
    std::vector<Shown> atEnd;
    std::vector<std::string> names;
    SetTraceSink([&](const std::string& line) {
        h.traces.push_back(line);
        if (line != "RetrieveFile() Terminating normally\n") return;
        CMainFrame* f = h.Frame();
        atEnd.push_back(ShownBy(f->m_pProgressDlg));
        names.push_back(f->CurrentEntry()->name);
        if (atEnd.size() == 1) AppHarness::Screenshot(f->m_pProgressDlg, "progress-at-end-of-file");
    });
    RetrieveAndWait(h, 60000);

    ASSERT_EQ(atEnd.size(), 3u);
    for (std::size_t k = 0; k < atEnd.size(); ++k) {
        unsigned i = static_cast<unsigned>(std::atoi(names[k].c_str())) - 1;
        ASSERT_LT(i, 3u) << names[k];
        const unsigned size = sizes[i];
        // The last update is at the last 2000-byte mark reached: fewer than 2000 + one
        // receive's bytes before the end (the first byte's update for a small file).
        const std::string& st = atEnd[k].status;
        const unsigned shownBytes = static_cast<unsigned>(std::strtoul(st.c_str(), nullptr, 10));
        EXPECT_EQ(st.substr(st.find('\t')), "\tof " + std::to_string(size) + st.substr(st.find(" (at "))) << st;
        EXPECT_LE(shownBytes, size) << st;
        EXPECT_GE(static_cast<long long>(shownBytes), static_cast<long long>(size) - 2000 - 2048) << st;
        EXPECT_EQ(atEnd[k].bar, static_cast<int>(static_cast<unsigned long long>(shownBytes) * 100 / size)) << st;
        EXPECT_EQ(atEnd[k].timeLeft.rfind("0:0:", 0), 0u) << atEnd[k].timeLeft;
    }
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(ReadFile(out + "/f00" + std::to_string(i + 1) + ".TIF"), PatternBytes(sizes[i], i + 1)) << i;
    EXPECT_TRUE(h.prompts.Boxes().empty());
}

TEST_F(RetrievalTest, CancelReachesALoopThatNeverWaitsForData)
{
    StartPrinter();
    const unsigned size = 96u << 20;
    std::string big = AddImageOfSize(store, kUser, "001", "20000101000000", size, 9);
    std::string out = MakeTempFolder("fullspeed-cancel");
    AppHarness h(IniWith(true));
    ASSERT_NO_FATAL_FAILURE(ListAndChoose(h, kUser, {big}, out + "/big.TIF"));

    // The user presses Cancel once a megabyte is in: the click goes through the
    // window system, which the loop asks for events only every few milliseconds.
    unsigned bytesAtClick = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        CMainFrame* f = h.Frame();
        if (bytesAtClick || !f || !f->m_pOutFile || f->m_nBytesReceived < (1u << 20)) return;
        bytesAtClick = f->m_nBytesReceived;
        AppHarness::Click(f->m_pProgressDlg, IDCANCEL);
    });
    watch.start(5);
    RetrieveAndWait(h, 60000);
    watch.stop();

    ASSERT_NE(bytesAtClick, 0u);
    EXPECT_LT(bytesAtClick, size);
    EXPECT_TRUE(FilesIn(out).empty()) << "the cancelled copy is removed";
    EXPECT_TRUE(Deletions().empty()) << "nothing is deleted on the printer after a cancel";
    EXPECT_EQ(ListStore(store).size(), 1u);
    EXPECT_TRUE(h.prompts.Boxes().empty());
}
