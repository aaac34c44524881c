// The local file of the copy in progress. Every operation of the frame on it goes
// through these methods, so the way a copy is written, made final or thrown away is
// decided in one place.
#include "app/MainFrm.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"

BOOL CMainFrame::OpenOutFile()
{
    m_pOutFile = m_szDestPath[0] ? std::fopen(m_szDestPath, "wb") : nullptr;
    if (!m_pOutFile) {
        MessageBox(m_hWnd, m_szDestPath, GetStringRes(IDS_UNABLE_TO_OPEN), MB_OK);
        return FALSE;
    }
    return TRUE;
}

BOOL CMainFrame::WriteOutFile(const char* data, std::size_t len)
{
    if (!m_pOutFile) return FALSE;
    if (len == 0) return TRUE;
    return std::fwrite(data, 1, len, m_pOutFile) == len ? TRUE : FALSE;
}

BOOL CMainFrame::CommitOutFile()
{
    if (!m_pOutFile) return FALSE;
    // The close writes what the stream still holds: only a close without error
    // leaves a good copy. A copy that could not be closed does not stay behind.
    const bool closedOk = std::fclose(m_pOutFile) == 0;
    m_pOutFile = nullptr;
    if (!closedOk) {
        DeleteFile(m_szDestPath);
        return FALSE;
    }
    return TRUE;
}

void CMainFrame::DiscardOutFile()
{
    if (!m_pOutFile) return;
    std::fclose(m_pOutFile);
    m_pOutFile = nullptr;
    if (m_szDestPath[0]) DeleteFile(m_szDestPath);
}

BOOL CMainFrame::OutFileOpen() const
{
    return m_pOutFile != nullptr ? TRUE : FALSE;
}
