// Delete in the file list, the confirmation asked for every file (or once for all),
// and the step from one deleted file to the next marked one.
//
// Nothing is deleted on the printer unless the user answered Yes or Yes to All to a
// question that was on the screen: answers that arrive with no question open are
// dropped, and every record index is checked against the table before it is used.
#include "app/MainFrm.h"
#include "app/QuillboxDlg.h"
#include "directory/ConfirmDeleteDlg.h"
#include "directory/RetrieveDlg.h"
#include "platform/system.h"
#include "res/resource.h"

#include <cstdio>

// Delete: the marks become the selection and the first marked file is asked about.
// True when the list is to be closed.
bool CMainFrame::OnDeleteRequest()
{
    CListBox* list = nullptr;
    if (m_pRetrieveDlg && m_pRetrieveDlg->m_lbFiles.m_hWnd) list = &m_pRetrieveDlg->m_lbFiles;
    const int lines = list ? list->GetCount() : 0;
    const int count = UsableRecordCount(m_pDirectory);
    if (lines <= 0 || count == 0) return true;

    // Lines carry their record's index; a line whose index is not a record of the
    // table marks nothing.
    MarkOnlyRecords(*m_pDirectory, m_pRetrieveDlg->SelectedRecords());
    const int first = FirstMarkedRecord(*m_pDirectory);
    // Delete is enabled only while a line is selected; should the command come
    // without one, there is nothing to ask about and the list stays where it is.
    if (first < 0) return false;

    m_nCurrentFile = first;
    AskAboutEntry(first);
    return true;
}

// Shows "Confirm File Deletion" for record index. The object is made once and kept;
// its window is made for each question.
void CMainFrame::AskAboutEntry(int index)
{
    if (index < 0 || index >= UsableRecordCount(m_pDirectory)) return;
    if (!m_pConfirmDlg) m_pConfirmDlg = new CConfirmDeleteDlg;
    if (m_pConfirmDlg->m_hWnd) m_pConfirmDlg->DestroyWindow();
    if (!m_pConfirmDlg->Create(IDD_CONFIRM_DELETE, nullptr)) {
        // Without the question nothing may be deleted: back to the list, whose
        // marked records come up selected.
        OutputDebugString("Confirmation could not be shown\n");
        ShowFileList();
        return;
    }
    // With one file left a choice "for all" means nothing.
    if (m_nFilesLeft <= 1) {
        m_pConfirmDlg->m_btnYesToAll.EnableWindow(FALSE);
        m_pConfirmDlg->m_btnYesToAll.ShowWindow(SW_HIDE);
    }
    // The printer's own name for the file: user ID and display name, "1234007.TIF".
    char text[sizeof m_szUserID + sizeof(DirEntry::name)];
    std::snprintf(text, sizeof text, "%.*s%.*s", static_cast<int>(sizeof m_szUserID - 1), m_szUserID,
                  static_cast<int>(sizeof(DirEntry::name) - 1), m_pDirectory->entries[index].name);
    m_pConfirmDlg->SetDlgItemText(IDC_CONFIRM_FILENAME, text);
    m_pConfirmDlg->BringWindowToTop();
}

// After a deletion: the next marked record from the current index on. RemoveEntry
// moved the last record into the deleted one's place, so none is skipped.
void CMainFrame::NextDeletion(int yesToAll)
{
    const int next = m_pDirectory ? FirstMarkedRecord(*m_pDirectory, m_nCurrentFile) : -1;
    if (next < 0) {
        JobEnd(QBX_JE_FILEDEL);
        return;
    }
    m_nCurrentFile = next;
    if (yesToAll == 1) {
        // Yes to All was the answer: the next file goes without a question, on the
        // connection that is still open.
        PostMessage(WM_QBX_IP_OP, QBX_DEL_RESUME, next);
        return;
    }
    AskAboutEntry(next);
}

LRESULT CMainFrame::OnConfirmAnswer(WPARAM, LPARAM lParam)
{
    // An answer counts only while its question is on the screen: a second click
    // that was queued before the first was handled, or an answer arriving during
    // the exit, deletes nothing.
    if (m_bClosing || !m_pConfirmDlg || !m_pConfirmDlg->m_hWnd) return 1;
    if (lParam != IDC_CONFIRM_NO && lParam != IDC_CONFIRM_YES && lParam != IDC_CONFIRM_YESTOALL) return 1;

    // The question goes first, so the list shown after No keeps the focus.
    m_pConfirmDlg->DestroyWindow();

    if (lParam == IDC_CONFIRM_NO) {
        ShowFileList();
        if (m_pRetrieveDlg && m_pRetrieveDlg->m_hWnd) {
            m_pRetrieveDlg->SetFocus();
            m_pRetrieveDlg->BringWindowToTop();
        }
        return 1;
    }
    if (!m_pDirectory || m_nCurrentFile < 0 || m_nCurrentFile >= UsableRecordCount(m_pDirectory)) {
        // No file of the table is in question: nothing to delete.
        JobEnd(QBX_JE_FILEDEL);
        return 1;
    }
    m_pDirectory->command = lParam == IDC_CONFIRM_YESTOALL ? QBX_CMD_DELETE_ALL : QBX_CMD_DELETE;
    m_bBusy = TRUE;
    if (m_pMainDlg && m_pMainDlg->m_hWnd) m_pMainDlg->m_btnOK.EnableWindow(!m_bBusy);
    PostMessage(WM_QBX_IP_OP, QBX_DEL, m_nCurrentFile);
    return 1;
}
