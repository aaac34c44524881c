// Cutting the printer's listing into directory records, completing the
// records, removing one, and ordering them for the file list.
//
// The listing comes from the printer and is not trusted: every text is bounded
// by its field, every search stops at the end of the text it searches, and a
// line the program could not use safely is dropped like another user's line.
#include "directory/DirTable.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace {

constexpr char TAB = '\t';

constexpr size_t kPathMax = sizeof(DirEntry::path) - 1;  // 63 characters
constexpr size_t kNameMax = sizeof(DirEntry::name) - 1;  // 15
constexpr size_t kSizeMax = sizeof(DirEntry::size) - 1;  // 11
constexpr int kSequenceLen = 3;                          // "007" in "(007)"
constexpr int kDateDigits = 14;                          // YYYYMMDDhhmmss
constexpr int kDateKeyOffset = 2;                        // ")(" then the digits

// A display name as a fixed-size key: its bytes up to the terminator, zeros after.
// Comparing two keys with memcmp gives the sign strncmp gives for the names, at the
// cost of one 16-byte comparison; the O(n^2) loops below make 500000 of them for a
// full table.
using NameKey = std::array<unsigned char, sizeof(DirEntry::name)>;

NameKey KeyOfName(const char (&name)[sizeof(DirEntry::name)])
{
    NameKey k{};
    for (std::size_t i = 0; i < k.size() && name[i] != '\0'; ++i) k[i] = static_cast<unsigned char>(name[i]);
    return k;
}

int CompareKeys(const NameKey& a, const NameKey& b) { return std::memcmp(a.data(), b.data(), a.size()); }

// Position of the first c in s[from, len), or -1.
int Find(const char* s, int len, int from, char c)
{
    for (int i = from; i < len; ++i)
        if (s[i] == c) return i;
    return -1;
}

// Position of the first "s/" in s[0, len), or -1.
int FindUserPrefix(const char* s, int len)
{
    for (int i = 0; i + 1 < len; ++i)
        if (s[i] == 's' && s[i + 1] == '/') return i;
    return -1;
}

int TextLen(const char* s, size_t field) { return static_cast<int>(strnlen(s, field)); }

// The display name ends up in the name of a local file: a character that
// would leave the chosen folder or break the name is not accepted.
bool IsNameCharSafe(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u != 0x7F && c != '/' && c != '\\' && c != ':';
}

// Judges one complete received line (path TAB size). The user ID and type
// rules are the listing's own; the rest drops lines whose parts
// ParseDirectoryRecords could not take apart or fit into the record.
bool LineWanted(const char* line, const char* userID)
{
    const int len = TextLen(line, sizeof(DirEntry::path));

    // User ID: the text between the first "s/" and the next "(" equals it exactly.
    const int prefix = FindUserPrefix(line, len);
    if (prefix < 0) return false;
    const int idStart = prefix + 2;
    const int idEnd = Find(line, len, idStart, '(');
    if (idEnd < 0) return false;
    const int idLen = userID ? TextLen(userID, sizeof(DirEntry::path)) : 0;
    if (idEnd - idStart != idLen || std::memcmp(line + idStart, userID ? userID : "", idLen) != 0) return false;

    // Type: exactly "TIF" after the first "." (so ".TIFF" passes, ".tif" does not).
    const int dot = Find(line, len, 0, '.');
    if (dot < 0 || len - (dot + 1) < 3 || std::memcmp(line + dot + 1, "TIF", 3) != 0) return false;

    // The size text after the first TAB must fit `size`; no TAB means an empty size.
    const int tab = Find(line, len, 0, TAB);
    const int pathLen = tab < 0 ? len : tab;
    if (tab >= 0 && static_cast<size_t>(len - (tab + 1)) > kSizeMax) return false;

    // The path itself needs a "(" with a whole sequence part behind it, a ".",
    // and a ")"; otherwise it has no display name or is not one of our scans.
    const int open = Find(line, pathLen, 0, '(');
    if (open < 0 || pathLen - (open + 1) < kSequenceLen) return false;
    const int pathDot = Find(line, pathLen, 0, '.');
    if (pathDot < 0 || Find(line, pathLen, 0, ')') < 0) return false;

    // The path goes between the quotes of the upload request: a quote or a control
    // character there would name another file or end the request.
    for (int i = 0; i < pathLen; ++i) {
        const auto u = static_cast<unsigned char>(line[i]);
        if (u < 0x20 || u == 0x7F || line[i] == '"') return false;
    }

    // Display name: sequence part plus the path from its first "." must fit `name`,
    // and none of it may carry a path separator, a drive colon or a control character.
    if (static_cast<size_t>(kSequenceLen + (pathLen - pathDot)) > kNameMax) return false;
    for (int i = open + 1; i < open + 1 + kSequenceLen; ++i)
        if (!IsNameCharSafe(line[i])) return false;
    for (int i = pathDot; i < pathLen; ++i)
        if (!IsNameCharSafe(line[i])) return false;
    return true;
}

