// The steps of a retrieval batch and of a deletion run, and the cancelling of a
// transfer. Not built yet: these codes only leave their trace line.
#include "app/MainFrm.h"

void CMainFrame::OpGet() {}
void CMainFrame::OpDel() {}
void CMainFrame::OpCancel(LPARAM) {}
void CMainFrame::OpGetResume() {}
void CMainFrame::OpDelResume() {}

LRESULT CMainFrame::OnCancelXfer(WPARAM, LPARAM) { return 1; }
