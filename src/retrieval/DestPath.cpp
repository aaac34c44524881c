#include "retrieval/DestPath.h"

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

// The small letter of a capital in the alphabets scans are named in (Latin with
// its accented letters, Greek, Cyrillic); any other code point stays as it is.
// Folders that ignore case (exFAT, FAT, SMB shares) treat these pairs as one name.
char32_t FoldCase(char32_t c)
{
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;  // À..Þ, not ×
    if (c == 0x178) return 0xFF;                               // Ÿ
    // Latin Extended-A: capital and small alternate, from an even or an odd start.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c >= 0x1E00 && c <= 0x1EFF && !(c >= 0x1E96 && c <= 0x1E9F)) return c | 1;  // Vietnamese and more
    // Greek.
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return c + 0x25;
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return c + 0x3F;
    if (c == 0x3C2) return 0x3C3;  // the final sigma is a sigma
    // Cyrillic.
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) return c | 1;
    if (c == 0x4C0) return 0x4CF;
    if (c >= 0x4C1 && c <= 0x4CE) return (c & 1) ? c + 1 : c;
    return c;
}

// Decodes the UTF-8 sequence at s[i]; 0 when it is not one (a stray byte, an
// overlong form, a surrogate, past U+10FFFF, cut short).
std::size_t DecodeUtf8(const std::string& s, std::size_t i, char32_t& cp)
{
    const unsigned char b0 = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - i < len) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const unsigned char b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The key under which two names count as the same file: UTF-8 letters folded to
// small letters; bytes that are not UTF-8 count as they are.
std::string FoldedKey(const std::string& path)
{
    std::string k;
    k.reserve(path.size());
    for (std::size_t i = 0; i < path.size();) {
        char32_t cp = static_cast<unsigned char>(path[i]);
        const std::size_t len = cp < 0x80 ? 1 : DecodeUtf8(path, i, cp);
        if (len == 0) {
            k += path[i++];
            continue;
        }
        AppendUtf8(k, FoldCase(cp));
        i += len;
    }
    return k;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

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
        ok = ok && Append(base, baseLen, name, stemLen);
        if (dupNumber[0] != '\0') ok = ok && Append(base, baseLen, "_") && Append(base, baseLen, dupNumber);
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
                         std::vector<DestFile>& out, std::size_t* refused)
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
        files[i] = {path, name};
        taken.insert(FoldedKey(path));
    }

    std::set<std::string> given;
    for (std::size_t i = 0; i < count; ++i) {
        if (given.insert(FoldedKey(files[i].path)).second) continue;
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
            const std::string key = FoldedKey(path);
            if (taken.count(key) != 0 || given.count(key) != 0) continue;
            files[i] = {path, name};
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
