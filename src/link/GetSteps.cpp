// The steps of a retrieval batch and the cancelling of a transfer. Not built yet:
// these codes only leave their trace line.
#include "app/MainFrm.h"

void CMainFrame::OpGet() {}
void CMainFrame::OpCancel(LPARAM) {}
void CMainFrame::OpGetResume() {}

LRESULT CMainFrame::OnCancelXfer(WPARAM, LPARAM) { return 1; }
