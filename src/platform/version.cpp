#include "platform/version.h"

#include "platform/resources.h"
#include "platform/system.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr DWORD kMagic = 0x42495651u;  // "QVIB" in memory order
constexpr DWORD kHeaderWords = 7;

struct Header {
    DWORD magic;
    DWORD totalBytes;
    DWORD fixedOffset;
    DWORD translationOffset;
    DWORD translationPairs;
    DWORD firstBlockOffset;
    DWORD blockCount;
};
static_assert(sizeof(Header) == kHeaderWords * sizeof(DWORD));

DWORD Pad4(DWORD n) { return (n + 3u) & ~3u; }

const char* Text(const char* s) { return s ? s : ""; }

// The version resource of the file at path, or null when it has none.
const VersionRes* VersionOf(const char* path)
{
    if (!path || !*path) return nullptr;
    const ResourceModule* module = GetResourceModule();
    if (!module || !module->version) return nullptr;
    std::vector<char> self(4096, '\0');
    DWORD n = GetModuleFileName(self.data(), static_cast<DWORD>(self.size()));
    if (n == 0 || std::strcmp(self.data(), path) != 0) return nullptr;
    return module->version;
}

DWORD StringRecordBytes(const VersionStringRes& s)
{
    auto key = static_cast<DWORD>(std::strlen(Text(s.key)));
    auto value = static_cast<DWORD>(std::strlen(Text(s.value)));
    return Pad4(sizeof(DWORD) + key + 1 + value + 1);
}

DWORD BlockRecordBytes(const VersionBlockRes& b)
{
    DWORD bytes = 2 * sizeof(DWORD) + Pad4(static_cast<DWORD>(std::strlen(Text(b.name))) + 1);
    for (int i = 0; i < b.count; ++i) bytes += StringRecordBytes(b.strings[i]);
    return bytes;
}

// Lays the resource out as described in version.h.
std::vector<BYTE> Serialize(const VersionRes& v)
{
    Header h{};
    h.magic = kMagic;
    h.fixedOffset = sizeof(Header);
    h.translationOffset = h.fixedOffset + Pad4(sizeof(VS_FIXEDFILEINFO));
    h.translationPairs = v.translations && v.translationPairs > 0 ? static_cast<DWORD>(v.translationPairs) : 0;
    h.firstBlockOffset = h.translationOffset + Pad4(h.translationPairs * 2 * sizeof(WORD));
    h.blockCount = v.blocks && v.blockCount > 0 ? static_cast<DWORD>(v.blockCount) : 0;
    DWORD total = h.firstBlockOffset;
    for (DWORD i = 0; i < h.blockCount; ++i) total += BlockRecordBytes(v.blocks[i]);
    h.totalBytes = total;

    std::vector<BYTE> out(total, 0);
    auto put = [&out](DWORD at, const void* src, std::size_t n) { std::memcpy(out.data() + at, src, n); };
    put(0, &h, sizeof h);

    VS_FIXEDFILEINFO f{};
    f.dwSignature = VS_FFI_SIGNATURE;
    f.dwStrucVersion = VS_FFI_STRUCVERSION;
    f.dwFileVersionMS = (DWORD{v.fileVersion[0]} << 16) | v.fileVersion[1];
    f.dwFileVersionLS = (DWORD{v.fileVersion[2]} << 16) | v.fileVersion[3];
    f.dwProductVersionMS = (DWORD{v.productVersion[0]} << 16) | v.productVersion[1];
    f.dwProductVersionLS = (DWORD{v.productVersion[2]} << 16) | v.productVersion[3];
    f.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
    f.dwFileOS = VOS__WINDOWS32;
    f.dwFileType = VFT_APP;
    put(h.fixedOffset, &f, sizeof f);

    if (h.translationPairs) put(h.translationOffset, v.translations, h.translationPairs * 2 * sizeof(WORD));

    DWORD at = h.firstBlockOffset;
    for (DWORD i = 0; i < h.blockCount; ++i) {
        const VersionBlockRes& b = v.blocks[i];
        DWORD recordBytes = BlockRecordBytes(b);
        DWORD count = b.strings && b.count > 0 ? static_cast<DWORD>(b.count) : 0;
        put(at, &recordBytes, sizeof(DWORD));
        put(at + 4, &count, sizeof(DWORD));
        const char* name = Text(b.name);
        put(at + 8, name, std::strlen(name));  // the NUL and padding are already zero
        DWORD s = at + 8 + Pad4(static_cast<DWORD>(std::strlen(name)) + 1);
        for (DWORD j = 0; j < count; ++j) {
            DWORD stringBytes = StringRecordBytes(b.strings[j]);
            const char* key = Text(b.strings[j].key);
            const char* value = Text(b.strings[j].value);
            put(s, &stringBytes, sizeof(DWORD));
            put(s + 4, key, std::strlen(key));
            put(s + 4 + static_cast<DWORD>(std::strlen(key)) + 1, value, std::strlen(value));
            s += stringBytes;
        }
        at += recordBytes;
    }
    return out;
}

