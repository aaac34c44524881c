// The progress dialog "Retrieving File": what the frame shows when a file starts,
// how the figures follow the received count and the wall clock, and what the
// dialog's buttons post to the frame.
#include "app_harness.h"
#include "progress_rows.h"

#include "app/Globals.h"
#include "platform/clock.h"
#include "platform/msgqueue.h"
#include "res/resource.h"
#include "retrieval/ProgressDlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QtCore/qnamespace.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace {

constexpr std::int64_t kStartSecond = 1000000000;  // a wall-clock second of 2001

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetClock(&clock);
        clock.SetWall(kStartSecond, 0);
        h = std::make_unique<AppHarness>();
        ASSERT_TRUE(h->Start());
        f = h->Frame();
        ASSERT_NE(f, nullptr);
        GiveTable();
        std::strcpy(f->m_szUserID, "1234");
        std::strcpy(f->m_szRemoteIP, "192.168.10.20");
        f->m_strDestName = "scan007.TIF";
        f->m_nFilesLeft = 2;
        f->m_nCurrentFile = 0;
        f->m_nBytesReceived = 0;
        f->m_bShowProgress = TRUE;
    }
    void TearDown() override
    {
        h.reset();
        SetClock(nullptr);
    }

    // A directory table as the listing leaves it, with room for 1000 records.
    void GiveTable()
    {
        auto* header = static_cast<DirHeader*>(std::calloc(1, sizeof(DirHeader)));
        auto* entries = static_cast<DirEntry*>(std::calloc(QBX_MAX_DIR_ENTRIES, sizeof(DirEntry)));
        f->m_pDirHeaderBlock = header;
        f->m_pDirectory = header;
        f->m_pDirEntries = entries;
        header->entries = entries;
        header->count = 2;
        SetEntry(0, "007.TIF", "100000");
        SetEntry(1, "008.TIF", "24000");
    }
    void SetEntry(int index, const char* name, const char* size)
    {
        DirEntry& e = f->m_pDirEntries[index];
        std::strncpy(e.name, name, sizeof e.name - 1);
        std::strncpy(e.size, size, sizeof e.size - 1);
    }

    // The first byte of the file arrives now: the update RetrieveFile makes first.
    void FirstByte()
    {
        f->m_nBytesReceived = 0;
        f->UpdateProgress();
    }
    void Received(unsigned bytes)
    {
        f->m_nBytesReceived = bytes;
        f->UpdateProgress();
    }
    // Lets the screen's interval pass on the monotonic clock only: the wall clock, and
    // so the measured throughput, stays where it was.
    void ScreenInterval()
    {
        std::int64_t seconds = 0;
        int millis = 0;
        clock.WallTime(&seconds, &millis);
        clock.Advance(CProgressDlg::kShowIntervalMs);
        clock.SetWall(seconds, millis);
    }

    CProgressDlg* Dlg() const { return f->m_pProgressDlg; }
    std::string Text(int id) const
    {
        char buf[256];
        Dlg()->GetDlgItemText(id, buf, sizeof buf);
        return buf;
    }
    std::string Status() const { return Text(IDC_XFER_STATUS); }
    std::string TimeLeft() const { return Text(IDC_TIMELEFT); }
    int Bar() const { return Dlg()->m_progress.GetPos(); }

    int TraceCount(const std::string& line) const
    {
        return static_cast<int>(std::count(h->traces.begin(), h->traces.end(), line));
    }
    int ThroughputTraces() const
    {
        return static_cast<int>(std::count_if(h->traces.begin(), h->traces.end(),
                                              [](const std::string& t) { return t.rfind("ThroughPut is ", 0) == 0; }));
    }

    // The first cancel message waiting for the frame, left in the queue.
    bool PendingCancel(MSG* msg) const
    {
        return PeekMessage(msg, f->m_hWnd, WM_QBX_CANCEL_XFER, WM_QBX_CANCEL_XFER, PM_NOREMOVE) != FALSE;
    }

    ManualClock clock;
    std::unique_ptr<AppHarness> h;
    CMainFrame* f = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------
