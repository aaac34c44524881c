#include "retrieval/ProgressDlg.h"

#include "app/QbxMessages.h"
#include "platform/app.h"
#include "platform/clock.h"
#include "res/resource.h"

#include <cstring>

BEGIN_MESSAGE_MAP(CProgressDlg, CDialog)
    ON_BN_CLICKED(IDC_CANCEL_ALL, OnCancelAll)
END_MESSAGE_MAP()

void CProgressDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CANCEL_ALL, m_btnCancelAll);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

// "&Cancel" (id 2, also Esc): this file.
void CProgressDlg::OnCancel()
{
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_CANCEL_XFER, 0, IDCANCEL);
}

// Enter with no button focused must not end the dialog.
void CProgressDlg::OnOK() {}

void CProgressDlg::OnCancelAll()
{
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_QBX_CANCEL_XFER, 0, IDC_CANCEL_ALL);
}

void CProgressDlg::ShowFigures(int percent, const char* status, const char* timeLeft, bool last)
{
    if (!m_hWnd) return;
    const std::int64_t now = GetClock()->NowMs();
    if (m_bShownOnce && !last && now - m_lastShownMs < kShowIntervalMs && now >= m_lastShownMs) return;
    m_bShownOnce = true;
    m_lastShownMs = now;

    if (m_progress.GetPos() != percent) m_progress.SetPos(percent);
    // The widgets' own texts are the reference, so a text set elsewhere (the blinking
    // Status before the first byte) is never mistaken for the one shown here.
    char shown[128];
    auto setIfChanged = [&](int id, const char* text) {
        GetDlgItemText(id, shown, sizeof shown);
        if (std::strcmp(shown, text) != 0) SetDlgItemText(id, text);
    };
    setIfChanged(IDC_XFER_STATUS, status);
    setIfChanged(IDC_TIMELEFT, timeLeft);
}
