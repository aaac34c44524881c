// Local and command-line names of the printer's files.
#include "cli/Names.h"

#include "platform/system.h"
#include "retrieval/DestPath.h"

#include <cctype>
#include <cstring>

namespace {

std::string NameText(const DirEntry& e) { return std::string(e.name, strnlen(e.name, sizeof e.name)); }

// The display name's extension: from its first "." ("" when it has none).
std::string NameExtension(const DirEntry& e)
{
    std::string name = NameText(e);
    auto dot = name.find('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// The batch naming of the dialog, with the chosen path "<folder>/<ext>": no prefix,
// the file's own display name and duplicate number, its own extension.
std::string BatchPath(const std::string& folderWithSlash, const DirEntry& e, bool wantName)
{
    std::string chosen = folderWithSlash + NameExtension(e);
    char dest[MAX_PATH], destName[MAX_PATH];
    char dup[sizeof e.dupNumber + 1] = {};
    std::memcpy(dup, e.dupNumber, sizeof e.dupNumber);
    char name[sizeof e.name + 1] = {};
    std::memcpy(name, e.name, sizeof e.name);
    if (!BuildDestPath(chosen.c_str(), FALSE, name, dup, dest, destName)) return {};
    return wantName ? destName : dest;
}

}  // namespace

std::string CliFileName(const DirEntry& e)
{
    if (e.name[0] == '\0') return {};
    return BatchPath("", e, true);
}

std::vector<std::string> GetDestPaths(const std::string& folder, const std::vector<const DirEntry*>& entries)
{
    const std::string chosen = FolderPrefix(folder) + ".TIF";
    std::vector<std::string> paths(entries.size());
    std::vector<DestRequest> requests;
    std::vector<std::size_t> at;  // index in entries of each request
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const DirEntry& e = *entries[i];
        if (e.name[0] == '\0') continue;
        requests.push_back({NameText(e), std::string(e.dupNumber, strnlen(e.dupNumber, sizeof e.dupNumber))});
        at.push_back(i);
    }
    // A name that does not fit is refused alone; the others are worked out again
    // without it, so one odd file does not stop the batch.
    for (;;) {
        std::vector<DestFile> out;
        std::size_t refused = 0;
        if (BuildBatchDestPaths(chosen.c_str(), FALSE, requests, FileNameKey, out, &refused)) {
            for (std::size_t k = 0; k < out.size(); ++k) paths[at[k]] = out[k].path;
            return paths;
        }
        if (refused >= requests.size()) return paths;
        requests.erase(requests.begin() + static_cast<std::ptrdiff_t>(refused));
        at.erase(at.begin() + static_cast<std::ptrdiff_t>(refused));
    }
}

std::string EntryDateDigits(const DirEntry& e)
{
    const char* path = e.path;
    std::size_t len = strnlen(path, sizeof e.path);
    const char* close = static_cast<const char*>(std::memchr(path, ')', len));
    if (!close) return {};
    std::size_t at = static_cast<std::size_t>(close - path) + 1;
    if (at >= len || path[at] != '(' || at + 1 + 14 > len) return {};
    std::string digits(path + at + 1, 14);
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c))) return {};
    return digits;
}

std::string SyncFileName(const DirEntry& e)
{
    std::string d = EntryDateDigits(e);
    if (d.empty()) return CliFileName(e);
    std::string name = NameText(e);
    auto dot = name.find('.');
    std::string seq = dot == std::string::npos ? name : name.substr(0, dot);
    if (seq.empty()) return CliFileName(e);
    return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + "_" + d.substr(8, 6) + "_" +
           SafeFileStem(seq) + SafeFileStem(NameExtension(e));
}

std::string StableName(const DirEntry& e)
{
    if (!EntryDateDigits(e).empty()) {
        std::string name = SyncFileName(e);
        if (!name.empty()) return name;
    }
    return std::string(e.path, strnlen(e.path, sizeof e.path));
}

NamePick PickByName(const DirHeader& dir, const std::string& want)
{
    std::vector<int> exact, byName, byDup;
    for (int i = 0; i < dir.count; ++i) {
        const DirEntry& e = dir.entries[i];
        if (StableName(e) == want || std::string(e.path, strnlen(e.path, sizeof e.path)) == want)
            exact.push_back(i);
        else if (NameText(e) == want)
            byName.push_back(i);
        else if (e.dupNumber[0] != '\0' && CliFileName(e) == want)
            byDup.push_back(i);
    }
    // One match is the scan; more are refused.
    auto among = [](const std::vector<int>& matches) {
        NamePick pick;
        if (matches.size() == 1) {
            pick.kind = NamePick::Found;
            pick.index = matches[0];
        } else if (!matches.empty()) {
            pick.kind = NamePick::Ambiguous;
            pick.candidates = matches;
        }
        return pick;
    };
    if (!exact.empty()) return among(exact);
    if (byDup.empty()) return among(byName);
    // Every scan the number could point at, today or after a deletion: all of the
    // display name's scans, and any scan whose own name is the wanted one.
    NamePick pick;
    pick.kind = NamePick::DupNumbered;
    for (int i = 0; i < dir.count; ++i) {
        const std::string name = NameText(dir.entries[i]);
        bool sameName = name == want;
        for (int d : byDup) sameName = sameName || name == NameText(dir.entries[d]);
        if (sameName) pick.candidates.push_back(i);
    }
    return pick;
}
