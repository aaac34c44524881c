// The local file of the copy in progress. Every operation of the frame on it goes
// through these methods, so the way a copy is written, made final or thrown away is
// decided in one place: a LocalCopy, a temporary file beside the destination that
// replaces it in one rename only once it is complete and on disk. Until then the
// destination (an older file the user agreed to overwrite) stays as it was.
#include "app/MainFrm.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"

BOOL CMainFrame::OpenOutFile()
{
    m_pOutFile.reset();
    auto copy = std::make_unique<LocalCopy>();
    if (!m_szDestPath[0] || !copy->Open(m_szDestPath, m_bMayReplace != FALSE, &m_batchRun)) {
        // The folder could take a file when it was chosen; something changed since.
        ReportLocalFile(IDS_OPEN_FAILED, m_szDestPath[0] ? copy->Error() : std::string("Cannot create the file"),
                        IDS_UNABLE_TO_OPEN);
        return FALSE;
    }
    // The user agreed to overwrite the file that was there when asked, not another one
    // put under its name since.
    const std::size_t index = static_cast<std::size_t>(m_nCurrentFile);
    if (m_bMayReplace && m_nCurrentFile >= 0 && index < m_batchDest.size() && m_batchDest[index].existing &&
        m_batchDest[index].path == m_szDestPath)
        copy->ReplaceOnly(*m_batchDest[index].existing);
    m_pOutFile = std::move(copy);
    return TRUE;
}

BOOL CMainFrame::WriteOutFile(const char* data, std::size_t len)
{
    // Saving a PDF, the answer is gathered whole first (PdfSave.cpp).
    if (m_bGatheringScan) {
        m_scanBytes.append(data, len);
        return TRUE;
    }
    if (!m_pOutFile) return FALSE;
    if (m_pOutFile->Write(data, len)) return TRUE;
    ReportLocalFile(IDS_SAVE_FAILED, m_pOutFile->Error(), IDS_UNABLE_TO_SAVE);
    return FALSE;
}

BOOL CMainFrame::CommitOutFile()
{
    if (m_bGatheringScan) return CommitScan();
    if (!m_pOutFile) return FALSE;
    // Flushed, synced, closed, renamed over the destination, folder synced: only then
    // is the copy good. On failure the temporary file is gone and the destination is
    // as it was; the box says what failed and why.
    // A file that appeared under the name meanwhile (another program made it) is left
    // alone unless the user agreed to overwrite that name; the box names it.
    const bool ok = m_pOutFile->Commit();
    // So is a file this batch already put there under a name the folder takes for
    // this one's.
    const bool taken = m_pOutFile->DestinationTaken() || m_pOutFile->RunWroteDestination();
    const std::string error = m_pOutFile->Error();
    m_pOutFile.reset();
    if (ok) return TRUE;
    OutputDebugString("CommitOutFile() failed\n");
    ReportLocalFile(taken ? IDS_DEST_APPEARED : IDS_SAVE_FAILED, error, IDS_UNABLE_TO_SAVE);
    return FALSE;
}

void CMainFrame::DiscardOutFile()
{
    if (m_bGatheringScan) {
        m_bGatheringScan = FALSE;
        std::string().swap(m_scanBytes);
        return;
    }
    if (!m_pOutFile) return;
    const bool removed = m_pOutFile->Discard();
    const std::string error = m_pOutFile->Error();
    m_pOutFile.reset();
    // Said once: the copy object is gone, and nothing tries that file again.
    if (!removed) ReportLocalFile(IDS_PARTIAL_NOT_REMOVED, error, IDS_UNABLE_TO_SAVE);
}

BOOL CMainFrame::OutFileOpen() const { return m_pOutFile != nullptr || m_bGatheringScan ? TRUE : FALSE; }
