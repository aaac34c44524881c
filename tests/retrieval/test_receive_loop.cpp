// The receive loop of one file on a scripted network and a manual clock: each piece
// of the answer arrives in a receive of its own, so the header window, the data
// start, the terminator, the printer's close and the progress marks are checked
// exactly.
#include "app_harness.h"

#include "app/Globals.h"
#include "directory/RetrieveDlg.h"
#include "platform/clock.h"
#include "platform/scripted_socket.h"
#include "res/resource.h"
#include "res/strings.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string Bytes(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    unsigned v = seed * 2654435761u;
    for (size_t i = 0; i < n; ++i) {
        v = v * 1103515245u + 12345u;
        s[i] = static_cast<char>(v >> 16);
    }
    return s;
}

// The one file of the listing, short enough for a header line of 62 bytes to name it.
const std::string kPath = "DXR/Images/5(001).TIF";

// The printer's header line for a file of `size` bytes, exactly len bytes long with
// its CR LF (blanks between the words fill it).
std::string Head(size_t len, int size)
{
    const std::string front = "@PJL FSUPLOAD NAME=\"" + kPath + "\"";
    const std::string back = " SIZE=" + std::to_string(size) + "\r\n";
    return front + std::string(len - front.size() - back.size(), ' ') + back;
}

class ReceiveLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetClock(&clock);
        SetSocketIoFactory(script.Factory());
        out = MakeTempFolder("receive") + "/r.TIF";
    }
    void TearDown() override
    {
        SetSocketIoFactory({});
        SetClock(nullptr);
    }

    // Lists one file of `size` bytes and presses Retrieve, with the answer cut into the
    // given receives (then, when endError is set, a receive failing with it). False
    // when the file list did not come.
    // sendError: the upload job's send fails with it.
    bool BeginRetrieve(AppHarness& h, int size, const std::vector<std::string>& receives, int endError = 0,
                       int sendError = 0)
    {
        if (!h.Start()) return false;
        AppHarness::TypeInto(h.MainDlg(), 1001, "5");
        script.QueueConnect(0);
        script.QueueReceive(kPath + "\t" + std::to_string(size) + "\n%%%");
        AppHarness::Click(h.MainDlg(), IDOK);
        CMainFrame* f = h.Frame();
        for (int i = 0; i < 50 && !(f->m_pRetrieveDlg && f->m_pRetrieveDlg->m_hWnd); ++i) h.PumpFor(200);
        if (!f->m_pRetrieveDlg || !f->m_pRetrieveDlg->m_hWnd) return false;
        AppHarness::ClickListLine(f->m_pRetrieveDlg, IDC_FILELIST, 0);
        h.prompts.saveAnswers.push_back(out);
        script.QueueConnect(0);
        // Each piece a little later than the one before: one receive per piece.
        std::int64_t at = clock.NowMs();
        for (auto& r : receives) script.QueueReceive(r, at += 50);
        if (endError) script.QueueReceiveError(endError, at += 50);
        if (sendError) script.QueueSend(-sendError);
        AppHarness::Click(f->m_pRetrieveDlg, IDC_RETRIEVE);
        return true;
    }

    // BeginRetrieve, the batch run to its end, and what was written.
    std::string Retrieve(AppHarness& h, int size, const std::vector<std::string>& receives, int endError = 0)
    {
        if (!BeginRetrieve(h, size, receives, endError)) return "<no list>";
        auto ended = [&] {
            return std::count(h.traces.begin(), h.traces.end(), std::string("JobEnd QBX_JE_FILEGET called\n")) > 0;
        };
        for (int i = 0; i < 100 && !ended(); ++i) h.PumpFor(100);
        if (!ended()) return "<not ended>";
        return ReadOut();
    }

    std::string ReadOut() const
    {
        std::ifstream in(out, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    void PumpUntilExit(AppHarness& h)
    {
        for (int i = 0; i < 100 && !h.Exited(); ++i) h.PumpFor(200);
    }

    // A network of its own and no local copy, for the next row of a table.
    void NextRow()
    {
        script = ScriptedSocketScript();
        SetSocketIoFactory(script.Factory());
        std::filesystem::remove(out);
    }

    static int Count(const AppHarness& h, const char* line)
    {
        return static_cast<int>(std::count(h.traces.begin(), h.traces.end(), std::string(line)));
    }

    // The printer ended the connection before the last data byte: the loop ended at
    // that receive (a closed connection answers every later receive at once), the
    // partial file is gone, one box says why, nothing was deleted, the program goes on.
    void ExpectEndedEarly(AppHarness& h)
    {
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_EQ(Count(h, "RetrieveFile() the printer ended the connection\n"), 1);
        EXPECT_EQ(Count(h, "RetrieveFile() Terminating normally\n"), 0);
        ASSERT_EQ(h.prompts.Boxes().size(), 1u);
        EXPECT_EQ(h.prompts.Boxes()[0].caption, "File not copied");
        EXPECT_NE(h.prompts.Boxes()[0].text.find("ended the transfer of 001.TIF"), std::string::npos);
        EXPECT_NE(h.prompts.Boxes()[0].text.find(out), std::string::npos);
        EXPECT_EQ(script.SentBytes().find("deletefile"), std::string::npos);
        EXPECT_FALSE(h.Frame()->m_bClosing);
    }

    ManualClock clock;
    ScriptedSocketScript script;
    std::string out;
};

}  // namespace

