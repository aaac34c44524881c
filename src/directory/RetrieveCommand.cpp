// Retrieve in the file list: the marks follow the selection, the save location is
// chosen (with the question before an existing file is overwritten), and the
// retrieval batch starts.
#include "app/MainFrm.h"
#include "app/QuillboxDlg.h"
#include "directory/RetrieveDlg.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/DestPath.h"

#include <cstring>
#include <string>

namespace {

// Copies a fixed-size record field as a terminated text, even when the record's own
// terminator is missing (the table is filled from printer data).
template <std::size_t N>
std::string FieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

}  // namespace

bool CMainFrame::OnRetrieveRequest()
{
    if (!m_pDirectory || !m_pDirectory->entries || !m_pRetrieveDlg || !m_pRetrieveDlg->m_lbFiles.m_hWnd) return true;
    const int lines = m_pRetrieveDlg->m_lbFiles.GetCount();
    if (lines <= 0) return true;

    // The marks become the selection: every record starts unmarked, and each selected
    // line (whatever the View By order) marks the record it shows.
    const int count = m_pDirectory->count > QBX_MAX_DIR_ENTRIES ? QBX_MAX_DIR_ENTRIES : m_pDirectory->count;
    for (int i = 0; i < count; ++i) m_pDirectory->entries[i].marked = 0;
    for (int k = 0; k < lines; ++k) {
        if (m_pRetrieveDlg->m_lbFiles.GetSel(k) <= 0) continue;
        const LRESULT record = m_pRetrieveDlg->m_lbFiles.GetItemData(k);
        if (record < 0 || record >= count) continue;
        m_pDirectory->entries[record].marked = 1;
        m_pDirectory->entries[record].processed = 0;
    }
    m_pDirectory->command = 1;

    if (!ChooseSaveFile()) return false;

    m_bBusy = TRUE;
    if (m_pMainDlg && m_pMainDlg->m_hWnd) m_pMainDlg->m_btnOK.EnableWindow(!m_bBusy);
    OutputDebugString("Message WM_QBX_IP_OP, QBX_GET posted\n");
    PostMessage(WM_QBX_IP_OP, QBX_GET, reinterpret_cast<LPARAM>(m_szChosenPath));
    return true;
}

int CMainFrame::ChooseSaveFile()
{
    if (m_szSaveDir[0] == '\0') {
        GetTempPath(sizeof m_szSaveDir, m_szSaveDir);
        m_bSettingsChanged = TRUE;
    }
    // One filter, described by its own pattern; the list of pairs ends with an empty text.
    static const char kFilter[] = "*.TIF\0*.TIF\0";

    for (;;) {
        m_szChosenPath[0] = '\0';
        OPENFILENAME ofn;
        ofn.hwndOwner = m_hWnd;
        ofn.lpstrFilter = kFilter;
        ofn.lpstrFile = m_szChosenPath;
        ofn.nMaxFile = sizeof m_szChosenPath;
        ofn.lpstrInitialDir = m_szSaveDir;
        ofn.lpstrDefExt = "TIF";
        ofn.Flags = OFN_HIDEREADONLY | OFN_NOTESTFILECREATE | OFN_NONETWORKBUTTON | OFN_LONGNAMES;
        if (!GetSaveFileName(&ofn)) return 0;
        // The exit may have begun while the dialog was up: nothing is started then.
        if (m_bClosing) return 0;
        m_szChosenPath[sizeof m_szChosenPath - 1] = '\0';

        // The next Save As opens in the folder used this time.
        char drive[MAX_PATH], dir[MAX_PATH], fname[MAX_PATH], ext[MAX_PATH];
        SplitPath(m_szChosenPath, drive, dir, fname, ext);
        std::string folder = std::string(drive) + dir;
        if (folder.size() < sizeof m_szSaveDir && std::strcmp(folder.c_str(), m_szSaveDir) != 0) {
            std::memcpy(m_szSaveDir, folder.c_str(), folder.size() + 1);
            m_bSettingsChanged = TRUE;
        }

        // Every destination as retrieval will write it; the first one that exists is
        // asked about. A name that would not fit a path is refused here, before any
        // byte is fetched, and the user chooses again.
        bool tooLong = false;
        bool exists = false;
        const int count = m_pDirectory->count > QBX_MAX_DIR_ENTRIES ? QBX_MAX_DIR_ENTRIES : m_pDirectory->count;
        for (int i = 0; i < count && !tooLong && !exists; ++i) {
            const DirEntry& e = m_pDirectory->entries[i];
            if (e.marked != 1) continue;
            char destName[MAX_PATH];
            if (!BuildDestPath(m_szChosenPath, m_bSingleFile, FieldText(e.name).c_str(),
                               FieldText(e.dupNumber).c_str(), m_szDestPath, destName)) {
                tooLong = true;
                break;
            }
            m_strDestName = destName;
            exists = FileExists(m_szDestPath) != FALSE;
        }
        if (tooLong) {
            MessageBox(m_hWnd, m_szChosenPath, GetStringRes(IDS_UNABLE_TO_OPEN), MB_OK);
            m_szDestPath[0] = '\0';
            continue;
        }
        if (!exists) return 1;

        std::string caption = m_strDestName + GetStringRes(IDS_ALREADY_EXISTS);
        int answer =
            MessageBox(m_hWnd, GetStringRes(IDS_OVERWRITE_QUESTION), caption.c_str(), MB_YESNOCANCEL | MB_ICONQUESTION);
        if (m_bClosing) return 0;
        if (answer == IDYES) return 1;
        if (answer == IDNO) continue;
        return 0;
    }
}
