// CRetrieveDlg: the "Retrieve Scanned Files" dialog. It shows the frame's directory
// table, sorted by the View By choice, and hands Close, Retrieve and Delete to the frame.
#pragma once

#include "directory/DirTable.h"
#include "platform/dialog.h"
#include "res/resource.h"

#include <vector>

class CRetrieveDlg : public CDialog {
public:
    CRetrieveDlg() : CDialog(IDD_RETRIEVE) {}
    ~CRetrieveDlg() override;

    CComboBox m_cbViewBy;
    CListBox m_lbFiles;
    CButton m_btnDelete;
    CButton m_btnRetrieve;
    DirHeader* m_pDir = nullptr;  // the frame's table; never owned
    int* m_pOrder = nullptr;      // record indexes in display order, during a sort only
    char m_szItemText[32] = {};

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnDelete();
    void OnRetrieve();
    void SortFileList();
    void UpdateButtons();

    // The record indexes the selected lines carry, in line order (none without a list).
    std::vector<LPARAM> SelectedRecords();

    // The text of a list line for record i: name, TAB, size, TAB, date TAB time.
    static void FormatLine(const DirEntry& e, char* out, int outSize);

private:
    // Adds the line of record index at the end of the list; the new line's position.
    int AddRecordLine(int index);

    DECLARE_MESSAGE_MAP()
};
