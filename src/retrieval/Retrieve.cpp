// Copying one file from the printer into a local file: the destination and the
// progress dialog before the connection, then the receive loop that hands the
// printer's answer to CUploadAnswer and writes the file bytes it picks out.
#include "app/MainFrm.h"
#include "platform/msgqueue.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/DestPath.h"
#include "retrieval/ProgressMath.h"
#include "retrieval/UploadAnswer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr std::uint32_t kProgressStep = 2000;

// The text that says why the answer is no whole copy of the file; 0 for a whole one.
UINT NotWholeReason(UploadVerdict verdict)
{
    switch (verdict) {
    case UploadVerdict::Whole: return 0;
    case UploadVerdict::NotOnPrinter: return IDS_NOT_ON_PRINTER;
    case UploadVerdict::SizeChanged: return IDS_CHANGED_ON_PRINTER;
    case UploadVerdict::EndedEarly: return IDS_TRANSFER_ENDED_EARLY;
    case UploadVerdict::OtherFile: return IDS_OTHER_FILE;
    case UploadVerdict::NotAFile:
    case UploadVerdict::InProgress: return IDS_ANSWER_NOT_A_FILE;
    }
    return IDS_ANSWER_NOT_A_FILE;
}

}  // namespace

void CMainFrame::BeginFileRetrieval()
{
    char destName[MAX_PATH];
    const DirEntry* e = CurrentEntry();
    // ChooseSaveFile worked out every destination of the batch, unique within it; a
    // record it did not see gets its name the plain way. A name that does not fit
    // leaves the destination empty, and opening it fails with its box.
    const std::size_t index = static_cast<std::size_t>(m_nCurrentFile);
    m_bMayReplace = FALSE;
    if (e && m_nCurrentFile >= 0 && index < m_batchDest.size() && !m_batchDest[index].path.empty() &&
        m_batchDest[index].path.size() < sizeof m_szDestPath) {
        const DestFile& d = m_batchDest[index];
        std::memcpy(m_szDestPath, d.path.c_str(), d.path.size() + 1);
        std::snprintf(destName, sizeof destName, "%s", d.name.c_str());
        m_bMayReplace = d.replaces ? TRUE : FALSE;
    } else if (!e || !BuildDestPath(m_szChosenPath, m_bSingleFile, FieldText(e->name).c_str(),
                                    FieldText(e->dupNumber).c_str(), m_szDestPath, destName)) {
        m_szDestPath[0] = '\0';
        destName[0] = '\0';
    }
    m_strDestName = destName;
    m_bShowProgress = TRUE;
    ShowFileStart();
}

// Tells the user that the copy of the current entry is not the printer's file and
// why; the text names the file on the printer and the local path.
void CMainFrame::ReportCopyNotMade(UINT reasonId)
{
    const DirEntry* e = CurrentEntry();
    const std::string name = e ? FieldText(e->name) : std::string();
    char text[1024];
    std::snprintf(text, sizeof text, GetStringRes(reasonId), name.c_str(), m_szDestPath);
    MessageBox(m_hWnd, text, GetStringRes(IDS_COPY_FAILED), MB_OK);
}

