// Receiving the printer's listing into the directory table.
#include "app/MainFrm.h"
#include "directory/ListingText.h"
#include "platform/msgqueue.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

static void* AllocZeroed(std::size_t size) { return std::calloc(1, size); }

int CMainFrame::GetDirectory()
{
    OutputDebugString("in function GetDirectory\n");
    m_bDirectoryFull = FALSE;
    m_listing.Begin();

    auto failAllocation = [this] {
        MessageBox(m_hWnd, GetStringRes(IDS_NO_DIRECTORY_MEMORY), GetStringRes(IDS_MEMORY_ERROR), MB_OK);
        RequestExit();
        return QBX_LIST_FAILED;
    };
    if (!m_pDirHeaderBlock) {
        m_pDirHeaderBlock = static_cast<DirHeader*>(AllocZeroed(sizeof(DirHeader)));
        if (!m_pDirHeaderBlock) return failAllocation();
        m_pDirectory = m_pDirHeaderBlock;
    }
    if (!m_pDirEntries) {
        m_pDirEntries = static_cast<DirEntry*>(AllocZeroed(sizeof(DirEntry) * QBX_MAX_DIR_ENTRIES));
        if (!m_pDirEntries) return failAllocation();
    }
    m_pDirectory->entries = m_pDirEntries;
    std::memset(m_pDirEntries, 0, sizeof(DirEntry) * QBX_MAX_DIR_ENTRIES);
    m_pDirectory->count = 0;
    m_pDirectory->command = QBX_CMD_NONE;
    bool received = false;

    while (!m_bDirectoryFull) {
        if (m_bClosing) return QBX_LIST_FAILED;
        std::memset(m_szIOBuffer, 0, sizeof m_szIOBuffer);
        int n = m_socket.ReceiveWithTimeout(m_szIOBuffer, sizeof m_szIOBuffer, 1000, 0);
        bool ended = n == 0;
        if (n < 0) {
            m_nLastError = WSAGetLastError();
            // The exit closes the socket under a waiting receive: that is no error to report.
            if (m_bClosing) return QBX_LIST_FAILED;
            if (m_nLastError == WSAECONNRESET || m_nLastError == WSAECONNABORTED) {
                ended = true;
            } else if (m_nLastError != QBX_WSAETIMEDOUT) {
                ReportSocketError(IDS_SOCKET_RECEIVE_ERROR);
                return QBX_LIST_FAILED;
            }
        }
        PumpWaitingMessages();
        if (m_bClosing) return QBX_LIST_FAILED;
        if (!received) {
            ++m_nBlink;
            m_nBlink %= 2;
            SetMainStatus(m_nBlink == 1 ? GetStringRes(IDS_WAITING_FOR_DATA) : "");
        }
        if (n > 0) {
            received = true;
            m_nReceived = n;
            int result = ParseBuffer();
            if (result != QBX_LIST_MORE) return result;
        }
        if (ended) {
            // Every later receive would deliver nothing: the listing is over unfinished.
            OutputDebugString("GetDirectory: the connection ended before the listing did\n");
            if (m_listing.ConnectionEnded(*m_pDirectory, m_szUserID) == QBX_LIST_REFUSED) return QBX_LIST_REFUSED;
            return QBX_LIST_ENDED_EARLY;
        }
    }
    return QBX_LIST_COMPLETE;
}

int CMainFrame::ParseBuffer()
{
    OutputDebugString("In Function ParseBuffer\n");
    const int received = m_nReceived < 0 ? 0 : std::min(m_nReceived, static_cast<int>(sizeof m_szIOBuffer));
    const int result = m_listing.Feed(*m_pDirectory, m_szUserID, m_szIOBuffer, received);
    m_bDirectoryFull = m_listing.Full() ? TRUE : FALSE;
    // The printer's status messages are not part of the listing; the status line shows the last.
    const std::string status = m_listing.TakeStatus();
    if (!status.empty()) {
        TraceF("Printer status: %s\n", status.c_str());
        SetMainStatus(status.c_str());
    }
    if (result == QBX_LIST_REFUSED) TraceF("Printer refused the listing: %s\n", m_listing.PrinterMessage().c_str());
    return result;
}

// Tells the user why a listing shows nothing: the printer refused it, the answer was
// no listing, or every file lies where it cannot be named. True when a box was shown.
bool CMainFrame::ReportListingProblem(int result)
{
    std::string text;
    if (result == QBX_LIST_REFUSED)
        text = ListingRefusalText(m_listing.PrinterMessage());
    else if (result == QBX_LIST_ENDED_EARLY)
        text = NotAListingText(m_szRemoteIP, m_nRemotePort);
    else if (m_listing.OtherVolumeFiles() > 0)
        text = OtherVolumeText(m_listing.OtherVolumeFiles());
    if (text.empty()) return false;
    MessageBox(m_hWnd, text.c_str(), GetStringRes(IDS_LISTING_STOPPED), MB_OK);
    return true;
}

void CMainFrame::ParseDirectory()
{
    OutputDebugString("In function ParseDirectory\n");
    // Destinations worked out for the records of an earlier listing mean nothing now.
    m_batchDest.clear();
    if (m_pDirectory) ParseDirectoryRecords(*m_pDirectory);
}

void CMainFrame::RemoveEntry()
{
    if (!m_pDirectory) return;
    if (m_nCurrentFile < 0 || m_nCurrentFile >= m_pDirectory->count) return;
    // The batch's destinations follow their records: the last one moves into the gap.
    const std::size_t last = static_cast<std::size_t>(m_pDirectory->count - 1);
    if (m_pDirectory->count <= QBX_MAX_DIR_ENTRIES && last < m_batchDest.size()) {
        m_batchDest[static_cast<std::size_t>(m_nCurrentFile)] = m_batchDest[last];
        m_batchDest[last] = DestFile{};
    }
    RemoveDirRecord(*m_pDirectory, m_nCurrentFile);
    --m_nFilesLeft;
}