// A file starts

TEST_F(ProgressTest, StartFillsTheDialogForTheCurrentEntry)
{
    clock.SetWall(1234567890, 456);
    f->ShowFileStart();
    ASSERT_NE(Dlg(), nullptr);
    ASSERT_NE(Dlg()->m_hWnd, 0u);
    EXPECT_TRUE(Dlg()->IsWindowVisible());
    EXPECT_EQ(Dlg()->GetOwnerHwnd(), f->m_hWnd);
    EXPECT_EQ(Dlg()->GetWindowTextString(), "Retrieving File:  1234007.TIF");
    EXPECT_EQ(Text(IDC_LOCATION), "192.168.10.20");
    EXPECT_EQ(Text(IDC_SAVING), "scan007.TIF");
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(TimeLeft(), "0:0:9");
    EXPECT_EQ(Bar(), 0);
    EXPECT_TRUE(Dlg()->m_btnCancelAll.IsWindowEnabled());
    EXPECT_EQ(g_tStart.time, 1234567890);
    EXPECT_EQ(g_tStart.millitm, 456);
}

TEST_F(ProgressTest, EstimateCountsOneSecondMoreAlsoWhenTheDivisionIsExact)
{
    f->m_nCurrentFile = 1;  // 24000 bytes
    f->ShowFileStart();
    EXPECT_EQ(TimeLeft(), "0:0:3");
    FirstByte();
    EXPECT_EQ(TimeLeft(), "0:0:2");
    EXPECT_EQ(Status(), "0\tof 24000 (at 11.7 K/sec)");
}

TEST_F(ProgressTest, CancelAllIsDisabledForTheLastFileAndStaysSoWhileTheWindowLives)
{
    f->m_nFilesLeft = 1;
    f->ShowFileStart();
    EXPECT_FALSE(Dlg()->m_btnCancelAll.IsWindowEnabled());
    AppHarness::Click(Dlg(), IDC_CANCEL_ALL);
    MSG msg;
    EXPECT_FALSE(PendingCancel(&msg));

    f->m_nFilesLeft = 2;  // the same window for another file: nothing enables it again
    f->ShowFileStart();
    EXPECT_FALSE(Dlg()->m_btnCancelAll.IsWindowEnabled());

    Dlg()->DestroyWindow();  // as a cancel does; the next window starts from the template
    f->ShowFileStart();
    ASSERT_NE(Dlg()->m_hWnd, 0u);
    EXPECT_TRUE(Dlg()->m_btnCancelAll.IsWindowEnabled());

    Dlg()->DestroyWindow();
    f->m_nFilesLeft = 0;
    f->ShowFileStart();
    EXPECT_FALSE(Dlg()->m_btnCancelAll.IsWindowEnabled());
}

TEST_F(ProgressTest, NextFileReusesTheDialogAndClearsTheFigures)
{
    f->ShowFileStart();
    CProgressDlg* first = Dlg();
    HWND window = Dlg()->m_hWnd;
    FirstByte();
    clock.Advance(1500);
    Received(50000);
    ASSERT_EQ(Bar(), 50);

    f->m_nCurrentFile = 1;
    f->m_strDestName = "scan008.TIF";
    f->ShowFileStart();
    EXPECT_EQ(Dlg(), first);
    EXPECT_EQ(Dlg()->m_hWnd, window);
    EXPECT_EQ(Dlg()->GetWindowTextString(), "Retrieving File:  1234008.TIF");
    EXPECT_EQ(Text(IDC_SAVING), "scan008.TIF");
    EXPECT_EQ(Bar(), 0);
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(TimeLeft(), "0:0:3");
}

TEST_F(ProgressTest, ANameThatFillsItsWholeFieldEndsAtTheField)
{
    DirEntry& e = f->m_pDirEntries[0];
    std::memset(e.name, 'A', sizeof e.name);  // no terminator inside the field
    std::strcpy(e.dupNumber, "9");
    f->ShowFileStart();
    EXPECT_EQ(Dlg()->GetWindowTextString(), "Retrieving File:  1234AAAAAAAAAAAAAAAA");
}

