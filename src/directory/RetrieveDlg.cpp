#include "directory/RetrieveDlg.h"

#include "app/Config.h"
#include "app/Globals.h"
#include "app/QbxMessages.h"
#include "platform/app.h"
#include "platform/resources.h"
#include "res/resource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
// One list line: name (15), TAB, size (11), TAB, date TAB time (19), NUL.
constexpr int kLineSize = 64;
// The View By items in the order the box shows them; each item's data is its string id.
constexpr UINT kViewByItems[] = {IDS_VIEW_NAME, IDS_VIEW_SIZE, IDS_VIEW_DATE};
}  // namespace

BEGIN_MESSAGE_MAP(CRetrieveDlg, CDialog)
    ON_BN_CLICKED(IDC_DELETE, OnDelete)
    ON_BN_CLICKED(IDC_RETRIEVE, OnRetrieve)
    ON_LBN_SELCHANGE(IDC_FILELIST, UpdateButtons)
    ON_LBN_SELCANCEL(IDC_FILELIST, UpdateButtons)
    ON_CBN_SELCHANGE(IDC_VIEWBY, SortFileList)
END_MESSAGE_MAP()

CRetrieveDlg::~CRetrieveDlg() { delete[] m_pOrder; }

void CRetrieveDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_VIEWBY, m_cbViewBy);
    DDX_Control(pDX, IDC_FILELIST, m_lbFiles);
    DDX_Control(pDX, IDC_DELETE, m_btnDelete);
    DDX_Control(pDX, IDC_RETRIEVE, m_btnRetrieve);
}

BOOL CRetrieveDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    std::memset(m_szItemText, 0, sizeof m_szItemText);
    delete[] m_pOrder;
    m_pOrder = nullptr;

    // Nothing is selected yet; UpdateButtons below decides once the list is filled.
    m_btnDelete.EnableWindow(FALSE);
    m_btnRetrieve.EnableWindow(FALSE);

    m_cbViewBy.ResetContent();
    for (UINT id : kViewByItems) {
        LoadString(id, m_szItemText, sizeof m_szItemText);
        int item = m_cbViewBy.AddString(m_szItemText);
        m_cbViewBy.SetItemData(item, static_cast<LRESULT>(id));
    }

    // The last choice, kept as the item's data in decimal; an empty or unknown
    // text falls back to the first item, "Name".
    const LRESULT wanted = LeadingNumber(g_szSortBy);
    int choice = 0;
    for (int i = 0; i < m_cbViewBy.GetCount(); ++i) {
        if (m_cbViewBy.GetItemData(i) == wanted) {
            choice = i;
            break;
        }
    }
    m_cbViewBy.SetCurSel(choice);

    m_lbFiles.ResetContent();
    const int count = UsableRecordCount(m_pDir);
    for (int i = 0; i < count; ++i) {
        int line = AddRecordLine(i);
        if (line >= 0) m_lbFiles.SetItemData(line, i);
    }

    SortFileList();
    UpdateButtons();
    return TRUE;
}

void CRetrieveDlg::OnOK()
{
    WriteSortBySetting();
    g_bDirectoryLoaded = FALSE;
    CDialog::OnOK();
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_RETRIEVE, 0, 1);
}

// The caption's close box and Esc act like Close, so the main dialog's OK comes back.
void CRetrieveDlg::OnCancel() { OnOK(); }

void CRetrieveDlg::OnDelete()
{
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_RETRIEVE, 0, IDC_DELETE);
}

void CRetrieveDlg::OnRetrieve()
{
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_RETRIEVE, 0, IDC_RETRIEVE);
}

// Sorts the table's records into display order by the View By choice and refills
// the list. Selected lines are carried into the records' marks before the list is
// emptied and turned back into selections as the lines come back, so a re-sort keeps
// the selection, and records marked while the dialog was closed come up selected.
void CRetrieveDlg::SortFileList()
{
    const int count = UsableRecordCount(m_pDir);
    delete[] m_pOrder;
    m_pOrder = new (std::nothrow) int[count > 0 ? count : 1];
    if (!m_pOrder) return;
    for (int i = 0; i < count; ++i) m_pOrder[i] = i;

    const int key = static_cast<int>(m_cbViewBy.GetItemData(m_cbViewBy.GetCurSel()));
    std::snprintf(g_szSortBy, sizeof g_szSortBy, "%d", key);
    g_bSortByChanged = TRUE;

    // Without a View By choice (the box's error value) there is no order to show:
    // the list stays as it is, selection included.
    if (key != QBX_SORT_NAME && key != QBX_SORT_SIZE && key != QBX_SORT_DATE) {
        delete[] m_pOrder;
        m_pOrder = nullptr;
        return;
    }

    AddRecordMarks(*m_pDir, SelectedRecords());

    if (count > 0) SortDirectoryOrder(*m_pDir, key, m_pOrder);

    m_lbFiles.ResetContent();
    for (int p = 0; p < count; ++p) {
        const int record = m_pOrder[p];
        const int line = AddRecordLine(record);
        if (line < 0) continue;
        if (TakeRecordMark(*m_pDir, record)) m_lbFiles.SetSel(line, TRUE);
        m_lbFiles.SetItemData(line, record);
    }

    delete[] m_pOrder;
    m_pOrder = nullptr;
}

void CRetrieveDlg::UpdateButtons()
{
    const BOOL any = m_lbFiles.GetSelCount() > 0;
    m_btnDelete.EnableWindow(any);
    m_btnRetrieve.EnableWindow(any);
}

std::vector<LPARAM> CRetrieveDlg::SelectedRecords()
{
    std::vector<LPARAM> records;
    if (!m_lbFiles.m_hWnd) return records;
    const int lines = m_lbFiles.GetCount();
    for (int line = 0; line < lines; ++line)
        if (m_lbFiles.GetSel(line) > 0) records.push_back(m_lbFiles.GetItemData(line));
    return records;
}

int CRetrieveDlg::AddRecordLine(int index)
{
    char line[kLineSize];
    FormatLine(m_pDir->entries[index], line, sizeof line);
    return m_lbFiles.AddString(line);
}

void CRetrieveDlg::FormatLine(const DirEntry& e, char* out, int outSize)
{
    if (!out || outSize <= 0) return;
    // Each field is read only up to its own end, terminated or not.
    char dateTime[sizeof e.dateTime + 1] = "";
    std::memcpy(dateTime, e.dateTime, sizeof e.dateTime);
    // The date in the reader's own short form; the order of the records does not change.
    char shown[40];
    FormatListDate(dateTime, GetStringRes(IDS_LIST_DATE_LAYOUT), shown, sizeof shown);
    std::snprintf(out, static_cast<std::size_t>(outSize), "%.*s\t%.*s\t%s",
                  static_cast<int>(strnlen(e.name, sizeof e.name)), e.name,
                  static_cast<int>(strnlen(e.size, sizeof e.size)), e.size, shown);
}