// Copies at most n characters of src into the field dst, always terminating it.
void CopyField(char* dst, size_t field, const char* src, size_t n)
{
    std::memset(dst, 0, field);
    if (n > field - 1) n = field - 1;
    std::memcpy(dst, src, n);
}

// Decimal value of a text field, read like atoi (leading blanks, a sign, then digits)
// but never beyond the field and without overflow.
long long ReadDecimal(const char* s, size_t field)
{
    size_t i = 0;
    while (i < field && (s[i] == ' ' || s[i] == TAB)) ++i;
    bool negative = false;
    if (i < field && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long value = 0;
    for (; i < field && s[i] >= '0' && s[i] <= '9'; ++i)
        if (value < 100000000000000000LL) value = value * 10 + (s[i] - '0');
    return negative ? -value : value;
}

using DateKey = std::array<unsigned char, kDateDigits>;

// The 14 characters that begin two after the first ")" of the path. A path
// without ")" or with fewer characters behind it cannot be read that far:
// the missing characters count as 0, so such a record sorts as older than any
// dated one and nothing outside the path's text is ever read.
DateKey ReadDateKey(const DirEntry& e)
{
    DateKey key{};
    const int len = TextLen(e.path, sizeof e.path);
    const int close = Find(e.path, len, 0, ')');
    if (close < 0) return key;
    for (int k = 0; k < kDateDigits; ++k) {
        const int at = close + kDateKeyOffset + k;
        if (at >= len) break;
        key[k] = static_cast<unsigned char>(e.path[at]);
    }
    return key;
}

}  // namespace

bool IsListingLineWanted(const char* line, const char* userID) { return LineWanted(line, userID); }

