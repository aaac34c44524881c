#include "platform/system.h"

#include "platform/system_calls.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::function<void(const std::string&)> g_traceSink;
std::string g_moduleOverride;
bool g_hasModuleOverride = false;

DWORD CopyOut(const std::string& s, char* buffer, DWORD size)
{
    if (!buffer || size == 0) return 0;
    std::size_t n = s.size();
    if (n > size - 1) n = size - 1;
    std::memcpy(buffer, s.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

}  // namespace

void OutputDebugString(const char* text)
{
    if (!text) return;
    if (g_traceSink) g_traceSink(text);
    static const bool toStderr = std::getenv("QUILLBOX_TRACE") != nullptr;
    if (toStderr) {
        std::fputs(text, stderr);
        std::fflush(stderr);
    }
}

void TraceF(const char* format, ...)
{
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    OutputDebugString(buf);
}

void SetTraceSink(std::function<void(const std::string&)> sink) { g_traceSink = std::move(sink); }

DWORD GetModuleFileName(char* buffer, DWORD size)
{
    if (g_hasModuleOverride) return CopyOut(g_moduleOverride, buffer, size);
    std::string path;
    if (!SysExecutablePath(&path)) return 0;
    return CopyOut(path, buffer, size);
}

void SetModuleFileNameOverride(const char* path)
{
    g_hasModuleOverride = path != nullptr;
    g_moduleOverride = path ? path : "";
}

DWORD GetTempPath(DWORD size, char* buffer) { return CopyOut(SysTempFolder(), buffer, size); }

DWORD GetWindowsDirectory(char* buffer, DWORD size) { return CopyOut(SysSystemFolder(), buffer, size); }

BOOL DeleteFile(const char* path) { return path && SysDeleteFile(path); }

BOOL FileExists(const char* path) { return path && SysIsRegularFile(path); }

DWORD GetFileAttributes(const char* path)
{
    switch (path ? SysLookAt(path) : SysEntry::None) {
    case SysEntry::None: return INVALID_FILE_ATTRIBUTES;
    case SysEntry::Directory: return FILE_ATTRIBUTE_DIRECTORY;
    case SysEntry::Link: return FILE_ATTRIBUTE_REPARSE_POINT;
    case SysEntry::Other: break;
    }
    return FILE_ATTRIBUTE_NORMAL;
}

DWORD GetMaxComponentLength(const char* folder)
{
    const unsigned n = folder ? SysMaxComponentLength(*folder ? folder : ".") : 0;
    return n > 0 ? static_cast<DWORD>(n) : 255u;
}

BOOL FolderWritable(const char* folder) { return folder && SysFolderWritable(*folder ? folder : "."); }

BOOL IsSystemProgramFolder(const char* folder)
{
    if (!folder || !*folder) return FALSE;
    std::string f = folder;
    if (f.back() != '/' && f.back() != '\\') f += '/';
    return SysIsSystemProgramFolder(f);
}

BOOL FolderExists(const char* path)
{
    bool isFolder = false;
    std::uint64_t size = 0;
    return path && SysStat(path, &isFolder, &size) && isFolder;
}

BOOL GetPathSize(const char* path, std::uint64_t* size)
{
    bool isFolder = false;
    return path && size && SysStat(path, &isFolder, size);
}

std::string GetUserConfigFolder(const char* app) { return SysUserConfigFolder(app); }

std::string GetUserPicturesFolder() { return SysUserPicturesFolder(); }

void CreateUserFolder(const std::string& folder) { SysCreateUserFolder(folder); }

std::string FileNameKey(const std::string& name) { return SysFileNameKey(name); }

std::string NativePath(const std::string& path)
{
    std::string out = path;
    // On POSIX a backslash is a character of the name.
    if (SysSeparator() == '\\') std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

std::string FolderPrefix(const std::string& folder)
{
    std::string out = NativePath(SysDriveRelativeResolved(folder.empty() ? "." : folder));
    if (out.back() != SysSeparator()) out += SysSeparator();
    return out;
}

char NativeSeparator() { return SysSeparator(); }

std::string DocumentationPointer(const char* program)
{
    if (SysSeparator() == '/') return std::string("See ") + program + "(1).";
    std::string exe;
    if (!SysExecutablePath(&exe)) return "See README.txt in the program's folder.";
    exe = NativePath(exe);
    const std::size_t sep = exe.rfind(SysSeparator());
    return "See README.txt in " + (sep == std::string::npos ? exe : exe.substr(0, sep)) + ".";
}
