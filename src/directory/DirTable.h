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
#include <string_view>

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

// Results of CListingReader::Feed.
constexpr int QBX_LIST_NO_FILES = 1;
constexpr int QBX_LIST_MORE = 2;
constexpr int QBX_LIST_COMPLETE = 3;
// Not a result of Feed: the frame's listing stopped (error, or closing).
constexpr int QBX_LIST_FAILED = 4;
// The printer said on its back channel that it did not run the listing through (an
// "Error:" or "Flushing:" message); PrinterMessage() holds what it said.
constexpr int QBX_LIST_REFUSED = 5;
// Not a result of Feed: the connection ended before the listing's end marker.
constexpr int QBX_LIST_ENDED_EARLY = 6;

// Whether one received line (path TAB size, without its line end) names a file of
// this user that the program can store, show, copy and delete safely.
bool IsListingLineWanted(const char* line, const char* userID);

// Reads the printer's answer to the directory job, receive by receive, into the table.
//
// The answer is read as lines; CR, LF and form feed end a line, wherever the receive
// boundaries fall. Each line is one of:
// - an end marker: "%%%" (the listing is complete) or "***" (no file matched), as the
//   first characters of a line after optional blanks. The printer sends no line end
//   after it, so it counts as soon as its third character arrives. A "%" or "*"
//   anywhere else in a line never counts.
// - a back-channel message "%%[ key: text ]%%", at the start of a line (what follows
//   it is read as a line of its own) or in its middle (the line is read as if the
//   message were not there; a message cut short by the line's end takes the line with
//   it). It is never a record. "Error:" and "Flushing:" mean the printer
//   did not run the listing through: Feed returns QBX_LIST_REFUSED. Any other key
//   (status:, PrinterError:) is skipped; TakeStatus() hands it to the caller.
// - PJL: a line beginning "@PJL USTATUS" opens a status block that runs through its
//   form feed; every other "@PJL" line (ECHO) is skipped alone. NUL bytes, blanks and
//   Ctrl-D before a line's first character are dropped.
// - a record: anything else. A name may begin with a volume, "%disk0%" or "0:"; it is
//   stored without it (the path the upload and the deletion name). A name on any
//   other volume is not stored and counted in OtherVolumeFiles(). Blanks and TABs
//   around the size (after the first TAB, and at the line's end) are dropped. The line is stored
//   only if IsListingLineWanted takes it; a line with a NUL or one longer than
//   DirEntry::path can hold is dropped.
// At most QBX_MAX_DIR_ENTRIES records are stored; then Full() is true and the rest of
// the listing is ignored. Feed reads only the len bytes it is given.
class CListingReader {
public:
    static constexpr int kLineMax = 255;     // longest line kept whole
    static constexpr int kMessageMax = 160;  // longest printer message kept

    // Forgets everything of an earlier listing.
    void Begin();
    // One receive's bytes: QBX_LIST_MORE when more are needed (also once the table is
    // full), QBX_LIST_COMPLETE, QBX_LIST_NO_FILES or QBX_LIST_REFUSED.
    int Feed(DirHeader& dir, const char* userID, const char* bytes, int len);
    // The connection ended: an unfinished line is judged as if it had ended. Returns
    // QBX_LIST_REFUSED when that line was an error message, else QBX_LIST_MORE (the
    // listing is unfinished).
    int ConnectionEnded(DirHeader& dir, const char* userID);

    bool Full() const { return m_bFull; }
    // The printer's message that refused the listing, e.g. "Error: invalidaccess;
    // OffendingCommand: filenameforall" (printable ASCII, at most kMessageMax).
    const std::string& PrinterMessage() const { return m_refusal; }
    // The last status message skipped since the previous call ("" when none).
    std::string TakeStatus();
    int OtherVolumeFiles() const { return m_nOtherVolume; }

private:
    enum class Mode { Line, Message, StatusBlock, Done };
    // The current line is over (at a line end, or at the end of the connection).
    int EndLine(DirHeader& dir, const char* userID, bool formFeed);
    int TakeMessage();
    void TakeRecord(DirHeader& dir, const char* userID);
    void ResetLine();

    Mode m_mode = Mode::Line;
    char m_line[kLineMax + 1] = {};
    int m_len = 0;
    bool m_overflow = false;
    bool m_badByte = false;
    // The last three bytes of the current line, to find a message's "%%[" and its "]%%"
    // past kLineMax.
    char m_tail[3] = {};
    // Where the current message begins in m_line (0 at the start of a line), how many
    // bytes of it have come, and whether the line held a NUL before it.
    int m_messageStart = 0;
    int m_messageBytes = 0;
    bool m_badByteBeforeMessage = false;
    int m_result = QBX_LIST_MORE;
    bool m_bFull = false;
    int m_nOtherVolume = 0;
    std::string m_refusal;
    std::string m_status;
};

// A printer message for a person: "Error: invalidaccess; OffendingCommand:
// filenameforall" becomes "invalidaccess in filenameforall"; any other text is given as
// it is, without its key.
std::string DescribePrinterError(const std::string& message);

// The first "Error:" message in a job's answer from the printer's back channel ("%%[
// Error: invalidaccess; OffendingCommand: deletefile ]%%" gives "Error: invalidaccess;
// OffendingCommand: deletefile"), else its first "Flushing:" message, else "".
// Printable ASCII, at most CListingReader::kMessageMax characters.
std::string PrinterErrorIn(std::string_view answer);

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
