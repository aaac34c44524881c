// The printer saved by its DNS-SD name, found again at start: a printer that moved to
// another address is reached at the new one; one that does not answer is reached at the
// saved address as before. The first connection of the run waits for the answer a
// little (kSavedPrinterWaitMs from the start of the search), on the message queue: the
// dialog stays usable and Esc still ends the program.
#include "app/MainFrm.h"
#include "app/QuillboxDlg.h"
#include "platform/clock.h"
#include "platform/msgqueue.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "platform/utf8.h"
#include "res/resource.h"

#include <cstdio>
#include <string>

namespace {

// The printer's name as the one-line status shows it: at most kShownNameChars
// characters (a longer one cut with "…"), and "&" doubled so that it shows as itself.
constexpr int kShownNameChars = 16;

std::string ShownName(const std::string& name)
{
    std::string out;
    int chars = 0;
    for (std::size_t i = 0; i < name.size();) {
        char32_t cp = 0;
        std::size_t len = DecodeUtf8(name, i, cp);
        if (len == 0) len = 1;
        if (++chars == kShownNameChars && i + len < name.size()) return out + "\u2026";
        out += name[i] == '&' ? "&&" : name.substr(i, len);
        i += len;
    }
    return out;
}

}  // namespace

void CMainFrame::FindSavedPrinter()
{
    if (!m_szServiceName[0] || m_pFinder) return;
    m_foundPrinters = CPrinterList{};
    m_nFindUntilMs = GetClock()->NowMs() + kSavedPrinterWaitMs;
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

BOOL CMainFrame::WaitForSavedPrinter()
{
    // The user's own address wins; and after the bound the saved address is used at once.
    if (!m_pFinder || m_pMainDlg->m_bAddressChanged) return FALSE;
    const std::int64_t left = m_nFindUntilMs - GetClock()->NowMs();
    if (left <= 0) return FALSE;
    m_bWaitingForSaved = TRUE;
    char text[256];
    std::snprintf(text, sizeof text, GetStringRes(IDS_LOOKING_FOR_SAVED), ShownName(m_szServiceName).c_str());
    SetMainStatus(text);
    m_nFindTimer = SetTimer(TIMER_FIND_SAVED, static_cast<UINT>(left), nullptr);
    return TRUE;
}

void CMainFrame::EndSavedPrinterWait()
{
    if (!m_bWaitingForSaved) return;
    m_bWaitingForSaved = FALSE;
    if (m_nFindTimer) KillTimer(m_nFindTimer);
    m_nFindTimer = 0;
    if (m_bClosing || !m_pMainDlg || !m_pMainDlg->m_hWnd) return;
    StartListing();
}

LRESULT CMainFrame::OnFinderNews(WPARAM, LPARAM)
{
    if (!m_pFinder) return 1;
    const bool finished = m_pFinder->Finished();
    for (const PrinterAnswer& a : m_pFinder->Take()) m_foundPrinters.Apply(a);
    const PrinterLine* found = nullptr;
    for (const PrinterLine& l : m_foundPrinters.Lines()) {
        if (l.serviceName.empty()) continue;
        // The UUID finds it under a new name too; the name one without a UUID.
        const bool same = m_szServiceUUID[0] ? l.uuid == m_szServiceUUID : l.serviceName == m_szServiceName;
        if (same) {
            found = &l;
            break;
        }
    }
    if (!found && !finished) return 1;
    if (found) {
        const PrinterLine line = *found;
        StopFindingSavedPrinter();
        const std::string port = std::to_string(line.port);
        // During the wait the frame is busy with this very connection; otherwise a busy
        // frame is working with the address the user gave.
        if (m_pMainDlg && m_pMainDlg->m_hWnd && !m_bClosing && (!m_bBusy || m_bWaitingForSaved)) {
            char ip[128] = "", typedPort[12] = "";
            m_pMainDlg->GetDlgItemText(IDC_REMOTEIP, ip, sizeof ip);
            m_pMainDlg->GetDlgItemText(IDC_REMOTEPORT, typedPort, sizeof typedPort);
            // The user's own edits win; and a printer still where it was changes nothing.
            if (!m_pMainDlg->m_bAddressChanged && (line.address != ip || port != typedPort)) {
                TraceF("Saved printer %s answered at %s:%s\n", m_szServiceName, line.address.c_str(), port.c_str());
                // As if typed: the new address is saved at exit with the printer's name.
                m_pMainDlg->SetDlgItemText(IDC_REMOTEIP, line.address.c_str());
                m_pMainDlg->SetDlgItemText(IDC_REMOTEPORT, port.c_str());
                m_pMainDlg->m_strServiceName = line.serviceName;
                m_pMainDlg->m_strServiceUUID = line.uuid;
            }
        }
    } else {
        TraceF("Saved printer %s not found on the network\n", m_szServiceName);
        StopFindingSavedPrinter();
    }
    EndSavedPrinterWait();
    return 1;
}