bool SameName(std::string_view a, const char* b, std::size_t bLen)
{
    if (a.size() != bLen) return false;
    for (std::size_t i = 0; i < bLen; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::vector<std::string_view> SplitPath(const char* path)
{
    std::vector<std::string_view> parts;
    std::string_view p(path);
    std::size_t i = 0;
    while (i < p.size()) {
        std::size_t j = p.find('\\', i);
        if (j == std::string_view::npos) j = p.size();
        if (j > i) parts.push_back(p.substr(i, j - i));
        i = j + 1;
    }
    return parts;
}

DWORD ReadDword(const BYTE* base, DWORD at)
{
    DWORD v;
    std::memcpy(&v, base + at, sizeof v);
    return v;
}

// The NUL-terminated text at base+at within limit, or null when it runs past limit.
const char* TextAt(const BYTE* base, DWORD at, DWORD limit, std::size_t* length)
{
    if (at >= limit) return nullptr;
    const void* nul = std::memchr(base + at, '\0', limit - at);
    if (!nul) return nullptr;
    *length = static_cast<std::size_t>(static_cast<const BYTE*>(nul) - (base + at));
    return reinterpret_cast<const char*>(base + at);
}

// The value of key in the string block named name; null when missing or malformed.
const char* FindString(const BYTE* base, const Header& h, std::string_view name, std::string_view key,
                       std::size_t* valueLength)
{
    DWORD at = h.firstBlockOffset;
    for (DWORD i = 0; i < h.blockCount; ++i) {
        if (at + 8 > h.totalBytes) return nullptr;
        DWORD recordBytes = ReadDword(base, at);
        DWORD count = ReadDword(base, at + 4);
        if (recordBytes < 8 || recordBytes > h.totalBytes - at) return nullptr;
        DWORD end = at + recordBytes;
        std::size_t nameLength = 0;
        const char* blockName = TextAt(base, at + 8, end, &nameLength);
        if (!blockName) return nullptr;
        if (SameName(name, blockName, nameLength)) {
            DWORD s = at + 8 + Pad4(static_cast<DWORD>(nameLength) + 1);
            for (DWORD j = 0; j < count; ++j) {
                if (s + 4 > end) return nullptr;
                DWORD stringBytes = ReadDword(base, s);
                if (stringBytes < 4 || stringBytes > end - s) return nullptr;
                std::size_t keyLength = 0;
                const char* k = TextAt(base, s + 4, s + stringBytes, &keyLength);
                if (!k) return nullptr;
                DWORD valueAt = s + 4 + static_cast<DWORD>(keyLength) + 1;
                const char* v = TextAt(base, valueAt, s + stringBytes, valueLength);
                if (!v) return nullptr;
                if (SameName(key, k, keyLength)) return v;
                s += stringBytes;
            }
        }
        at = end;
    }
    return nullptr;
}

}  // namespace

DWORD GetFileVersionInfoSize(const char* path, DWORD* handle)
{
    if (handle) *handle = 0;
    const VersionRes* v = VersionOf(path);
    return v ? static_cast<DWORD>(Serialize(*v).size()) : 0;
}

BOOL GetFileVersionInfo(const char* path, DWORD, DWORD len, void* data)
{
    const VersionRes* v = VersionOf(path);
    if (!v || !data) return FALSE;
    std::vector<BYTE> block = Serialize(*v);
    if (len < block.size()) return FALSE;
    std::memcpy(data, block.data(), block.size());
    return TRUE;
}

BOOL VerQueryValue(const void* block, const char* subBlock, void** buffer, UINT* len)
{
    if (buffer) *buffer = nullptr;
    if (len) *len = 0;
    if (!block || !subBlock || !buffer || !len) return FALSE;
    const auto* base = static_cast<const BYTE*>(block);
    Header h;
    std::memcpy(&h, base, sizeof h);
    if (h.magic != kMagic || h.totalBytes < sizeof h) return FALSE;
    if (h.fixedOffset + sizeof(VS_FIXEDFILEINFO) > h.totalBytes) return FALSE;
    if (h.translationOffset + h.translationPairs * 2 * sizeof(WORD) > h.totalBytes) return FALSE;

    std::vector<std::string_view> parts = SplitPath(subBlock);
    auto is = [&parts](std::size_t i, const char* name) { return SameName(parts[i], name, std::strlen(name)); };
    void* at = nullptr;
    UINT length = 0;
    if (parts.empty()) {
        at = const_cast<BYTE*>(base + h.fixedOffset);
        length = sizeof(VS_FIXEDFILEINFO);
    } else if (parts.size() == 2 && is(0, "VarFileInfo") && is(1, "Translation")) {
        at = const_cast<BYTE*>(base + h.translationOffset);
        length = h.translationPairs * 2 * sizeof(WORD);
    } else if (parts.size() == 3 && is(0, "StringFileInfo")) {
        std::size_t valueLength = 0;
        const char* v = FindString(base, h, parts[1], parts[2], &valueLength);
        if (!v) return FALSE;
        at = const_cast<char*>(v);
        length = static_cast<UINT>(valueLength + 1);
    } else {
        return FALSE;
    }
    *buffer = at;
    *len = length;
    return TRUE;
}
