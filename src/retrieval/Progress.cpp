// The frame's side of the progress dialog: filling it for a new file and updating it
// as the bytes come in. The arithmetic lives in ProgressMath; this file reads the
// frame's state and the clock and puts the results on the screen.
#include "app/Globals.h"
#include "app/MainFrm.h"
#include "platform/clock.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/ProgressDlg.h"
#include "retrieval/ProgressMath.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The byte count between two updates of the receive loop.
constexpr std::int64_t kMarkStep = 2000;

// The entry's size: the leading number of its size text; 0 without an entry.
std::int32_t EntrySize(const DirEntry* entry) { return entry ? ReadSizeText(FieldText(entry->size).c_str()) : 0; }

int ClampToInt(long long v)
{
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

void ReadWallClock(QbxTime* t)
{
    std::int64_t seconds = 0;
    int millis = 0;
    GetClock()->WallTime(&seconds, &millis);
    t->time = seconds;
    t->millitm = millis;
}

}  // namespace

void CMainFrame::ShowFileStart()
{
    if (!m_pProgressDlg) m_pProgressDlg = new CProgressDlg;
    if (!m_pProgressDlg->m_hWnd && !m_pProgressDlg->Create(IDD_PROGRESS, this)) return;

    // On the last file there is nothing left for Cancel All to cancel beyond Cancel.
    if (m_nFilesLeft <= 1) m_pProgressDlg->m_btnCancelAll.EnableWindow(FALSE);

    const DirEntry* entry = CurrentEntry();
    const std::string name = entry ? FieldText(entry->name) : std::string();
    const std::int32_t size = EntrySize(entry);

    char caption[128];
    std::snprintf(caption, sizeof caption, GetStringRes(IDS_RETRIEVING_FILE_OF), m_szUserID, name.c_str());
    m_pProgressDlg->SetWindowText(caption);

    char estimate[32];
    FormatEstimate(size, estimate, sizeof estimate);

    ReadWallClock(&g_tStart);

    m_pProgressDlg->RestartFigures();
    m_pProgressDlg->m_progress.SetPos(0);
    m_pProgressDlg->SetDlgItemText(IDC_LOCATION, m_szRemoteIP);
    m_pProgressDlg->SetDlgItemText(IDC_SAVING, m_strDestName.c_str());
    m_pProgressDlg->SetDlgItemText(IDC_XFER_STATUS, "");
    m_pProgressDlg->SetDlgItemText(IDC_TIMELEFT, estimate);
}

void CMainFrame::UpdateProgress()
{
    OutputDebugString("message received QBX_UPDATE\n");
    if (!m_bShowProgress) return;

    const std::int32_t size = EntrySize(CurrentEntry());
    // Files that large are never fetched (one answer cannot carry them); the display is 32-bit.
    const std::uint32_t bytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(m_nBytesReceived, UINT32_MAX));
    const std::uint32_t percent = PercentOf(bytes, size);

    QbxTime now;
    ReadWallClock(&now);
    const RateResult r = ComputeRate(bytes, g_tStart.time, g_tStart.millitm, now.time, now.millitm);
    if (r.restartClock) g_tStart = now;
    // The trace prints signed numbers; a saturated rate is shown as the largest one.
    const int shownRate = r.rate > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(r.rate);
    if (r.traceKind == 1)
        TraceF("ThroughPut is %d, seconds %d\n", shownRate, ClampToInt(r.ds));
    else if (r.traceKind == 2)
        TraceF("ThroughPut is %d, milliseconds %d\n", shownRate, ClampToInt(r.dms));

    char timeLeft[32];
    FormatTimeLeft(size, bytes, r.rate, timeLeft, sizeof timeLeft);
    char status[128];
    FormatProgressStatus(GetStringRes(IDS_PROGRESS_STATUS), bytes, size, r.rate, status, sizeof status);

    // The measurement goes on even if the window could not be made; only the display waits.
    if (!m_pProgressDlg || !m_pProgressDlg->m_hWnd) return;
    // RetrieveFile updates at every 2000-byte mark; when the next mark lies beyond the
    // file's end, these are the file's last figures and the screen shows them at once.
    const bool last = size <= 0 || static_cast<std::int64_t>(bytes / kMarkStep + 1) * kMarkStep > size;
    m_pProgressDlg->ShowFigures(static_cast<int>(percent), status, timeLeft, last);
}