TEST_F(ProgressTest, WithoutACurrentEntryTheDialogStillShowsAndUpdates)
{
    f->m_pDirectory = nullptr;
    f->ShowFileStart();
    EXPECT_EQ(Dlg()->GetWindowTextString(), "Retrieving File:  1234");
    EXPECT_EQ(TimeLeft(), "0:0:1");
    FirstByte();
    EXPECT_EQ(Bar(), 100);
    EXPECT_EQ(TimeLeft(), "0:0:0");
}

// ---------------------------------------------------------------------------
// Updates while the file comes in

TEST_F(ProgressTest, FirstByteShowsTheDefaultRateAndRestartsTheMeasurement)
{
    f->ShowFileStart();
    clock.Advance(5000);  // connecting and waiting for the printer
    FirstByte();
    EXPECT_EQ(Status(), "0\tof 100000 (at 11.7 K/sec)");
    EXPECT_EQ(TimeLeft(), "0:0:9");
    EXPECT_EQ(Bar(), 0);
    EXPECT_EQ(TraceCount("message received QBX_UPDATE\n"), 1);
    EXPECT_EQ(ThroughputTraces(), 0);

    // The wait before the first byte does not count against the throughput.
    clock.Advance(1500);
    Received(2000);
    EXPECT_EQ(Status(), "2000\tof 100000 (at 1.3 K/sec)");
    EXPECT_EQ(TraceCount("ThroughPut is 1333, seconds 1\n"), 1);
    EXPECT_EQ(TraceCount("message received QBX_UPDATE\n"), 2);
}

// Each measurement of the arithmetic's table, through the dialog: the first byte at
// the row's start, the update at its end (a screen interval later on the monotonic
// clock, whatever the wall clock says).
class ProgressFiguresTest : public ProgressTest, public ::testing::WithParamInterface<ProgressRow> {};

