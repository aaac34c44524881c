// Receiving the printer's listing into the directory table.
#include "app/MainFrm.h"
#include "platform/msgqueue.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"

#include <cstdlib>
#include <cstring>

static void* AllocZeroed(std::size_t size) { return std::calloc(1, size); }

int CMainFrame::GetDirectory()
{
    OutputDebugString("in function GetDirectory\n");
    m_bDirectoryFull = FALSE;
    m_nStarCount = 0;
    m_nPercentCount = 0;
    m_bLineOverflow = FALSE;
    m_bSkipLineEnds = FALSE;

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
        if (n < 0) {
            m_nLastError = WSAGetLastError();
            if (m_nLastError != QBX_WSAETIMEDOUT) {
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
            int result = ParseBuffer();
            if (result == QBX_LIST_NO_FILES || result == QBX_LIST_COMPLETE) return result;
        }
        // A connection the printer closed before the end marker delivers nothing more:
        // the wait goes on until the user closes the program, at the pace of a
        // time-out rather than as fast as the empty receives return.
        if (n == 0) WaitWithoutData(1000);
    }
    return QBX_LIST_COMPLETE;
}

int CMainFrame::ParseBuffer()
{
    OutputDebugString("In Function ParseBuffer\n");
    ListingReader reader{m_nStarCount, m_nPercentCount, m_bSkipLineEnds, m_bDirectoryFull, m_bLineOverflow};
    return ParseListingChunk(*m_pDirectory, reader, m_szUserID, m_szIOBuffer, static_cast<int>(sizeof m_szIOBuffer));
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
