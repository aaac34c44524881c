// The directory table and the plain logic behind it: cutting the printer's
// listing into records, completing the records, removing one, and ordering
// them for the file list. CMainFrame and CRetrieveDlg own the state and call
// these; nothing here touches a window, a socket or the clock.
//
// Everything the printer sends is untrusted: every function here writes only
// inside the fields of the table and reads only inside the records it is given.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

constexpr int QBX_MAX_DIR_ENTRIES = 1000;

// One file of the current user. All texts are NUL-terminated within their field.
struct DirEntry {
    char path[64];      // while listing: the received line (path TAB size); afterwards the path alone
    char name[16];      // display name: sequence part + extension, e.g. "007.TIF"
    char dupNumber[8];  // tells apart equal display names; empty for the first
    char size[12];      // size in bytes, decimal text as the printer sent it
    char dateTime[20];  // "MM/DD/YY\thh:mm:ss", or empty
    int32_t marked;     // chosen for the pending Retrieve or Delete
    int32_t processed;  // dealt with in the current run of retrievals
};

struct DirHeader {
    int32_t count;      // records 0..count-1 are valid; record `count` is the line being received
    int32_t command;    // pending list command (0, 1, 6 or 7)
    DirEntry* entries;  // block of QBX_MAX_DIR_ENTRIES records
};

// The frame's listing state, passed by reference so that it survives from one
// received chunk to the next. The frame clears nStarCount, nPercentCount,
// bDirectoryFull and bLineOverflow at the start of every listing.
struct ListingReader {
    int& nStarCount;       // characters examined while a chunk begins with "*"
    int& nPercentCount;    // "%" characters seen in this listing
    BOOL& bSkipLineEnds;   // the previous chunk ended on a line end
    BOOL& bDirectoryFull;  // QBX_MAX_DIR_ENTRIES records are stored
    BOOL& bLineOverflow;   // the line being received no longer fits `path`; it is dropped at its end
};

// Results of ParseListingChunk.
constexpr int QBX_LIST_NO_FILES = 1;
constexpr int QBX_LIST_MORE = 2;
constexpr int QBX_LIST_COMPLETE = 3;

// Appends one received chunk (len bytes, or up to its first NUL byte) to the
// table. Returns 1 when the listing says there is no file of this user, 2 when
// more text is needed (also when the table has just become full), 3 when the
// listing is complete.
int ParseListingChunk(DirHeader& dir, const ListingReader& st, const char* userID, const char* chunk, int len);

// Derives size, name, dateTime and dupNumber of records 0..count-1 from their
// received lines and clears marked and processed.
void ParseDirectoryRecords(DirHeader& dir);

// Removes the record at index: the last record is copied over it and the last
// slot cleared. An index outside 0..count-1 leaves the table unchanged.
void RemoveDirRecord(DirHeader& dir, int index);

// View By keys (their string-table ids).
constexpr int QBX_SORT_NAME = 105;
constexpr int QBX_SORT_SIZE = 106;
constexpr int QBX_SORT_DATE = 107;

// Puts order[0..count-1] (filled by the caller with 0..count-1) into display
// order for the key: name ascending, size largest first, date newest first.
// Any other key leaves order unchanged.
void SortDirectoryOrder(const DirHeader& dir, int key, int* order);
