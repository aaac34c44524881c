// The receive loop of one file on a scripted network and a manual clock: each piece
// of the answer arrives in a receive of its own, so the header window, the data
// start, the terminator and the progress marks are checked exactly.
#include "app_harness.h"

#include "app/Globals.h"
#include "directory/RetrieveDlg.h"
#include "platform/clock.h"
#include "platform/scripted_socket.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    // receives, and returns what was written.
    std::string Retrieve(AppHarness& h, int size, const std::vector<std::string>& receives)
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

    ManualClock clock;
    ScriptedSocketScript script;
    std::string out;
};

}  // namespace

TEST_F(ReceiveLoopTest, DataStartAfterTheHeaderLineAndProgressMarksFollowTheCount)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=no\n");
    const std::string header = std::string(60, 'H') + "\r\n";
    const std::string data = Bytes(7047, 1);
    // 1986 data bytes with the header, then 2013 (to 3999: one mark), 2048 (to 6047:
    // two marks passed, one update, next mark 8000), and 1000 with the terminator.
    std::vector<std::string> rx = {header + data.substr(0, 1986), data.substr(1986, 2013), data.substr(3999, 2048),
                                   data.substr(6047) + "\f"};
    EXPECT_EQ(Retrieve(h, 7047, rx), data);
    EXPECT_EQ(Count(h, "Update called with !FirstReceive\n"), 1);
    EXPECT_EQ(Count(h, "Update called with Percent\n"), 2);
    EXPECT_EQ(Count(h, "RetrieveFile() Terminating normally\n"), 1);
    EXPECT_NE(script.SentBytes().find("@PJL FSUPLOAD NAME=\"DXR/Images/5(001)(20000101000000).TIF\""), std::string::npos);
}

TEST_F(ReceiveLoopTest, HeaderWindowFilledOverTwoReceivesKeepsTheRestAsData)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=no\n");
    const std::string header = std::string(100, 'H') + "\r\n";
    const std::string data = Bytes(500, 2);
    const std::string answer = header + data + "\f";
    // 50 bytes, then 100: the window takes 77 of them, the other 23 follow as data.
    std::vector<std::string> rx = {answer.substr(0, 50), answer.substr(50, 100), answer.substr(150)};
    EXPECT_EQ(Retrieve(h, 500, rx), data);
}

TEST_F(ReceiveLoopTest, LineEndAtTheWindowsLastPlaceStillStartsTheDataAfterIt)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=no\n");
    // CR is the 127th byte: its LF arrives after the window and is not data.
    const std::string header = std::string(126, 'H') + "\r";
    const std::string data = Bytes(300, 3);
    EXPECT_EQ(Retrieve(h, 300, {header, "\n" + data + "\f"}), data);
}

TEST_F(ReceiveLoopTest, AnswerShorterThanTheWindowEndsWithoutWaiting)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=no\n");
    const std::string data = "\x0c\r\n12";  // the terminator's value inside the file
    EXPECT_EQ(Retrieve(h, 5, {std::string(40, 'H') + "\r\n" + data + "\f"}), data);
}

TEST_F(ReceiveLoopTest, TerminatorAloneInALastReceiveWritesNothingMore)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n[QBXConfig]\nAutoDelete=no\n");
    const std::string data = Bytes(2500, 4);
    EXPECT_EQ(Retrieve(h, 2500, {std::string(60, 'H') + "\r\n" + data.substr(0, 1000), data.substr(1000), "\f"}),
              data);
}
