#include "retrieval/DestPath.h"

#include "platform/utf8.h"

#include <cstring>
#include <set>

namespace {

// Copies len bytes of src into a MAX_PATH buffer, cut to fit, NUL-terminated.
void CopyPart(char* out, const char* src, size_t len)
{
    if (out == nullptr) return;
    if (len > static_cast<size_t>(MAX_PATH - 1)) len = MAX_PATH - 1;
    std::memcpy(out, src, len);
    out[len] = '\0';
}

// Appends text to out (capacity MAX_PATH); false when it does not fit whole.
bool Append(char* out, size_t& len, const char* text, size_t textLen)
{
    if (textLen > static_cast<size_t>(MAX_PATH - 1) - len) return false;
    std::memcpy(out + len, text, textLen);
    len += textLen;
    out[len] = '\0';
    return true;
}

bool Append(char* out, size_t& len, const char* text) { return Append(out, len, text, std::strlen(text)); }

// Characters no Windows, FAT or SMB folder takes in a name, besides controls.
bool ForbiddenInName(char32_t c)
{
    if (c < 0x20 || c == 0x7F) return true;
    return c < 0x80 && std::strchr("<>:\"/\\|?*", static_cast<int>(c)) != nullptr;
}

void AppendEscaped(std::string& out, unsigned char byte)
{
    static const char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

bool EqualsNoCase(const std::string& a, const char* b)
{
    if (a.size() != std::strlen(b)) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
        if (c != b[i]) return false;
    }
    return true;
}

// A device name of Windows ("NUL", "com1"): a file name whose part before its first
// "." is one (trailing blanks aside) names the device, not a file, in any folder.
bool IsDeviceName(const std::string& fileName)
{
    std::string stem = fileName.substr(0, fileName.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (EqualsNoCase(stem, device)) return true;
    if (stem.size() == 4 && (EqualsNoCase(stem.substr(0, 3), "COM") || EqualsNoCase(stem.substr(0, 3), "LPT")))
        return stem[3] >= '0' && stem[3] <= '9';
    // COM and LPT with a superscript digit 1, 2 or 3 are devices too.
    if (stem.size() == 5 && (EqualsNoCase(stem.substr(0, 3), "COM") || EqualsNoCase(stem.substr(0, 3), "LPT")))
        return stem.compare(3, 2, "\xC2\xB9") == 0 || stem.compare(3, 2, "\xC2\xB2") == 0 ||
               stem.compare(3, 2, "\xC2\xB3") == 0;
    return false;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string SafeFileStem(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(text, i, cp);
        if (len == 0 || ForbiddenInName(cp)) {
            AppendEscaped(out, static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        out.append(text, i, len);
        i += len;
    }
    return out;
}

void SplitPath(const char* path, char* drive, char* dir, char* fname, char* ext)
{
    if (path == nullptr) path = "";
    const size_t total = std::strlen(path);

    // Only a letter followed by a colon at the very start is a drive; a colon
    // elsewhere is part of a folder or file name.
    size_t driveLen = 0;
    if (total >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') driveLen = 2;

    size_t dirEnd = driveLen;  // one past the last separator
    for (size_t i = driveLen; i < total; ++i) {
        if (path[i] == '/' || path[i] == '\\') dirEnd = i + 1;
    }

    size_t extStart = total;
    for (size_t i = total; i > dirEnd; --i) {
        if (path[i - 1] == '.') {
            extStart = i - 1;
            break;
        }
    }

    CopyPart(drive, path, driveLen);
    CopyPart(dir, path + driveLen, dirEnd - driveLen);
    CopyPart(fname, path + dirEnd, extStart - dirEnd);
    CopyPart(ext, path + extStart, total - extStart);
}

BOOL BuildDestPath(const char* chosenPath, BOOL singleFile, const char* name, const char* dupNumber, char* destPath,
                   char* destName)
{
    if (destPath == nullptr || destName == nullptr) return FALSE;
    destPath[0] = '\0';
    destName[0] = '\0';
    if (chosenPath == nullptr || chosenPath[0] == '\0' || std::strlen(chosenPath) > static_cast<size_t>(MAX_PATH - 1))
        return FALSE;
    if (name == nullptr) name = "";
    if (dupNumber == nullptr) dupNumber = "";

    char drive[MAX_PATH];
    char dir[MAX_PATH];
    char fname[MAX_PATH];
    char ext[MAX_PATH];
    SplitPath(chosenPath, drive, dir, fname, ext);

    // The base name: the chosen one, for several files followed by the entry's
    // name up to its first "." and its duplicate number.
    char base[MAX_PATH];
    size_t baseLen = 0;
    base[0] = '\0';
    bool ok = Append(base, baseLen, fname);
    if (!singleFile) {
        const char* dot = std::strchr(name, '.');
        const size_t stemLen = dot != nullptr ? static_cast<size_t>(dot - name) : std::strlen(name);
        const std::string stem = SafeFileStem(std::string(name, stemLen));
        ok = ok && Append(base, baseLen, stem.c_str());
        if (dupNumber[0] != '\0') {
            const std::string dup = SafeFileStem(dupNumber);
            ok = ok && Append(base, baseLen, "_") && Append(base, baseLen, dup.c_str());
        }
        // A name Windows takes for a device, or one it would cut at its end, is made a
        // file's name of its own.
        if (ok && IsDeviceName(std::string(base) + ext)) ok = Append(base, baseLen, "_");
        if (ok && ext[0] == '\0' && baseLen > 0 && base[baseLen - 1] == ' ') {
            base[--baseLen] = '\0';
            ok = Append(base, baseLen, "%20");
        }
    }

    char pathOut[MAX_PATH];
    char nameOut[MAX_PATH];
    size_t pathLen = 0;
    size_t nameLen = 0;
    pathOut[0] = '\0';
    nameOut[0] = '\0';
    ok = ok && Append(pathOut, pathLen, drive) && Append(pathOut, pathLen, dir) && Append(pathOut, pathLen, base) &&
         Append(pathOut, pathLen, ext);
    ok = ok && Append(nameOut, nameLen, base) && Append(nameOut, nameLen, ext);
    if (!ok) return FALSE;

    std::memcpy(destPath, pathOut, pathLen + 1);
    std::memcpy(destName, nameOut, nameLen + 1);
    return TRUE;
}

BOOL BuildBatchDestPaths(const char* chosenPath, BOOL singleFile, const std::vector<DestRequest>& requests,
                         NameKeyFn nameKey, std::vector<DestFile>& out, std::size_t* refused)
{
    out.clear();
    const std::size_t count = singleFile && !requests.empty() ? 1 : requests.size();
    std::vector<DestFile> files(count);
    char path[MAX_PATH];
    char name[MAX_PATH];

    // Every file's own name first: a later clash must not take a name that a file
    // further on has by itself.
    std::set<std::string> taken;
    for (std::size_t i = 0; i < count; ++i) {
        const DestRequest& r = requests[i];
        if (!BuildDestPath(chosenPath, singleFile, r.name.c_str(), r.dupNumber.c_str(), path, name)) {
            if (refused != nullptr) *refused = i;
            return FALSE;
        }
        files[i] = {path, name, false, std::nullopt};
        taken.insert(nameKey(path));
    }

    std::set<std::string> given;
    for (std::size_t i = 0; i < count; ++i) {
        if (given.insert(nameKey(files[i].path)).second) continue;
        // A clash with an earlier file: the next free duplicate number. Each file of the
        // batch blocks at most two numbers (its own name and the one it was given), so
        // one is free within 2 * count + 1 tries.
        bool found = false;
        for (std::size_t n = 1; n <= 2 * count + 1 && !found; ++n) {
            if (!BuildDestPath(chosenPath, singleFile, requests[i].name.c_str(), std::to_string(n).c_str(), path,
                               name)) {
                if (refused != nullptr) *refused = i;
                return FALSE;
            }
            const std::string key = nameKey(path);
            if (taken.count(key) != 0 || given.count(key) != 0) continue;
            files[i] = {path, name, false, std::nullopt};
            given.insert(key);
            found = true;
        }
        if (!found) {
            if (refused != nullptr) *refused = i;
            return FALSE;
        }
    }
    out = std::move(files);
    return TRUE;
}
