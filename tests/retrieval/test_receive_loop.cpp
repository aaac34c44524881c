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

#include <gtest/gtest.h>

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

// The printer's header line for the listed file of `size` bytes, exactly len bytes
// long with its CR LF (blanks between its words fill it).
std::string Head(size_t len, int size)
{
    const std::string front = "@PJL FSUPLOAD FORMAT:BINARY NAME=\"DXR/Images/5(001)(20000101000000).TIF\"";
    const std::string back = " OFFSET=0 SIZE=" + std::to_string(size) + "\r\n";
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

    // Lists one file of `size` bytes, retrieves it with the answer cut into the given
    // receives (then, when endError is set, a receive failing with it), and returns
    // what was written.
    std::string Retrieve(AppHarness& h, int size, const std::vector<std::string>& receives, int endError = 0)
    {
        if (!h.Start()) return "<no start>";
        AppHarness::TypeInto(h.MainDlg(), 1001, "5");
        script.QueueConnect(0);
        script.QueueReceive("DXR/Images/5(001)(20000101000000).TIF\t" + std::to_string(size) + "\n%%%");
        AppHarness::Click(h.MainDlg(), IDOK);
        CMainFrame* f = h.Frame();
        for (int i = 0; i < 50 && !(f->m_pRetrieveDlg && f->m_pRetrieveDlg->m_hWnd); ++i) h.PumpFor(200);
        if (!f->m_pRetrieveDlg || !f->m_pRetrieveDlg->m_hWnd) return "<no list>";
        AppHarness::ClickListLine(f->m_pRetrieveDlg, IDC_FILELIST, 0);
        h.prompts.saveAnswers.push_back(out);
        script.QueueConnect(0);
        // Each piece a little later than the one before: one receive per piece.
        std::int64_t at = clock.NowMs();
        for (auto& r : receives) script.QueueReceive(r, at += 50);
        if (endError) script.QueueReceiveError(endError, at += 50);
        AppHarness::Click(f->m_pRetrieveDlg, IDC_RETRIEVE);
        auto ended = [&] {
            return std::count(h.traces.begin(), h.traces.end(), std::string("JobEnd QBX_JE_FILEGET called\n")) > 0;
        };
        for (int i = 0; i < 100 && !ended(); ++i) h.PumpFor(100);
        if (!ended()) return "<not ended>";
        std::ifstream in(out, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
    EXPECT_NE(script.SentBytes().find("@PJL FSUPLOAD NAME=\"DXR/Images/5(001)(20000101000000).TIF\""),
              std::string::npos);
}

TEST_F(ReceiveLoopTest, HeaderLineOverTwoReceivesKeepsTheRestAsData)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=no\n");
    const std::string answer = Head(102, 500) + Bytes(500, 2) + "\f";
    // 50 bytes, then 100: the header line ends in the second; its other 48 are data.
    std::vector<std::string> rx = {answer.substr(0, 50), answer.substr(50, 100), answer.substr(150)};
    EXPECT_EQ(Retrieve(h, 500, rx), Bytes(500, 2));
}

TEST_F(ReceiveLoopTest, LineEndSplitBetweenReceivesAtTheWindowsEnd)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=no\n");
    // The LF is the window's 127th byte and arrives alone with the data.
    const std::string header = Head(127, 300);
    const std::string data = Bytes(300, 3);
    EXPECT_EQ(Retrieve(h, 300, {header.substr(0, 126), "\n" + data + "\f"}), data);
}

TEST_F(ReceiveLoopTest, AnswerShorterThanTheWindowEndsWithoutWaiting)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=no\n");
    const std::string data = "\x0c\r\n12";  // the terminator's value inside the file
    EXPECT_EQ(Retrieve(h, 5, {Head(100, 5) + data + "\f"}), data);
}

TEST_F(ReceiveLoopTest, TerminatorAloneInALastReceiveWritesNothingMore)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=no\n");
    const std::string data = Bytes(2500, 4);
    EXPECT_EQ(Retrieve(h, 2500, {Head(100, 2500) + data.substr(0, 1000), data.substr(1000), "\f"}), data);
}

// The printer ends the connection before the last data byte: the loop ends at that
// receive (a closed connection answers every later receive at once), the partial
// file goes, one box says why, and the program goes on.
TEST_F(ReceiveLoopTest, CloseBeforeTheEndStopsAtOnceAndKeepsNothing)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=yes\n");
    const std::string data = Bytes(3000, 5);
    EXPECT_EQ(Retrieve(h, 3000, {Head(100, 3000) + data.substr(0, 1000), data.substr(1000, 500), ""}), "");
    ExpectEndedEarly(h);
}

TEST_F(ReceiveLoopTest, ResetBeforeTheEndStopsAtOnceAndKeepsNothing)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=yes\n");
    const std::string data = Bytes(3000, 5);
    EXPECT_EQ(Retrieve(h, 3000, {Head(100, 3000) + data.substr(0, 1000), data.substr(1000, 500)}, WSAECONNRESET), "");
    ExpectEndedEarly(h);
}

// The printer may close right after the last data byte instead of sending the
// terminator: the copy is whole.
TEST_F(ReceiveLoopTest, CloseRightAfterTheLastDataByteIsAWholeCopy)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=no\n");
    const std::string data = Bytes(3000, 6);
    EXPECT_EQ(Retrieve(h, 3000, {Head(100, 3000) + data.substr(0, 1000), data.substr(1000), ""}), data);
    EXPECT_EQ(Count(h, "RetrieveFile() Terminating normally\n"), 1);
    EXPECT_TRUE(h.prompts.Boxes().empty());
}