TEST_F(ReceiveLoopTest, DataStartAfterTheHeaderLineAndProgressMarksFollowTheCount)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=no\n");
    const std::string header = Head(96, 7047);
    const std::string data = Bytes(7047, 1);
    // 1952 data bytes with the header, then 2013 (to 3965: one mark), 2048 (to 6013:
    // two marks passed, one update, next mark 8000), and 1034 with the terminator.
    std::vector<std::string> rx = {header + data.substr(0, 1952), data.substr(1952, 2013), data.substr(3965, 2048),
                                   data.substr(6013) + "\f"};
    EXPECT_EQ(Retrieve(h, 7047, rx), data);
    EXPECT_EQ(Count(h, "Update called with !FirstReceive\n"), 1);
    EXPECT_EQ(Count(h, "Update called with Percent\n"), 2);
    EXPECT_EQ(Count(h, "RetrieveFile() Terminating normally\n"), 1);
    EXPECT_NE(script.SentBytes().find("@PJL FSUPLOAD NAME=\"" + kPath + "\""), std::string::npos);
}

namespace {

// One answer of the printer cut into receives, and what the loop makes of it.
struct CutAnswer {
    const char* name;
    int size;
    std::vector<std::string> receives;
    int endError;      // a last receive fails with it (0: none)
    std::string copy;  // the whole copy expected; empty: the loop ended early
};

void PrintTo(const CutAnswer& c, std::ostream* os) { *os << c.name; }

std::vector<CutAnswer> CutAnswers()
{
    const std::string d500 = Bytes(500, 2), d300 = Bytes(300, 3), d2500 = Bytes(2500, 4), d3000 = Bytes(3000, 5),
                      d3000b = Bytes(3000, 6);
    const std::string a500 = Head(102, 500) + d500 + "\f";
    // The terminator's value inside the file.
    const std::string d5 = "\x0c\r\n12";
    return {
        // 50 bytes, then 100: the header line ends in the second; its other 48 are data.
        {"HeaderLineOverTwoReceivesKeepsTheRestAsData",
         500,
         {a500.substr(0, 50), a500.substr(50, 100), a500.substr(150)},
         0,
         d500},
        // The LF is the window's 127th byte and arrives alone with the data.
        {"LineEndSplitBetweenReceivesAtTheWindowsEnd",
         300,
         {Head(127, 300).substr(0, 126), "\n" + d300 + "\f"},
         0,
         d300},
        {"AnswerShorterThanTheWindowEndsWithoutWaiting", 5, {Head(100, 5) + d5 + "\f"}, 0, d5},
        {"TerminatorAloneInALastReceiveWritesNothingMore",
         2500,
         {Head(100, 2500) + d2500.substr(0, 1000), d2500.substr(1000), "\f"},
         0,
         d2500},
        // The printer may close right after the last data byte instead of sending the
        // terminator: the copy is whole.
        {"CloseRightAfterTheLastDataByteIsAWholeCopy",
         3000,
         {Head(100, 3000) + d3000b.substr(0, 1000), d3000b.substr(1000), ""},
         0,
         d3000b},
        // The printer ends the connection before the last data byte: the loop ends at
        // that receive (a closed connection answers every later receive at once).
        {"CloseBeforeTheEndStopsAtOnceAndKeepsNothing",
         3000,
         {Head(100, 3000) + d3000.substr(0, 1000), d3000.substr(1000, 500), ""},
         0,
         ""},
        {"ResetBeforeTheEndStopsAtOnceAndKeepsNothing",
         3000,
         {Head(100, 3000) + d3000.substr(0, 1000), d3000.substr(1000, 500)},
         WSAECONNRESET,
         ""},
    };
}

class ReceiveLoopCutTest : public ReceiveLoopTest, public ::testing::WithParamInterface<CutAnswer> {};

}  // namespace

