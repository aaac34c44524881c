// The directory table and the plain logic behind it: cutting the printer's
// listing into records, completing the records, removing one, and ordering
// them for the file list. CMainFrame and CRetrieveDlg own the state and call
// these; nothing here touches a window, a socket or the clock.
//
// Everything the printer sends is untrusted: every function here writes only
// inside the fields of the table and reads only inside the records it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

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

// Pending list commands (DirHeader::command).
constexpr int32_t QBX_CMD_NONE = 0;
constexpr int32_t QBX_CMD_RETRIEVE = 1;
constexpr int32_t QBX_CMD_DELETE = 6;      // each file is confirmed on its own
constexpr int32_t QBX_CMD_DELETE_ALL = 7;  // "Yes to All" was chosen

struct DirHeader {
    int32_t count;      // records 0..count-1 are valid; record `count` is the line being received
    int32_t command;    // pending list command: one of QBX_CMD_*
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
// Not a result of ParseListingChunk: the frame's listing stopped (error, or closing).
constexpr int QBX_LIST_FAILED = 4;

// Appends one received chunk (len bytes, or up to its first NUL byte) to the
// table. Returns QBX_LIST_NO_FILES when the listing says there is no file of
// this user, QBX_LIST_MORE when more text is needed (also when the table has just
// become full), QBX_LIST_COMPLETE when the listing is complete.
int ParseListingChunk(DirHeader& dir, const ListingReader& st, const char* userID, const char* chunk, int len);

// Derives size, name, dateTime and dupNumber of records 0..count-1 from their
// received lines and clears marked and processed.
void ParseDirectoryRecords(DirHeader& dir);

// Removes the record at index: the last record is copied over it and the last
// slot cleared. An index outside 0..count-1 leaves the table unchanged.
void RemoveDirRecord(DirHeader& dir, int index);

// Bookkeeping of the marks (records chosen for a Retrieve or Delete).

// The records that may be read: count limited to the block, 0 without a table or
// with a negative count.
int UsableRecordCount(const DirHeader* dir);

// The marks become the selection: every record is unmarked, then each record named
// in `records` (an index outside the usable records is ignored) is marked and its
// processed flag cleared.
void MarkOnlyRecords(DirHeader& dir, std::span<const LPARAM> records);

// Marks each record named in `records` (an index outside the usable records is
// ignored), keeping the marks there are; processed flags are left alone.
void AddRecordMarks(DirHeader& dir, std::span<const LPARAM> records);

// The first marked record at index `from` or later, or -1 when there is none.
int FirstMarkedRecord(const DirHeader& dir, int from = 0);

// Whether record `index` is marked; its mark is cleared (it has become a selected
// line again). False for an index outside the usable records.
bool TakeRecordMark(DirHeader& dir, int index);

// Record `index` is done with in this run of retrievals: unmarked, processed. An
// index outside the usable records changes nothing.
void SetRecordProcessed(DirHeader& dir, int index);

// Every marked record is done with (Cancel All): unmarked, processed.
void SetMarkedRecordsProcessed(DirHeader& dir);

// The end of a run of retrievals: every processed record is marked again, so the
// user's selection comes back as it was before the run, and processed is cleared.
void RestoreProcessedMarks(DirHeader& dir);

// A fixed-size record field as a terminated text, even when the record's own
// terminator is missing (the table is filled from printer data).
template <std::size_t N>
std::string FieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

// View By keys (their string-table ids).
constexpr int QBX_SORT_NAME = 105;
constexpr int QBX_SORT_SIZE = 106;
constexpr int QBX_SORT_DATE = 107;

// Puts order[0..count-1] (filled by the caller with 0..count-1) into display
// order for the key: name ascending, size largest first, date newest first.
// Any other key leaves order unchanged.
void SortDirectoryOrder(const DirHeader& dir, int key, int* order);

// A record's date and time as the file list shows them: layout is the date's form, in
// which "MM", "DD" and "YY" stand for the month, day and two-digit year of dateTime
// ("MM/DD/YY\thh:mm:ss"); the TAB and the time follow unchanged. "MM/DD/YY" gives
// dateTime as it is; so does a dateTime of another form or an empty layout. Always
// NUL-terminated within size.
void FormatListDate(const char* dateTime, const char* layout, char* out, std::size_t size);
