// Copying one file from the printer into a local file: the destination and the
// progress dialog before the connection, then the receive loop that strips the
// answer's framing (a header line, the file's bytes, a closing form feed).
#include "app/MainFrm.h"
#include "platform/msgqueue.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/DestPath.h"
#include "retrieval/ProgressMath.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

// The header window: the first bytes of the answer, in which the header line ends.
constexpr int kHeaderWindow = 127;
constexpr std::uint32_t kProgressStep = 2000;

template <std::size_t N>
std::string FieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

// Position of the first CR or LF among the first len bytes of text, or -1.
int FirstLineEnd(const char* text, int len)
{
    for (int i = 0; i < len; ++i)
        if (text[i] == '\r' || text[i] == '\n') return i;
    return -1;
}

}  // namespace

void CMainFrame::BeginFileRetrieval()
{
    char destName[MAX_PATH];
    const DirEntry* e = CurrentEntry();
    // ChooseSaveFile has already refused every name that does not fit; should one
    // still not fit, the destination stays empty and opening it fails with its box.
    if (!e || !BuildDestPath(m_szChosenPath, m_bSingleFile, FieldText(e->name).c_str(), FieldText(e->dupNumber).c_str(),
                             m_szDestPath, destName)) {
        m_szDestPath[0] = '\0';
        destName[0] = '\0';
    }
    m_strDestName = destName;
    m_bShowProgress = TRUE;
    ShowFileStart();
}

