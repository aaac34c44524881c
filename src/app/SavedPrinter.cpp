// The printer saved by its DNS-SD name, found again at start: a printer that moved to
// another address is reached at the new one; one that does not answer is reached at the
// saved address as before.
#include "app/MainFrm.h"
#include "app/QuillboxDlg.h"
#include "platform/msgqueue.h"
#include "platform/system.h"

#include <string>

void CMainFrame::FindSavedPrinter()
{
    if (!m_szServiceName[0] || m_pFinder) return;
    m_foundPrinters = CPrinterList{};
    m_pFinder = std::make_unique<CPrinterFinder>();
    // The finder's threads only post; the answers are read on this thread.
    const HWND self = m_hWnd;
    m_pFinder->Start([self] { ::PostMessage(self, WM_QBX_FINDER, 0, 0); });
}

void CMainFrame::StopFindingSavedPrinter()
{
    if (m_pFinder) m_pFinder->Stop();
    m_pFinder.reset();
}

LRESULT CMainFrame::OnFinderNews(WPARAM, LPARAM)
{
    if (!m_pFinder) return 1;
    const bool finished = m_pFinder->Finished();
    for (const PrinterAnswer& a : m_pFinder->Take()) m_foundPrinters.Apply(a);
    for (const PrinterLine& l : m_foundPrinters.Lines()) {
        if (l.serviceName.empty()) continue;
        // The UUID finds it under a new name too; the name one without a UUID.
        const bool same = m_szServiceUUID[0] ? l.uuid == m_szServiceUUID : l.serviceName == m_szServiceName;
        if (!same) continue;
        StopFindingSavedPrinter();
        const std::string port = std::to_string(l.port);
        if (!m_pMainDlg || !m_pMainDlg->m_hWnd || m_bClosing || m_bBusy) return 1;
        char ip[128] = "", typedPort[12] = "";
        m_pMainDlg->GetDlgItemText(IDC_REMOTEIP, ip, sizeof ip);
        m_pMainDlg->GetDlgItemText(IDC_REMOTEPORT, typedPort, sizeof typedPort);
        // The user's own edits win; and a printer still where it was changes nothing.
        if (m_pMainDlg->m_bAddressChanged || (l.address == ip && port == typedPort)) return 1;
        TraceF("Saved printer %s answered at %s:%s\n", m_szServiceName, l.address.c_str(), port.c_str());
        // As if typed: the new address is saved at exit with the printer's name.
        m_pMainDlg->SetDlgItemText(IDC_REMOTEIP, l.address.c_str());
        m_pMainDlg->SetDlgItemText(IDC_REMOTEPORT, port.c_str());
        m_pMainDlg->m_strServiceName = l.serviceName;
        m_pMainDlg->m_strServiceUUID = l.uuid;
        return 1;
    }
    if (finished) StopFindingSavedPrinter();
    return 1;
}
