#include "app/Globals.h"

BOOL g_bAutoDelete = TRUE;
char g_szSortBy[5] = "";
BOOL g_bSortByChanged = FALSE;
BOOL g_bDirectoryLoaded = FALSE;
QbxTime g_tStart;
char g_szPlatform[16] = "";
