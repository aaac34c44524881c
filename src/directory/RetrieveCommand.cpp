// Retrieve in the file list: the marks follow the selection, the save location is
// chosen (with the question before an existing file is overwritten), and the
// retrieval batch starts.
#include "app/MainFrm.h"
#include "app/QuillboxDlg.h"
#include "directory/RetrieveDlg.h"
#include "platform/localcopy.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/DestPath.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// A text with a name in place of its "%s" (a file name has no length limit, so no
// fixed buffer; a "%" in the name stays as it is).
std::string WithSubject(const char* text, const std::string& subject)
{
    std::string out = text;
    const std::size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, subject);
    return out;
}

}  // namespace

bool CMainFrame::OnRetrieveRequest()
{
    if (!m_pDirectory || !m_pDirectory->entries || !m_pRetrieveDlg || !m_pRetrieveDlg->m_lbFiles.m_hWnd) return true;
    const int lines = m_pRetrieveDlg->m_lbFiles.GetCount();
    if (lines <= 0) return true;

    // The marks become the selection: every record starts unmarked, and each selected
    // line (whatever the View By order) marks the record it shows.
    MarkOnlyRecords(*m_pDirectory, m_pRetrieveDlg->SelectedRecords());
    m_pDirectory->command = QBX_CMD_RETRIEVE;

    if (!ChooseSaveFile()) return false;
    m_notConverted.clear();

    m_bBusy = TRUE;
    if (m_pMainDlg && m_pMainDlg->m_hWnd) m_pMainDlg->m_btnOK.EnableWindow(!m_bBusy);
    OutputDebugString("Message WM_QBX_IP_OP, QBX_GET posted\n");
    PostMessage(WM_QBX_IP_OP, QBX_GET, reinterpret_cast<LPARAM>(m_szChosenPath));
    return true;
}

int CMainFrame::ChooseSaveFile()
{
    if (m_szSaveDir[0] == '\0') {
        // No folder remembered yet: the user's pictures folder (else the home folder),
        // never a temporary one, whose files the system removes. It is remembered once
        // a file was saved there; with none at all the dialog opens where it opens.
        const std::string pictures = GetUserPicturesFolder();
        if (!pictures.empty() && pictures.size() < sizeof m_szSaveDir)
            std::memcpy(m_szSaveDir, pictures.c_str(), pictures.size() + 1);
    }
    // Two types, TIFF first (the default); the list of pairs ends with an empty text.
    static const char kFilter[] = "TIFF image (*.TIF)\0*.TIF\0PDF document (*.pdf)\0*.pdf\0";

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
        ofn.nFilterIndex = 1;
        if (!GetSaveFileName(&ofn)) return 0;
        // The exit may have begun while the dialog was up: nothing is started then.
        if (m_bClosing) return 0;
        m_szChosenPath[sizeof m_szChosenPath - 1] = '\0';
        m_bSavePdf = ChosePdf(ofn.nFilterIndex);

        // The next Save As opens in the folder used this time.
        char drive[MAX_PATH], dir[MAX_PATH], fname[MAX_PATH], ext[MAX_PATH];
        SplitPath(m_szChosenPath, drive, dir, fname, ext);
        std::string folder = std::string(drive) + dir;
        if (folder.size() < sizeof m_szSaveDir && std::strcmp(folder.c_str(), m_szSaveDir) != 0) {
            std::memcpy(m_szSaveDir, folder.c_str(), folder.size() + 1);
            m_bSettingsChanged = TRUE;
        }

        const int check = CheckBatchDestinations();
        if (m_bClosing) return 0;
        if (check < 0) continue;
        if (check > 0) {
            const int answer = AskAboutEachExisting();
            if (m_bClosing) return 0;
            if (answer == IDNO) continue;
            if (answer != IDYES) return 0;
        }
        // Temporary files that a crashed copy left in this folder go now; one that a
        // running copy still writes is left alone.
        LocalCopy::RemoveLeftovers(folder.empty() ? "." : folder.c_str());
        return 1;
    }
}

