// The steps of a deletion. Not built yet: these codes only leave their trace line.
#include "app/MainFrm.h"

void CMainFrame::OpDel() {}
void CMainFrame::OpDelResume() {}
