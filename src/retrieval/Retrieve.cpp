// Copying one file from the printer into a local file. Not built yet.
#include "app/MainFrm.h"

void CMainFrame::BeginFileRetrieval() {}
int CMainFrame::RetrieveFile() { return 0; }