// Receives the current file into m_szDestPath. 1 when the file is complete and
// closed without error; 0 when it stopped early:
// - a cancel is waiting in the queue (left there for the dispatcher, which deletes
//   the partial file) or the program is closing (the exit deletes it);
// - the file cannot be opened, or the receive fails: box, and the program closes;
// - a write or the close of the file fails, or the answer has no header line:
//   the partial file is deleted at once, a box names it, and m_bWriteFailed tells
//   the dispatcher that this copy is not good and the batch is to stop.
//
// The answer is framed as a header line ending in CR LF within its first 127 bytes,
// the entry's `size` bytes, and one terminating byte. Three details of the framing
// are handled beyond that description so that a short or odd answer neither hangs
// nor corrupts the copy:
// - An answer shorter than the window: as soon as the bytes gathered hold the whole
//   header line, all the data and the terminator, the window counts as complete, so
//   a small file ends without waiting for bytes that will never come.
// - A header line whose CR lies at the window's last places: the data begin after
//   its CR LF even when the LF (and so the data) only arrive after the window.
// - Bytes after the terminator in the same receive (a printer that sends more) are
//   not written: exactly the missing bytes of the file are taken from each receive,
//   and the first byte beyond them, the terminator, ends the transfer.
// A full window without CR or LF is not an answer whose data can be found: the copy
// is abandoned rather than guessed at.
int CMainFrame::RetrieveFile()
{
    OutputDebugString("Entering RetrieveFile()\n");
    const DirEntry* entry = CurrentEntry();
    const std::int32_t size = entry ? ReadSizeText(FieldText(entry->size).c_str()) : 0;
    const std::uint32_t expected = size < 0 ? 0u : static_cast<std::uint32_t>(size);

    m_bWriteFailed = FALSE;
    m_pOutFile = m_szDestPath[0] ? std::fopen(m_szDestPath, "wb") : nullptr;
    if (!m_pOutFile) {
        MessageBox(m_hWnd, m_szDestPath, GetStringRes(IDS_UNABLE_TO_OPEN), MB_OK);
        RequestExit();
        return 0;
    }

    // The copy cannot be completed: the partial file goes, the user is told which file.
    auto abandon = [this](UINT captionId) {
        std::fclose(m_pOutFile);
        m_pOutFile = nullptr;
        DeleteFile(m_szDestPath);
        m_bTransferActive = FALSE;
        m_bWriteFailed = TRUE;
        OutputDebugString("RetrieveFile() abandoned the copy\n");
        MessageBox(m_hWnd, m_szDestPath, GetStringRes(captionId), MB_OK);
        return 0;
    };

    bool bGotData = false;
    bool bFirstUpdateDone = false;
    bool bDone = false;
    std::uint32_t nextMark = kProgressStep;
    int skipAfterWindow = 0;  // bytes of the header's line end still to come after the window

    // Takes the file's bytes from len bytes of the answer: at most the bytes still
    // missing are written; a byte beyond them is the terminator and ends the transfer.
    // False when the write failed.
    auto takeData = [&](const char* data, int len) {
        if (skipAfterWindow > 0 && len > 0) {
            int skip = skipAfterWindow < len ? skipAfterWindow : len;
            skipAfterWindow -= skip;
            data += skip;
            len -= skip;
        }
        if (len <= 0) return true;
        const std::uint32_t missing = expected - m_nBytesReceived;
        const std::uint32_t take = static_cast<std::uint32_t>(len) > missing ? missing : static_cast<std::uint32_t>(len);
        if (take > 0 && std::fwrite(data, 1, take, m_pOutFile) != take) return false;
        m_nBytesReceived += take;
        if (static_cast<std::uint32_t>(len) > take) bDone = true;
        return true;
    };

    while (!bDone) {
        std::memset(m_szIOBuffer, 0, sizeof m_szIOBuffer);
        int n = m_socket.ReceiveWithTimeout(m_szIOBuffer, sizeof m_szIOBuffer, 1000, 0);
        if (n == -1) {
            m_nLastError = WSAGetLastError();
            if (m_nLastError != QBX_WSAETIMEDOUT) {
                ReportSocketError(IDS_SOCKET_RECEIVE_ERROR);
                return 0;
            }
        }

        // The user interface stays alive; a cancel is left for the dispatcher.
        if (PumpWaitingMessages(TRUE)) return 0;
        if (m_bClosing) return 0;

        if (!bGotData) BlinkStatus(IDS_WAITING_FOR_DATA);
        if (n < 1) continue;

        bGotData = true;
        if (!bFirstUpdateDone) {
            OutputDebugString("Update called with !FirstReceive\n");
            UpdateProgress();
            bFirstUpdateDone = true;
        }

        if (m_bInHeader) {
            const int room = kHeaderWindow - m_nHeaderLen;
            const int toWindow = n < room ? n : room;
            std::memcpy(m_header + m_nHeaderLen, m_szIOBuffer, static_cast<std::size_t>(toWindow));
            m_nHeaderLen += toWindow;
            const int p = FirstLineEnd(m_header, m_nHeaderLen);
            if (m_nHeaderLen < kHeaderWindow) {
                // A short answer is complete once the window holds the header line,
                // every byte of the file and the terminator.
                const long long afterLine = static_cast<long long>(m_nHeaderLen) - (p + 2);
                if (p < 0 || afterLine <= static_cast<long long>(expected)) continue;
            }
            if (p < 0) return abandon(IDS_SOCKET_RECEIVE_ERROR);
            m_bInHeader = FALSE;
            m_nBytesReceived = 0;
            const int dataStart = p + 2;
            bool ok = true;
            if (dataStart <= m_nHeaderLen)
                ok = takeData(m_header + dataStart, m_nHeaderLen - dataStart);
            else
                skipAfterWindow = dataStart - m_nHeaderLen;
            if (ok && !bDone) ok = takeData(m_szIOBuffer + toWindow, n - toWindow);
            if (!ok) return abandon(IDS_UNABLE_TO_OPEN);
            continue;
        }

        if (!takeData(m_szIOBuffer, n)) return abandon(IDS_UNABLE_TO_OPEN);
        if (m_nBytesReceived >= nextMark) {
            OutputDebugString("Update called with Percent\n");
            UpdateProgress();
            nextMark = (m_nBytesReceived / kProgressStep + 1) * kProgressStep;
        }
    }

    // A copy is good only once it is closed without error: the close writes what
    // the stream still holds.
    const bool closedOk = std::fclose(m_pOutFile) == 0;
    m_pOutFile = nullptr;
    if (!closedOk) {
        DeleteFile(m_szDestPath);
        m_bTransferActive = FALSE;
        m_bWriteFailed = TRUE;
        MessageBox(m_hWnd, m_szDestPath, GetStringRes(IDS_UNABLE_TO_OPEN), MB_OK);
        return 0;
    }
    m_bTransferActive = FALSE;
    OutputDebugString("RetrieveFile() Terminating normally\n");
    return 1;
}
