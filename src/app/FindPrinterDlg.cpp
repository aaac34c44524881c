#include "app/FindPrinterDlg.h"

#include "platform/msgqueue.h"
#include "platform/resources.h"

#include <cstdio>

namespace {
// However long the sources take, after this the status line says what was found.
constexpr UINT_PTR kLookTimer = 1;
constexpr UINT kLookMs = 8000;
constexpr int kTabStop = 72;  // dialog units
}  // namespace

BEGIN_MESSAGE_MAP(CFindPrinterDlg, CDialog)
    ON_MESSAGE(WM_QBX_PRINTERS_NEWS, OnPrintersNews)
    ON_WM_TIMER()
    ON_LBN_DBLCLK(IDC_PRINTER_LIST, OnDblClkList)
END_MESSAGE_MAP()

BOOL CFindPrinterDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (m_lbPrinters.m_hWnd) m_lbPrinters.SetTabStops(kTabStop);
    m_list = CPrinterList{};
    m_chosen = PrinterLine{};
    m_bStillLooking = true;
    ShowStatus();
    SetTimer(kLookTimer, kLookMs);
    // The finder's threads only post; the list is read and shown here, on this thread.
    const HWND self = m_hWnd;
    m_finder.Start([self] { ::PostMessage(self, WM_QBX_PRINTERS_NEWS, 0, 0); });
    return TRUE;
}

void CFindPrinterDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PRINTER_LIST, m_lbPrinters);
}

BOOL CFindPrinterDlg::DestroyWindow()
{
    KillTimer(kLookTimer);
    m_finder.Stop();
    return CDialog::DestroyWindow();
}

LRESULT CFindPrinterDlg::OnPrintersNews(WPARAM, LPARAM)
{
    bool changed = false;
    // Read before taking the answers, so the last answers are shown with the end.
    const bool finished = m_finder.Finished();
    for (const PrinterAnswer& a : m_finder.Take()) changed |= m_list.Apply(a);
    if (changed) Refill();
    if (finished && m_bStillLooking) {
        m_bStillLooking = false;
        KillTimer(kLookTimer);
    }
    ShowStatus();
    return 1;
}

void CFindPrinterDlg::OnTimer(UINT_PTR id)
{
    if (id != kLookTimer) return;
    KillTimer(kLookTimer);
    m_bStillLooking = false;
    ShowStatus();
}

std::string CFindPrinterDlg::LineText(const PrinterLine& line)
{
    const UINT where = line.sources == (kFoundOnNetwork | kInstalledHere) ? IDS_FOUND_BOTH
                       : (line.sources & kFoundOnNetwork)                 ? IDS_FOUND_NETWORK
                                                                          : IDS_FOUND_INSTALLED;
    // Where it was found comes before the model, which may be long enough to be cut.
    std::string text = line.name + "\t" + PrinterAddressText(line) + "\t" + GetStringRes(where);
    return line.model.empty() ? text : text + ": " + line.model;
}

void CFindPrinterDlg::Refill()
{
    CListBox* list = &m_lbPrinters;
    if (!list->m_hWnd) return;
    // The line the user chose stays chosen when others come or go.
    const int before = SelectedLine();
    const PrinterLine* kept =
        before >= 0 && before < static_cast<int>(m_shown.size()) ? &m_shown[static_cast<std::size_t>(before)] : nullptr;
    std::string keptKey = kept ? PrinterAddressText(*kept) + "|" + kept->serviceName : std::string();
    list->ResetContent();
    int select = 0;
    const auto& lines = m_list.Lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        list->AddString(LineText(lines[i]).c_str());
        if (!keptKey.empty() && PrinterAddressText(lines[i]) + "|" + lines[i].serviceName == keptKey)
            select = static_cast<int>(i);
    }
    m_shown = lines;
    // The first printer is chosen from the start, so Enter alone uses it.
    if (!lines.empty()) list->SetCurSel(select);
}

void CFindPrinterDlg::ShowStatus()
{
    char text[160];
    const int n = static_cast<int>(m_list.Lines().size());
    if (m_bStillLooking)
        std::snprintf(text, sizeof text, "%s", GetStringRes(IDS_FIND_LOOKING));
    else if (n == 0)
        std::snprintf(text, sizeof text, "%s", GetStringRes(IDS_FIND_NONE));
    else if (n == 1)
        std::snprintf(text, sizeof text, "%s", GetStringRes(IDS_FIND_FOUND_ONE));
    else
        std::snprintf(text, sizeof text, GetStringRes(IDS_FIND_FOUND_N), n);
    SetDlgItemText(IDC_FIND_STATUS, text);
}

int CFindPrinterDlg::SelectedLine()
{
    CListBox* list = &m_lbPrinters;
    if (!list->m_hWnd) return -1;
    const int i = list->GetCurSel();
    return i < 0 ? -1 : i;
}

void CFindPrinterDlg::OnOK()
{
    const int i = SelectedLine();
    if (i < 0 || i >= static_cast<int>(m_shown.size())) return;  // nothing chosen: the dialog stays
    m_chosen = m_shown[static_cast<std::size_t>(i)];
    EndDialog(IDOK);
}

void CFindPrinterDlg::OnDblClkList() { OnOK(); }

void CFindPrinterDlg::OnCancel() { EndDialog(IDCANCEL); }
