// The Windows twin of the system services' calls. Paths cross this boundary as UTF-8
// with "/" between folders (Win32 takes "/" as well as "\\", and the program's own path
// code splits at "/"); they are UTF-16 inside.
#include "platform/system_calls.h"

#include "platform/win32/utf16.h"

#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

std::string Slashed(std::wstring w)
{
    std::replace(w.begin(), w.end(), L'\\', L'/');
    return Narrow(w);
}

std::string WithSlash(std::string s)
{
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}

std::string EnvUtf8(const wchar_t* name)
{
    const wchar_t* v = ::_wgetenv(name);
    return v && *v ? Slashed(v) : std::string();
}

std::wstring KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::wstring out;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path) out = path;
    ::CoTaskMemFree(path);
    return out;
}

}  // namespace

bool SysExecutablePath(std::string* out)
{
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return false;
        if (n < buf.size()) {
            buf.resize(n);
            *out = Slashed(buf);
            return true;
        }
        if (buf.size() >= 32768) return false;
        buf.resize(buf.size() * 2);
    }
}

std::string SysTempFolder()
{
    wchar_t buf[MAX_PATH + 2];
    DWORD n = ::GetTempPathW(MAX_PATH + 2, buf);
    if (n == 0 || n > MAX_PATH + 1) return "C:/Windows/Temp/";
    return WithSlash(Slashed(std::wstring(buf, n)));
}

std::string SysSystemFolder()
{
    std::string d = EnvUtf8(L"QUILLBOX_SYSTEM_DIR");
    if (!d.empty()) return d;
    wchar_t buf[MAX_PATH];
    UINT n = ::GetWindowsDirectoryW(buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "C:/Windows";
    return Slashed(std::wstring(buf, n));
}

bool SysDeleteFile(const char* path) { return ::DeleteFileW(Widen(path).c_str()) != FALSE; }

bool SysIsRegularFile(const char* path)
{
    DWORD a = ::GetFileAttributesW(Widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

SysEntry SysLookAt(const char* path)
{
    DWORD a = ::GetFileAttributesW(Widen(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return SysEntry::None;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) return SysEntry::Link;
    if (a & FILE_ATTRIBUTE_DIRECTORY) return SysEntry::Directory;
    return SysEntry::Other;
}

unsigned SysMaxComponentLength(const char* folder)
{
    // The volume the folder is on: its root ("C:\\", "\\\\server\\share\\").
    wchar_t root[MAX_PATH];
    std::wstring full = Widen(folder);
    if (!::GetVolumePathNameW(full.c_str(), root, MAX_PATH)) return 0;
    DWORD maxLen = 0;
    if (!::GetVolumeInformationW(root, nullptr, 0, nullptr, &maxLen, nullptr, nullptr, 0)) return 0;
    return static_cast<unsigned>(maxLen);
}

bool SysFolderWritable(const char* folder)
{
    // Read-only attributes on folders mean nothing on Windows; making a file tells.
    std::wstring probe = Widen(WithSlash(folder)) + L".quillbox-write-test";
    HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        return true;
    }
    // Another instance probing at this moment: the folder takes files.
    return ::GetLastError() == ERROR_FILE_EXISTS;
}

bool SysStat(const char* path, bool* isFolder, std::uint64_t* size)
{
    // Opening follows links; attributes and size come from what was opened.
    HANDLE h =
        ::CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = ::GetFileInformationByHandle(h, &info) != FALSE;
    ::CloseHandle(h);
    if (!ok) return false;
    *isFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    *size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return true;
}

bool SysIsSystemProgramFolder(const std::string& folder)
{
    auto lower = [](std::string s) {
        for (char& c : s) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c == '\\') c = '/';
        }
        return s;
    };
    const std::string f = lower(folder);
    const std::string roots[] = {Slashed(KnownFolder(FOLDERID_ProgramFiles)),
                                 Slashed(KnownFolder(FOLDERID_ProgramFilesX86)),
                                 Slashed(KnownFolder(FOLDERID_UserProgramFiles)),
                                 EnvUtf8(L"ProgramFiles"),
                                 EnvUtf8(L"ProgramFiles(x86)"),
                                 EnvUtf8(L"ProgramW6432")};
    for (const std::string& root : roots) {
        if (root.empty()) continue;
        const std::string r = lower(WithSlash(root));
        if (f.compare(0, r.size(), r) == 0) return true;
    }
    return false;
}

std::string SysUserConfigFolder(const char* app)
{
    std::string base = Slashed(KnownFolder(FOLDERID_RoamingAppData));
    if (base.empty()) base = EnvUtf8(L"APPDATA");
    if (base.empty()) base = WithSlash(SysTempFolder()) + "AppData";
    // Windows names a program's folder as the program is named ("Quillbox").
    std::string name = app ? app : "";
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return WithSlash(base) + name + "/";
}

std::string SysUserPicturesFolder()
{
    // The Pictures known folder; the user's profile folder when it has none.
    std::string pictures = Slashed(KnownFolder(FOLDERID_Pictures));
    if (pictures.empty()) pictures = Slashed(KnownFolder(FOLDERID_Profile));
    if (pictures.empty()) return {};
    DWORD a = ::GetFileAttributesW(Widen(pictures).c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return WithSlash(pictures);
}

void SysCreateUserFolder(const std::string& folder)
{
    std::string parent = folder.substr(0, folder.size() - 1);
    parent = parent.substr(0, parent.find_last_of('/'));
    ::CreateDirectoryW(Widen(parent).c_str(), nullptr);
    ::CreateDirectoryW(Widen(folder).c_str(), nullptr);
}

std::string SysFileNameKey(const std::string& name)
{
    // As NTFS compares names: ordinal, each UTF-16 unit upper-cased by the system's
    // table, no locale's rules.
    std::wstring w = Widen(name);
    if (w.empty()) return {};
    const int n = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, w.data(), static_cast<int>(w.size()), nullptr,
                                  0, nullptr, nullptr, 0);
    if (n <= 0) return Narrow(w);
    std::wstring upper(static_cast<std::size_t>(n), L'\0');
    ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, w.data(), static_cast<int>(w.size()), upper.data(), n,
                    nullptr, nullptr, 0);
    // Letters whose capital is an ASCII or Latin-1 one: tables differ between Windows
    // versions (and Wine) on these, so they count as their capital whatever this
    // system's table says. Taking two names for one file costs a "_1"; the reverse
    // costs a scan.
    for (wchar_t& c : upper) {
        if (c == 0x0131) c = L'I';                          // dotless i
        if (c == 0x017F) c = L'S';                          // long s
        if (c == 0x212A) c = L'K';                          // Kelvin sign
        if (c == 0x212B) c = static_cast<wchar_t>(0x00C5);  // Angstrom sign
    }
    return Narrow(upper);
}

char SysSeparator() { return '\\'; }

std::string SysDriveRelativeResolved(const std::string& folder)
{
    const bool drive = folder.size() >= 2 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':';
    if (!drive || (folder.size() > 2 && (folder[2] == '/' || folder[2] == '\\'))) return folder;
    const std::wstring w = Widen(folder);
    DWORD n = ::GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0) return folder;
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
    if (n == 0 || n >= full.size()) return folder;
    full.resize(n);
    return Narrow(full);
}