TEST_P(ProgressFiguresTest, TheDialogShowsTheMeasuredFigures)
{
    const ProgressRow& p = GetParam();
    SetEntry(0, "007.TIF", std::to_string(p.size).c_str());
    clock.SetWall(p.startS, p.startMs);
    f->ShowFileStart();
    FirstByte();
    ScreenInterval();
    clock.SetWall(p.nowS, p.nowMs);
    Received(p.bytes);
    EXPECT_EQ(Status(), p.status);
    EXPECT_EQ(TimeLeft(), p.timeLeft);
    EXPECT_EQ(Bar(), static_cast<int>(p.percent));
    EXPECT_EQ(ThroughputTraces(), *p.trace ? 1 : 0);
    if (*p.trace) {
        EXPECT_EQ(TraceCount(p.trace), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Measured, ProgressFiguresTest, ::testing::ValuesIn(ProgressRows()),
                         [](const ::testing::TestParamInfo<ProgressRow>& info) { return info.param.name; });

TEST_F(ProgressTest, AFiveMillionByteFileIsFollowedToTheEnd)
{
    SetEntry(0, "007.TIF", "5000000");
    f->ShowFileStart();
    EXPECT_EQ(TimeLeft(), "0:6:57");
    FirstByte();
    EXPECT_EQ(TimeLeft(), "0:6:57");

    // 2000 bytes every 20 ms: 100000 bytes per second, computed at every mark; the
    // screen follows every fourth (80 ms apart) and shows the last figures at once.
    int lastBar = 0;
    int updates = 0;
    int shown = 0;
    std::string lastStatus = Status();
    for (unsigned bytes = 2000; bytes <= 5000000; bytes += 2000) {
        clock.Advance(20);
        Received(bytes);
        ++updates;
        EXPECT_GE(Bar(), lastBar) << bytes;
        lastBar = Bar();
        if (Status() != lastStatus) ++shown;
        lastStatus = Status();
        if (bytes == 2504000) {
            EXPECT_EQ(Bar(), 50);
            EXPECT_EQ(Status(), "2504000\tof 5000000 (at 97.7 K/sec)");
            EXPECT_EQ(TimeLeft(), "0:0:25");
        }
    }
    EXPECT_EQ(ThroughputTraces(), updates);
    EXPECT_EQ(TraceCount("ThroughPut is 100000, seconds 50\n"), 1);
    EXPECT_EQ(shown, updates / 4);
    EXPECT_EQ(Bar(), 100);
    EXPECT_EQ(Status(), "5000000\tof 5000000 (at 97.7 K/sec)");
    EXPECT_EQ(TimeLeft(), "0:0:0");
}

// What the screen shows at each update of a 100000-byte file, with the time since the
// previous update: figures within the interval wait, the last ones of the file do not.
TEST_F(ProgressTest, TheScreenFollowsAtMostOncePerIntervalAndShowsTheLastFiguresAtOnce)
{
    f->ShowFileStart();
    FirstByte();
    struct Step {
        std::int64_t afterMs;
        unsigned bytes;
        const char* status;
    };
    const Step steps[] = {
        {10, 2000, "0\tof 100000 (at 11.7 K/sec)"},     // 10 ms after the first figures: skipped
        {65, 4046, "4046\tof 100000 (at 52.7 K/sec)"},  // 75 ms after them: shown
        {5, 6000, "4046\tof 100000 (at 52.7 K/sec)"},      {70, 8000, "8000\tof 100000 (at 52.1 K/sec)"},
        {1, 98000, "8000\tof 100000 (at 52.1 K/sec)"},      // the mark at 100000 is still to come
        {1, 100000, "100000\tof 100000 (at 642.5 K/sec)"},  // the file's end: at once
    };
    int i = 0;
    for (const Step& s : steps) {
        clock.Advance(s.afterMs);
        Received(s.bytes);
        EXPECT_EQ(Status(), s.status) << "step " << i++;
    }
    EXPECT_EQ(Bar(), 100);
    EXPECT_EQ(TimeLeft(), "0:0:0");
}

TEST_F(ProgressTest, TheLastMarkBeforeAnUnevenEndIsShownAtOnce)
{
    SetEntry(0, "007.TIF", "5000");  // marks at 2000 and 4000; the loop ends at 5000 without one
    f->ShowFileStart();
    FirstByte();
    clock.Advance(20);
    Received(2046);
    EXPECT_EQ(Status(), "0\tof 5000 (at 11.7 K/sec)");
    clock.Advance(20);
    Received(4094);
    EXPECT_EQ(Status(), "4094\tof 5000 (at 100.0 K/sec)");
    EXPECT_EQ(Bar(), 81);

    // The next file's first figures are not held back by this file's last ones.
    f->m_nCurrentFile = 1;
    f->ShowFileStart();
    FirstByte();
    EXPECT_EQ(Status(), "0\tof 24000 (at 11.7 K/sec)");
}

TEST_F(ProgressTest, NothingChangesWhileTheProgressIsNotShown)
{
    f->ShowFileStart();
    FirstByte();
    clock.Advance(1500);
    Received(2000);
    const QbxTime start = g_tStart;

    f->m_bShowProgress = FALSE;
    clock.Advance(3000);
    Received(0);  // would restart the measurement if it were shown
    Received(50000);
    EXPECT_EQ(TraceCount("message received QBX_UPDATE\n"), 4);
    EXPECT_EQ(ThroughputTraces(), 1);
    EXPECT_EQ(Status(), "2000\tof 100000 (at 1.3 K/sec)");
    EXPECT_EQ(TimeLeft(), "0:1:14");
    EXPECT_EQ(Bar(), 2);
    EXPECT_EQ(g_tStart.time, start.time);
    EXPECT_EQ(g_tStart.millitm, start.millitm);
}

// ---------------------------------------------------------------------------
// Figures with no defined result

TEST_F(ProgressTest, AnEmptyFileShowsAFullBarAndNothingLeft)
{
    SetEntry(0, "007.TIF", "0");
    f->ShowFileStart();
    EXPECT_EQ(TimeLeft(), "0:0:1");
    FirstByte();
    EXPECT_EQ(Bar(), 100);
    EXPECT_EQ(Status(), "0\tof 0 (at 11.7 K/sec)");
    EXPECT_EQ(TimeLeft(), "0:0:0");
}

// ---------------------------------------------------------------------------
// The buttons post to the frame; the dialog stays

TEST_F(ProgressTest, ButtonsAndEscPostTheirCancelAndTheDialogStays)
{
    struct Case {
        const char* what;
        std::function<void(CProgressDlg*)> act;
        LPARAM lParam;
    };
    const Case cases[] = {
        {"Cancel", [](CProgressDlg* d) { AppHarness::Click(d, IDCANCEL); }, 2},
        {"Cancel All", [](CProgressDlg* d) { AppHarness::Click(d, IDC_CANCEL_ALL); }, 1033},
        {"Esc", [](CProgressDlg* d) { AppHarness::PressKey(d, Qt::Key_Escape); }, 2},
    };
    f->ShowFileStart();
    for (const Case& c : cases) {
        c.act(Dlg());
        MSG msg;
        ASSERT_TRUE(PendingCancel(&msg)) << c.what;
        EXPECT_EQ(msg.wParam, 0u) << c.what;
        EXPECT_EQ(msg.lParam, c.lParam) << c.what;
        ASSERT_TRUE(PeekMessage(&msg, f->m_hWnd, WM_QBX_CANCEL_XFER, WM_QBX_CANCEL_XFER, PM_REMOVE));
        EXPECT_FALSE(PendingCancel(&msg)) << c.what << " posted once";
        ASSERT_NE(Dlg()->m_hWnd, 0u) << c.what;
        EXPECT_TRUE(Dlg()->IsWindowVisible()) << c.what;
    }
}

// ---------------------------------------------------------------------------
// A picture for people

TEST_F(ProgressTest, ScreenshotMidTransfer)
{
    SetEntry(0, "007.TIF", "5000000");
    f->ShowFileStart();
    FirstByte();
    clock.Advance(23000);
    Received(2300000);
    ASSERT_EQ(Bar(), 46);
    EXPECT_FALSE(AppHarness::DocScreenshot(Dlg(), "progress").empty());
}

// The Status field shows the largest counts the program takes (a signed 32-bit size,
// ten digits) whole, with a throughput of up to a million K/sec, for every field of
// the dialog that shows a figure.
TEST_F(ProgressTest, LargestCountsFitTheirFields)
{
    SetEntry(0, "007.TIF", "2147483647");
    std::strcpy(f->m_szRemoteIP, "printer-3rd-floor.example.com");
    struct Case {
        unsigned bytes;
        int afterMs;
    } cases[] = {
        {2147483647u, 2148},        // about 999,999 K/sec at the very end
        {2147482000u, 1000000000},  // slow: the longest time left
        {1000000000u, 1001},
    };
    for (const Case& c : cases) {
        f->ShowFileStart();
        FirstByte();
        clock.Advance(c.afterMs);
        Received(c.bytes);
        for (int id : {IDC_XFER_STATUS, IDC_TIMELEFT, IDC_LOCATION}) {
            auto* label = qobject_cast<QLabel*>(AppHarness::ControlWidget(Dlg(), id));
            ASSERT_NE(label, nullptr) << id;
            const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
            EXPECT_LE(needed, label->height()) << id << ": '" << label->text().toStdString() << "' is cut";
            if (!label->wordWrap()) {
                EXPECT_LE(label->sizeHint().width(), label->width())
                    << id << ": '" << label->text().toStdString() << "' is cut";
            }
        }
        if (c.afterMs == 2148) {
            EXPECT_EQ(Status(), "2147483647\tof 2147483647 (at 976327.7 K/sec)");
        }
    }
    EXPECT_FALSE(AppHarness::Screenshot(Dlg(), "progress-largest-counts").empty());
}
