// The program's globals.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>

extern BOOL g_bAutoDelete;       // delete each file on the printer after a good copy
extern char g_szSortBy[5];       // the View By choice, as the decimal item data
extern BOOL g_bSortByChanged;    // the list was sorted: SortBy is written at Close
extern BOOL g_bDirectoryLoaded;  // a listing has been parsed and shown

// Start of the throughput measurement: seconds since 1970 and milliseconds.
struct QbxTime {
    std::int64_t time = 0;
    int millitm = 0;
};
extern QbxTime g_tStart;

// The platform text of the About box's version line (at most 15 characters).
extern char g_szPlatform[16];