void ParseDirectoryRecords(DirHeader& dir)
{
    const int count = UsableRecordCount(&dir);
    if (count == 0) return;
    std::array<NameKey, QBX_MAX_DIR_ENTRIES> names;

    for (int i = 0; i < count; ++i) {
        DirEntry& e = dir.entries[i];
        e.path[kPathMax] = '\0';
        int len = TextLen(e.path, sizeof e.path);

        // Size: the text after the first TAB; the TAB and the size leave the path.
        const int tab = Find(e.path, len, 0, TAB);
        if (tab >= 0) {
            CopyField(e.size, sizeof e.size, e.path + tab + 1, static_cast<size_t>(len - (tab + 1)));
            std::memset(e.path + tab, 0, sizeof e.path - static_cast<size_t>(tab));
            len = tab;
        } else {
            std::memset(e.size, 0, sizeof e.size);
        }

        // Display name: the sequence part after the first "(", then the path from its first ".".
        // Listing lines were checked to fit; the copies are bounded all the same.
        std::memset(e.name, 0, sizeof e.name);
        size_t nameLen = 0;
        const int open = Find(e.path, len, 0, '(');
        if (open >= 0) {
            for (int k = open + 1; k < len && k <= open + kSequenceLen && nameLen < kNameMax; ++k)
                e.name[nameLen++] = e.path[k];
        }
        const int dot = Find(e.path, len, 0, '.');
        if (dot >= 0) {
            for (int k = dot; k < len && nameLen < kNameMax; ++k) e.name[nameLen++] = e.path[k];
        }

        // Date and time from "(YYYYMMDDhhmmss" right after the first ")"; only
        // when all 14 characters are there, else the date stays empty.
        std::memset(e.dateTime, 0, sizeof e.dateTime);
        const int close = Find(e.path, len, 0, ')');
        if (close >= 0 && close + 1 < len && e.path[close + 1] == '(' && len - (close + 2) >= kDateDigits) {
            const char* d = e.path + close + 2;
            const char text[] = {d[4], d[5], '/', d[6],  d[7],  '/', d[2],  d[3],  TAB,
                                 d[8], d[9], ':', d[10], d[11], ':', d[12], d[13], '\0'};
            static_assert(sizeof text <= sizeof e.dateTime);
            std::memcpy(e.dateTime, text, sizeof text);
        }

        e.marked = 0;
        e.processed = 0;

        // Duplicate number: one more than that of the nearest earlier record
        // with the same display name (an empty number counts as 0).
        std::memset(e.dupNumber, 0, sizeof e.dupNumber);
        names[i] = KeyOfName(e.name);
        for (int j = i - 1; j >= 0; --j) {
            const DirEntry& other = dir.entries[j];
            if (CompareKeys(names[j], names[i]) == 0) {
                // At most 999 with 1000 records; the bound only keeps the text inside its field.
                long long number = ReadDecimal(other.dupNumber, sizeof other.dupNumber) + 1;
                if (number < 1 || number > 9999999) number = 9999999;
                std::snprintf(e.dupNumber, sizeof e.dupNumber, "%d", static_cast<int>(number));
                break;
            }
        }
    }
}

void RemoveDirRecord(DirHeader& dir, int index)
{
    if (!dir.entries || dir.count <= 0 || dir.count > QBX_MAX_DIR_ENTRIES || index < 0 || index >= dir.count) return;
    const int last = dir.count - 1;
    // The last record takes the freed place, so the table's order is not kept.
    if (index != last) dir.entries[index] = dir.entries[last];
    std::memset(&dir.entries[last], 0, sizeof(DirEntry));
    --dir.count;
}

void SortDirectoryOrder(const DirHeader& dir, int key, int* order)
{
    if (!dir.entries || !order || dir.count <= 1) return;
    if (key != QBX_SORT_NAME && key != QBX_SORT_SIZE && key != QBX_SORT_DATE) return;
    const int count = UsableRecordCount(&dir);

    // Keys are read once per record; the comparisons below are those of the
    // file list's exchange procedure, one per (q, p) pair.
    std::array<long long, QBX_MAX_DIR_ENTRIES> sizes{};
    std::array<DateKey, QBX_MAX_DIR_ENTRIES> dates{};
    std::array<NameKey, QBX_MAX_DIR_ENTRIES> names{};
    for (int i = 0; i < count; ++i) {
        if (key == QBX_SORT_NAME)
            names[i] = KeyOfName(dir.entries[i].name);
        else if (key == QBX_SORT_SIZE)
            sizes[i] = ReadDecimal(dir.entries[i].size, sizeof dir.entries[i].size);
        else if (key == QBX_SORT_DATE)
            dates[i] = ReadDateKey(dir.entries[i]);
    }

    for (int p = 0; p < count; ++p) {
        for (int q = 0; q < p; ++q) {
            const int a = order[q];
            const int b = order[p];
            if (a < 0 || a >= count || b < 0 || b >= count) continue;
            bool swap = false;
            switch (key) {
            case QBX_SORT_NAME: swap = CompareKeys(names[a], names[b]) > 0; break;
            case QBX_SORT_SIZE: swap = sizes[a] < sizes[b]; break;
            case QBX_SORT_DATE: swap = std::memcmp(dates[a].data(), dates[b].data(), kDateDigits) < 0; break;
            }
            if (swap) std::swap(order[q], order[p]);
        }
    }
}