int CMainFrame::AskAboutEachExisting()
{
    // Each file that a copy would replace is named in a question of its own, in batch
    // order: a Yes is the consent to replace that one file, never the others.
    for (const DestFile& d : m_batchDest) {
        if (!d.replaces || d.path.size() >= sizeof m_szDestPath) continue;
        std::memcpy(m_szDestPath, d.path.c_str(), d.path.size() + 1);
        m_strDestName = d.name;
        const std::string caption = WithSubject(GetStringRes(IDS_ALREADY_EXISTS_OF), m_strDestName);
        const int answer =
            MessageBox(m_hWnd, GetStringRes(IDS_OVERWRITE_QUESTION), caption.c_str(), MB_YESNOCANCEL | MB_ICONQUESTION);
        if (m_bClosing || answer != IDYES) return answer;
    }
    return IDYES;
}

int CMainFrame::CheckBatchDestinations()
{
    m_batchDest.clear();
    m_batchRun.Clear();
    m_szDestPath[0] = '\0';
    m_strDestName.clear();

    // The batch: the marked records in table order, as retrieval takes them.
    const int count = UsableRecordCount(m_pDirectory);
    std::vector<int> records;
    std::vector<DestRequest> requests;
    for (int i = 0; i < count; ++i) {
        const DirEntry& e = m_pDirectory->entries[i];
        if (e.marked != 1) continue;
        records.push_back(i);
        requests.push_back({FieldText(e.name), FieldText(e.dupNumber)});
    }
    if (m_bSingleFile && records.size() > 1) records.resize(1);

    // A name that would not fit a path is refused before any byte is fetched.
    std::vector<DestFile> dests;
    if (!BuildBatchDestPaths(m_szChosenPath, m_bSingleFile, requests, FileNameKey, dests)) {
        ReportLocalFile(IDS_NAME_TOO_LONG, m_szChosenPath, IDS_UNABLE_TO_SAVE);
        return -1;
    }
    if (dests.empty()) return 0;

    // The folder must take a file now (it is there, may be written, is not read-only):
    // a folder that does not is reported here rather than at the first file of the batch.
    char drive[MAX_PATH], dir[MAX_PATH];
    SplitPath(m_szChosenPath, drive, dir, nullptr, nullptr);
    std::string folder = std::string(drive) + dir;
    if (folder.empty()) folder = ".";
    {
        LocalCopy probe;
        if (!probe.Open(dests[0].path.c_str(), false)) {
            ReportLocalFile(IDS_FOLDER_UNUSABLE, probe.Error(), IDS_UNABLE_TO_SAVE);
            return -1;
        }
        if (!probe.Discard()) ReportLocalFile(IDS_PARTIAL_NOT_REMOVED, probe.Error(), IDS_UNABLE_TO_SAVE);
    }

    const DWORD maxName = GetMaxComponentLength(folder.c_str());
    int firstExisting = -1;
    for (std::size_t k = 0; k < dests.size(); ++k) {
        if (dests[k].name.size() > maxName) {
            ReportLocalFile(IDS_NAME_TOO_LONG, dests[k].path, IDS_UNABLE_TO_SAVE);
            return -1;
        }
        // Whatever is there counts (a file, a link, a device); a folder cannot be
        // replaced by a file at all.
        const DWORD attributes = GetFileAttributes(dests[k].path.c_str());
        if (attributes == FILE_ATTRIBUTE_DIRECTORY) {
            ReportLocalFile(IDS_DEST_IS_FOLDER, dests[k].path, IDS_UNABLE_TO_SAVE);
            return -1;
        }
        // The question is about this very file, by its identity: another one under the
        // name later is not agreed to. One gone already is no question (and the copy
        // replaces nothing).
        LocalCopy::FileId id;
        if (attributes == INVALID_FILE_ATTRIBUTES || !LocalCopy::Identify(dests[k].path.c_str(), id)) continue;
        dests[k].replaces = true;
        dests[k].existing = id;
        if (firstExisting < 0) firstExisting = static_cast<int>(k);
    }

    m_batchDest.assign(static_cast<std::size_t>(count), DestFile{});
    for (std::size_t k = 0; k < dests.size(); ++k) m_batchDest[static_cast<std::size_t>(records[k])] = dests[k];
    if (firstExisting < 0) return 0;
    const DestFile& asked = dests[static_cast<std::size_t>(firstExisting)];
    std::memcpy(m_szDestPath, asked.path.c_str(), asked.path.size() + 1);
    m_strDestName = asked.name;
    return 1;
}

void CMainFrame::ReportLocalFile(UINT textId, const std::string& subject, UINT captionId)
{
    std::string text = WithSubject(GetStringRes(textId), subject);
    MessageBox(m_hWnd, text.c_str(), GetStringRes(captionId), MB_OK);
}
