// The frame's side of the progress dialog: filling it for a new file and updating it.
#include "app/MainFrm.h"

void CMainFrame::ShowFileStart() {}
void CMainFrame::UpdateProgress() {}