// A whole copy ends normally and silently; one that ended early keeps nothing, says
// why in one box, deletes nothing (automatic deletion on) and the program goes on.
TEST_P(ReceiveLoopCutTest, TheCopyIsWholeOrGone)
{
    const CutAnswer& c = GetParam();
    const bool whole = !c.copy.empty();
    AppHarness h(std::string("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=") +
                 (whole ? "no" : "yes") + "\n");
    EXPECT_EQ(Retrieve(h, c.size, c.receives, c.endError), c.copy);
    if (whole) {
        EXPECT_EQ(Count(h, "RetrieveFile() Terminating normally\n"), 1);
        EXPECT_TRUE(h.prompts.Boxes().empty());
    } else {
        ExpectEndedEarly(h);
    }
}

INSTANTIATE_TEST_SUITE_P(Cuts, ReceiveLoopCutTest, ::testing::ValuesIn(CutAnswers()),
                         [](const ::testing::TestParamInfo<CutAnswer>& info) { return info.param.name; });

// A send or receive error other than the printer's reset, in the listing and in a
// retrieval: its box, and the program ends; a copy begun is gone once it has ended,
// and nothing was deleted on the printer.
TEST_F(ReceiveLoopTest, SocketErrorsDuringAJobShowTheirBoxThenEndTheProgram)
{
    const std::string data = Bytes(3000, 8);
    struct Row {
        const char* what;
        bool inListing;
        bool onSend;
        int err;
        const char* caption;
    } rows[] = {
        {"listing job not sent", true, true, WSAENETDOWN, "Socket error while sending"},
        {"listing not received", true, false, WSAEHOSTUNREACH, "Socket error while receiving"},
        {"upload job not sent", false, true, WSAESHUTDOWN, "Socket error while sending"},
        {"file not received after a third of it", false, false, WSAENETUNREACH, "Socket error while receiving"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        NextRow();
        AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=yes\n");
        if (r.inListing) {
            ASSERT_TRUE(h.Start());
            AppHarness::TypeInto(h.MainDlg(), 1001, "5");
            script.QueueConnect(0);
            if (r.onSend)
                script.QueueSend(-r.err);
            else
                script.QueueReceiveError(r.err);
            AppHarness::Click(h.MainDlg(), IDOK);
        } else {
            ASSERT_TRUE(BeginRetrieve(h, 3000, {Head(100, 3000) + data.substr(0, 1000)}, r.onSend ? 0 : r.err,
                                      r.onSend ? r.err : 0));
        }
        PumpUntilExit(h);
        EXPECT_TRUE(h.Exited());
        ASSERT_EQ(h.prompts.Boxes().size(), 1u);
        EXPECT_EQ(h.prompts.Boxes()[0].caption, r.caption);
        EXPECT_EQ(h.prompts.Boxes()[0].text, QbxFindString(static_cast<unsigned>(r.err)));
        EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(out).parent_path()));
        EXPECT_EQ(script.SentBytes().find("deletefile"), std::string::npos);
    }
}

// The program closed while a copy waits for the printer's terminator: a copy with every
// data byte stays (the terminator is not part of the file), a shorter one goes.
TEST_F(ReceiveLoopTest, ClosingDuringACopyKeepsItOnlyWithEveryDataByte)
{
    const std::string data = Bytes(3000, 9);
    struct Row {
        const char* what;
        unsigned received;
        bool kept;
    } rows[] = {
        {"every data byte, no terminator yet", 3000, true},
        {"a third of the data", 1000, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        NextRow();
        AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=yes\n");
        // The printer sends no more; once the copy has come this far the user presses
        // Esc in the main dialog (seen from inside the copy's wait).
        unsigned atClose = 0;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            CMainFrame* f = h.Frame();
            if (!f || f->m_bClosing || f->m_nBytesReceived < r.received) return;
            atClose = f->m_nBytesReceived;
            f->PostMessage(WM_QBX_MAINDLG, 0, 2);
        });
        watch.start(20);
        ASSERT_TRUE(BeginRetrieve(h, 3000, {Head(100, 3000) + data.substr(0, r.received)}));
        PumpUntilExit(h);
        watch.stop();
        ASSERT_TRUE(h.Exited());
        EXPECT_EQ(atClose, r.received);
        EXPECT_TRUE(h.prompts.Boxes().empty());
        EXPECT_EQ(std::filesystem::exists(out), r.kept);
        if (r.kept) {
            EXPECT_TRUE(ReadOut() == data) << "the copy differs from the data sent";
        }
        EXPECT_EQ(script.SentBytes().find("deletefile"), std::string::npos);
    }
}
