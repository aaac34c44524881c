// Feeds arbitrary listing answers, cut into arbitrary receives, to the
// directory table and checks that the table stays well formed, that the outcome does
// not depend on where the receives end (the whole answer in one receive gives the same
// result and the same records), that every record reads back as the printer wrote it
// (its line is one of the listing's lines, less a volume prefix; never a back-channel
// message or a PJL line; its date the path's date digits), that it is the asked user's
// (the whole ID between "s/" and "(", not a longer ID that starts with it) and can
// travel between the upload request's quotes (no quote, no control character), that
// an end or a refusal is only ever read from a marker or an error message, and that
// the local names made from the records stay inside the chosen folder, one file each.
//
// Input: byte 0 picks the user ID's length (1..8); the next bytes pick its
// digits from "1234". Then a run of receives, each a length byte followed by
// that many bytes of listing text; a length byte of 0 followed by a byte n
// repeats the previous receive n times, so that full tables are reached. A run
// reads at most 256 KB of listing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "directory/DirTable.h"
#include "retrieval/DestPath.h"

namespace {

void Check(bool ok)
{
    if (!ok) std::abort();
}

bool Terminated(const char* field, size_t size) { return strnlen(field, size) < size; }

// No separator, drive colon or control character in the first `field` characters.
bool NameIsSafe(const char* name, size_t field = sizeof(DirEntry::name))
{
    for (size_t i = 0; i < field && name[i]; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
    }
    return true;
}

// The end of a back-channel message that begins at from ("%%[" there): the index after
// its "]%%" (NULs inside it do not count), or npos when the line ends first.
std::size_t MessageEnd(const std::string& line, std::size_t from)
{
    std::string tail = "%%[";
    std::size_t kept = 3;
    for (std::size_t k = from + 3; k < line.size(); ++k) {
        if (line[k] == '\0') continue;
        tail = tail.substr(1) + line[k];
        if (++kept > 5 && tail == "]%%") return k + 1;
    }
    return std::string::npos;
}

// A line as a record may be read from it: with and without a first-disk volume prefix,
// with the blanks and TABs around its size and without.
void AddForms(std::set<std::string>& lines, const std::string& line)
{
    std::vector<std::string> forms = {line};
    if (line.rfind("%disk0%", 0) == 0) forms.push_back(line.substr(7));
    if (line.rfind("0:", 0) == 0) forms.push_back(line.substr(2));
    for (const std::string& f : forms) {
        lines.insert(f);
        const std::size_t tab = f.find('\t');
        if (tab == std::string::npos) continue;
        const std::size_t from = f.find_first_not_of(" \t", tab + 1), to = f.find_last_not_of(" \t");
        lines.insert(f.substr(0, tab + 1) +
                     (from == std::string::npos || to < from ? "" : f.substr(from, to + 1 - from)));
    }
}

// A line and what it reads as without the messages in its middle (each a closed
// "%%[ … ]%%" after the line's first byte; an open one leaves no record).
void AddLine(std::set<std::string>& lines, const std::string& line)
{
    AddForms(lines, line);
    std::string kept;
    for (std::size_t k = 0; k < line.size();) {
        kept += line[k++];
        if (kept.size() > 3 && kept.compare(kept.size() - 3, 3, "%%[") == 0) {
            const std::size_t end = MessageEnd(line, k - 3);
            if (end == std::string::npos) return;
            kept.resize(kept.size() - 3);
            k = end;
        }
    }
    AddForms(lines, kept);
}

// The lines of the listing text as a record may come from them: cut at CR, LF and
// form feed, without the blanks, NULs and Ctrl-D before a line, and without a
// first-disk volume prefix.
std::set<std::string> LinesOf(const std::string& text)
{
    std::set<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n' && text[i] != '\f') continue;
        std::string line = text.substr(start, i - start);
        start = i + 1;
        // A back-channel message at the start of a line ends at its "]%%" (NULs inside
        // it do not count); what follows it on the line is read as a line of its own.
        for (;;) {
            const std::size_t first = line.find_first_not_of(std::string(" \t\0\x04", 4));
            if (first == std::string::npos) break;
            line.erase(0, first);
            AddLine(lines, line);
            if (line.rfind("%%[", 0) != 0) break;
            std::string tail = "%%[";
            std::size_t kept = 3, end = std::string::npos;
            for (std::size_t k = 3; k < line.size() && end == std::string::npos; ++k) {
                if (line[k] == '\0') continue;
                tail = tail.substr(1) + line[k];
                if (++kept > 5 && tail == "]%%") end = k + 1;
            }
            if (end == std::string::npos) break;
            line.erase(0, end);
        }
    }
    return lines;
}

