// Copying one file from the printer into a local file, and its progress display.
// Not built yet.
#include "app/MainFrm.h"

void CMainFrame::BeginFileRetrieval() {}
int CMainFrame::RetrieveFile() { return 0; }
void CMainFrame::ShowFileStart() {}
void CMainFrame::UpdateProgress() {}
