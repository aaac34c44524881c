// Retrieve in the file list: the marks follow the selection, the save location is
// chosen, and the retrieval batch starts. Not built yet: the list stays open.
#include "app/MainFrm.h"

bool CMainFrame::OnRetrieveRequest() { return false; }

int CMainFrame::ChooseSaveFile() { return 0; }