// "MM/DD/YY<TAB>hh:mm:ss" from the 14 characters after the first ")(" of the path.
std::string DateOfPath(const std::string& path)
{
    const std::size_t close = path.find(')');
    if (close == std::string::npos || close + 1 >= path.size() || path[close + 1] != '(' ||
        path.size() - (close + 2) < 14)
        return "";
    const std::string d = path.substr(close + 2, 14);
    return d.substr(4, 2) + "/" + d.substr(6, 2) + "/" + d.substr(2, 2) + "\t" + d.substr(8, 2) + ":" +
           d.substr(10, 2) + ":" + d.substr(12, 2);
}

// The user ID of a listed line: the text between the first "s/" and the next "(".
std::string UserOfLine(const std::string& line)
{
    const std::size_t s = line.find("s/");
    if (s == std::string::npos) return "";
    const std::size_t open = line.find('(', s + 2);
    if (open == std::string::npos) return "";
    return line.substr(s + 2, open - (s + 2));
}

// The path goes into the upload request between quotes, as it is.
bool PathIsSendable(const std::string& path)
{
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || ch == '"') return false;
    }
    return true;
}

// A name as a file system that ignores case sees it (ASCII letters at least).
// A folder that ignores the case of ASCII letters, as the batch's names are compared here.
std::string AsciiFolded(const std::string& name)
{
    std::string key = name;
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    size_t pos = 0;
    const size_t idLen = 1 + data[pos++] % 8;
    char userID[12] = {};
    for (size_t i = 0; i < idLen; ++i) userID[i] = static_cast<char>('1' + (pos < size ? data[pos++] : 0) % 4);

    // Exactly QBX_MAX_DIR_ENTRIES records, so any step behind the block is caught.
    // The block is made once: a fresh 128 KB block for every run cost more than
    // the run itself (new pages to fault in and clear each time). Each run starts
    // from an all-zero block, as the program's table does.
    static DirEntry* const entries = new DirEntry[QBX_MAX_DIR_ENTRIES];
    std::memset(entries, 0, sizeof(DirEntry) * QBX_MAX_DIR_ENTRIES);
    DirHeader dir{0, 0, entries};
    CListingReader reader;

    int result = QBX_LIST_MORE;
    std::vector<char> chunk;
    int repeat = 0;
    // Repeats multiply: a few hundred input bytes could stand for megabytes of
    // listing, most runs would go to re-reading one receive, and the fuzzer would
    // crawl. A full table needs at most 1000 lines of 64 bytes; the cap leaves room
    // for four times that.
    constexpr size_t kMaxListingBytes = 256 * 1024;
    size_t fed = 0;
    std::string text;
    while (result == QBX_LIST_MORE && !reader.Full() && fed < kMaxListingBytes) {
        if (repeat > 0) {
            --repeat;
        } else {
            if (pos >= size) break;
            const size_t want = data[pos++];
            if (want == 0 && pos < size) {
                repeat = data[pos++];
                continue;
            }
            const size_t len = want < size - pos ? want : size - pos;
            // Each receive in a buffer of its own exact size: reading past it is caught.
            chunk.assign(data + pos, data + pos + len);
            pos += len;
        }
        text.append(chunk.data(), chunk.size());
        fed += chunk.size() + 1;
        result = reader.Feed(dir, userID, chunk.data(), static_cast<int>(chunk.size()));
        Check(result == QBX_LIST_NO_FILES || result == QBX_LIST_MORE || result == QBX_LIST_COMPLETE ||
              result == QBX_LIST_REFUSED);
        Check(dir.count >= 0 && dir.count <= QBX_MAX_DIR_ENTRIES);
    }
    Check(reader.Full() == (dir.count == QBX_MAX_DIR_ENTRIES));
    for (int i = 0; i < QBX_MAX_DIR_ENTRIES; ++i) Check(Terminated(entries[i].path, sizeof entries[i].path));

    // An end is read only from a marker, a refusal only from an error message.
    if (result == QBX_LIST_COMPLETE) Check(dir.count > 0 && text.find("%%%") != std::string::npos);
    if (result == QBX_LIST_NO_FILES)
        Check(text.find("%%%") != std::string::npos || text.find("***") != std::string::npos);
    if (result == QBX_LIST_REFUSED) {
        // NULs inside a line are the back channel's padding, not part of what it says: a
        // message may open "%<NUL>%[" (the safe side: an error is never missed for it).
        std::string visible = text;
        visible.erase(std::remove(visible.begin(), visible.end(), '\0'), visible.end());
        Check(visible.find("%%[") != std::string::npos && !reader.PrinterMessage().empty());
        for (char c : reader.PrinterMessage()) Check(c >= 0x20 && c < 0x7F);
    }

    // The same answer in one receive: the same outcome and the same records.
    static DirEntry* const whole = new DirEntry[QBX_MAX_DIR_ENTRIES];
    std::memset(whole, 0, sizeof(DirEntry) * QBX_MAX_DIR_ENTRIES);
    DirHeader wholeDir{0, 0, whole};
    CListingReader wholeReader;
    const std::vector<char> all(text.begin(), text.end());
    const int wholeResult =
        all.empty() ? QBX_LIST_MORE : wholeReader.Feed(wholeDir, userID, all.data(), static_cast<int>(all.size()));
    Check(wholeResult == result && wholeDir.count == dir.count);
    const int compared = dir.count < QBX_MAX_DIR_ENTRIES ? dir.count + 1 : QBX_MAX_DIR_ENTRIES;
    Check(std::memcmp(whole, entries, sizeof(DirEntry) * static_cast<size_t>(compared)) == 0);

    ParseDirectoryRecords(dir);
    const std::set<std::string> lines = LinesOf(text);
    std::vector<DestRequest> requests;
    for (int i = 0; i < dir.count; ++i) {
        const DirEntry& e = entries[i];
        Check(Terminated(e.path, sizeof e.path));
        Check(Terminated(e.name, sizeof e.name));
        Check(Terminated(e.dupNumber, sizeof e.dupNumber));
        Check(Terminated(e.size, sizeof e.size));
        Check(Terminated(e.dateTime, sizeof e.dateTime));
        Check(e.marked == 0 && e.processed == 0);
        Check(std::strchr(e.path, '\t') == nullptr);
        Check(e.name[0] != '\0' && NameIsSafe(e.name));
        // The record is one line of the listing, path and size as the printer wrote them.
        const std::string path = FieldText(e.path), sizeText = FieldText(e.size);
        Check(lines.count(path + "\t" + sizeText) == 1 || (sizeText.empty() && lines.count(path) == 1));
        Check(FieldText(e.dateTime) == DateOfPath(path));
        Check(path.rfind("%%[", 0) != 0 && path.rfind("@PJL", 0) != 0);
        Check(UserOfLine(sizeText.empty() ? path : path + "\t" + sizeText) == userID);
        Check(PathIsSendable(path));
        requests.push_back({FieldText(e.name), FieldText(e.dupNumber)});
    }

    // The local names of a batch of every record stay in the chosen folder.
    const char chosen[] = "/chosen/folder/job.TIF";
    std::vector<DestFile> dests;
    if (BuildBatchDestPaths(chosen, FALSE, requests, AsciiFolded, dests)) {
        Check(dests.size() == requests.size());
        std::set<std::string> names;
        for (const DestFile& d : dests) {
            Check(d.path == "/chosen/folder/" + d.name);
            Check(!d.name.empty() && NameIsSafe(d.name.c_str(), d.name.size()) && d.name != "." && d.name != "..");
            // Two records of one batch never share a local file, whatever the case.
            Check(names.insert(AsciiFolded(d.name)).second);
        }
    }

    const int keys[] = {QBX_SORT_NAME, QBX_SORT_SIZE, QBX_SORT_DATE};
    for (int key : keys) {
        std::vector<int> order(static_cast<size_t>(dir.count) + 1);
        for (int i = 0; i < dir.count; ++i) order[i] = i;
        order[dir.count] = -7;  // guard behind the order: must stay untouched
        SortDirectoryOrder(dir, key, order.data());
        std::vector<char> seen(static_cast<size_t>(dir.count), 0);
        for (int i = 0; i < dir.count; ++i) {
            Check(order[i] >= 0 && order[i] < dir.count && !seen[order[i]]);
            seen[order[i]] = 1;
        }
        Check(order[dir.count] == -7);
    }

    if (dir.count > 0) {
        const int before = dir.count;
        RemoveDirRecord(dir, data[0] % before);
        Check(dir.count == before - 1);
        Check(entries[before - 1].path[0] == '\0');
    }
    return 0;
}