int UsableRecordCount(const DirHeader* dir)
{
    if (!dir || !dir->entries || dir->count <= 0) return 0;
    return dir->count > QBX_MAX_DIR_ENTRIES ? QBX_MAX_DIR_ENTRIES : dir->count;
}

void MarkOnlyRecords(DirHeader& dir, std::span<const LPARAM> records)
{
    const int count = UsableRecordCount(&dir);
    for (int i = 0; i < count; ++i) dir.entries[i].marked = 0;
    for (LPARAM record : records) {
        if (record < 0 || record >= count) continue;
        dir.entries[record].marked = 1;
        dir.entries[record].processed = 0;
    }
}

void AddRecordMarks(DirHeader& dir, std::span<const LPARAM> records)
{
    const int count = UsableRecordCount(&dir);
    for (LPARAM record : records)
        if (record >= 0 && record < count) dir.entries[record].marked = 1;
}

int FirstMarkedRecord(const DirHeader& dir, int from)
{
    const int count = UsableRecordCount(&dir);
    for (int i = from < 0 ? 0 : from; i < count; ++i)
        if (dir.entries[i].marked == 1) return i;
    return -1;
}

bool TakeRecordMark(DirHeader& dir, int index)
{
    if (index < 0 || index >= UsableRecordCount(&dir) || dir.entries[index].marked != 1) return false;
    dir.entries[index].marked = 0;
    return true;
}

void SetRecordProcessed(DirHeader& dir, int index)
{
    if (index < 0 || index >= UsableRecordCount(&dir)) return;
    dir.entries[index].marked = 0;
    dir.entries[index].processed = 1;
}

void SetMarkedRecordsProcessed(DirHeader& dir)
{
    const int count = UsableRecordCount(&dir);
    for (int i = 0; i < count; ++i)
        if (dir.entries[i].marked) SetRecordProcessed(dir, i);
}

void RestoreProcessedMarks(DirHeader& dir)
{
    const int count = UsableRecordCount(&dir);
    for (int i = 0; i < count; ++i) {
        DirEntry& e = dir.entries[i];
        if (e.processed) {
            e.marked = 1;
            e.processed = 0;
        }
    }
}

void FormatListDate(const char* dateTime, const char* layout, char* out, std::size_t size)
{
    if (!out || size == 0) return;
    out[0] = '\0';
    if (!dateTime) return;
    auto digits = [&](int at) {
        return std::isdigit(static_cast<unsigned char>(dateTime[at])) &&
               std::isdigit(static_cast<unsigned char>(dateTime[at + 1]));
    };
    const bool ours = strnlen(dateTime, 9) >= 8 && digits(0) && dateTime[2] == '/' && digits(3) && dateTime[5] == '/' &&
                      digits(6) && (dateTime[8] == '\0' || dateTime[8] == TAB);
    if (!ours || !layout || !*layout) {
        std::snprintf(out, size, "%s", dateTime);
        return;
    }
    std::string text;
    for (const char* p = layout; *p;) {
        if (p[0] == 'M' && p[1] == 'M') {
            text.append(dateTime, 2);
            p += 2;
        } else if (p[0] == 'D' && p[1] == 'D') {
            text.append(dateTime + 3, 2);
            p += 2;
        } else if (p[0] == 'Y' && p[1] == 'Y') {
            text.append(dateTime + 6, 2);
            p += 2;
        } else {
            text += *p++;
        }
    }
    text += dateTime + 8;
    std::snprintf(out, size, "%s", text.c_str());
}