// Receives the current file into m_szDestPath. 1 when the copy is the printer's
// whole file and was made final without error; 0 when it stopped early:
// - a cancel is waiting in the queue (left there for the dispatcher, which deletes
//   the partial file) or the program is closing (the exit deletes it);
// - the receive fails: box, and the program closes;
// - the local copy cannot be made (its folder changed since Save As): the box of
//   OpenOutFile, and the batch stops as below;
// - the answer is not the whole file (see CUploadAnswer: the printer has no such
//   file, the file changed since it was listed, the printer ended the transfer
//   early, the answer is not a file), or a write or the final close failed: the
//   partial file is deleted at once, a box names the file and the reason, and
//   m_bWriteFailed tells the dispatcher that the batch is to stop.
// The printer closing or resetting the connection ends the loop at once; from then
// on every receive would return at once and the loop would only spin.
int CMainFrame::RetrieveFile()
{
    OutputDebugString("Entering RetrieveFile()\n");
    const DirEntry* entry = CurrentEntry();
    const std::int64_t size = entry ? ReadFileSize(FieldText(entry->size).c_str()) : -1;
    // A size the listing did not give matches no answer; an answer for a name other
    // than the one the job asked for is not the file.
    CUploadAnswer answer(entry ? FieldText(entry->path) : std::string(),
                         size < 0 ? UINT64_MAX : static_cast<std::uint64_t>(size));

    m_bWriteFailed = FALSE;
    // Saving PDFs, the answer is gathered and converted once whole (PdfSave.cpp).
    if (!(m_bSavePdf && BeginScanGathering()) && !OpenOutFile()) {
        // The folder took a file when it was chosen; something changed since. The box
        // has said so; the batch stops and nothing is deleted on the printer.
        m_bTransferActive = FALSE;
        m_bWriteFailed = TRUE;
        return 0;
    }

    // The copy is not good: the partial file goes and the batch is to stop.
    auto abandon = [this]() {
        DiscardOutFile();
        m_bTransferActive = FALSE;
        m_bWriteFailed = TRUE;
        OutputDebugString("RetrieveFile() abandoned the copy\n");
        return 0;
    };

    bool bGotData = false;
    bool bFirstUpdateDone = false;
    std::uint32_t nextMark = kProgressStep;

    while (!answer.Finished()) {
        std::memset(m_szIOBuffer, 0, sizeof m_szIOBuffer);
        int n = m_socket.ReceiveWithTimeout(m_szIOBuffer, sizeof m_szIOBuffer, 1000, 0);
        bool ended = n == 0;
        if (n == -1) {
            m_nLastError = WSAGetLastError();
            // The exit closes the socket under a waiting receive: that is no error to report.
            if (m_bClosing) return 0;
            if (m_nLastError == WSAECONNRESET || m_nLastError == WSAECONNABORTED) {
                ended = true;
            } else if (m_nLastError != QBX_WSAETIMEDOUT) {
                ReportSocketError(IDS_SOCKET_RECEIVE_ERROR);
                return 0;
            }
        }

        // The user interface stays alive; a cancel is left for the dispatcher.
        if (PumpWaitingMessages(TRUE)) return 0;
        if (m_bClosing) return 0;

        if (!bGotData) BlinkStatus(IDS_WAITING_FOR_DATA);
        if (ended) {
            OutputDebugString("RetrieveFile() the printer ended the connection\n");
            answer.ConnectionEnded();
            break;
        }
        if (n < 1) continue;

        bGotData = true;
        if (!bFirstUpdateDone) {
            OutputDebugString("Update called with !FirstReceive\n");
            UpdateProgress();
            bFirstUpdateDone = true;
        }

        const bool headerWasDone = answer.HeaderDone();
        const UploadBytes data = answer.Feed(m_szIOBuffer, static_cast<std::size_t>(n));
        // WriteOutFile has said what failed and why.
        if (data.len > 0 && !WriteOutFile(data.data, data.len)) return abandon();
        m_nBytesReceived = answer.DataBytes();
        if (headerWasDone && m_nBytesReceived >= nextMark) {
            OutputDebugString("Update called with Percent\n");
            UpdateProgress();
            nextMark = static_cast<std::uint32_t>((m_nBytesReceived / kProgressStep + 1) * kProgressStep);
        }
    }

    return FinishRetrieval(answer.Verdict());
}

int CMainFrame::FinishRetrieval(UploadVerdict verdict)
{
    if (const UINT reason = NotWholeReason(verdict)) {
        DiscardOutFile();
        m_bTransferActive = FALSE;
        m_bWriteFailed = TRUE;
        OutputDebugString("RetrieveFile() abandoned the copy\n");
        ReportCopyNotMade(reason);
        return 0;
    }

    // A copy is good only once it is complete and made final without error.
    if (!CommitOutFile()) {
        m_bTransferActive = FALSE;
        m_bWriteFailed = TRUE;
        return 0;
    }
    m_bTransferActive = FALSE;
    OutputDebugString("RetrieveFile() Terminating normally\n");
    return 1;
}
