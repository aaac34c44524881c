// CFindPrinterDlg: the modal "Printers Found" dialog the main dialog's Find Printer
// button opens. It looks for printers on the network and on this computer while it is
// up; its list fills as answers arrive, and its status line says it is still looking,
// then how many it found. Use (or Enter, or a double-click on a line) ends it with IDOK
// and the chosen printer in m_chosen; Cancel, Esc or the close box with IDCANCEL.
#pragma once

#include "platform/dialog.h"
#include "platform/printer_finder.h"
#include "res/resource.h"

// Posted by the finder's threads to the dialog: answers are waiting.
constexpr UINT WM_QBX_PRINTERS_NEWS = WM_USER + 20;

class CFindPrinterDlg : public CDialog {
public:
    CFindPrinterDlg() : CDialog(IDD_FIND_PRINTER) {}

    PrinterLine m_chosen;  // valid after IDOK

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;
    BOOL DestroyWindow() override;

    LRESULT OnPrintersNews(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR id);
    void OnDblClkList();

    // A line of the list: name, address:port, where it was found and the model.
    static std::string LineText(const PrinterLine& line);

    DECLARE_MESSAGE_MAP()

private:
    void Refill();
    void ShowStatus();
    int SelectedLine();

    CListBox m_lbPrinters;  // the list of printers found
    CPrinterFinder m_finder;
    CPrinterList m_list;
    std::vector<PrinterLine> m_shown;  // the lines as the list box shows them
    bool m_bStillLooking = false;
};
