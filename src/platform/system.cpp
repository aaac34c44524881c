#include "platform/system.h"

#include <unistd.h>
#include <sys/stat.h>

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
    char path[4096];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return 0;
    path[n] = '\0';
    return CopyOut(path, buffer, size);
}

void SetModuleFileNameOverride(const char* path)
{
    g_hasModuleOverride = path != nullptr;
    g_moduleOverride = path ? path : "";
}

DWORD GetTempPath(DWORD size, char* buffer)
{
    const char* t = std::getenv("TMPDIR");
    std::string s = (t && *t) ? t : "/tmp";
    if (s.back() != '/') s += '/';
    return CopyOut(s, buffer, size);
}

DWORD GetWindowsDirectory(char* buffer, DWORD size)
{
    const char* d = std::getenv("QUILLBOX_SYSTEM_DIR");
    return CopyOut((d && *d) ? d : "/etc", buffer, size);
}

BOOL DeleteFile(const char* path) { return path && ::unlink(path) == 0; }

BOOL FileExists(const char* path)
{
    struct stat st;
    return path && ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

DWORD GetFileAttributes(const char* path)
{
    struct stat st;
    if (!path || ::lstat(path, &st) != 0) return INVALID_FILE_ATTRIBUTES;
    if (S_ISLNK(st.st_mode)) return FILE_ATTRIBUTE_REPARSE_POINT;
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    return FILE_ATTRIBUTE_NORMAL;
}

DWORD GetMaxComponentLength(const char* folder)
{
    const long n = folder ? ::pathconf(*folder ? folder : ".", _PC_NAME_MAX) : -1;
    return n > 0 ? static_cast<DWORD>(n) : 255u;
}

BOOL FolderWritable(const char* folder) { return folder && ::access(*folder ? folder : ".", W_OK) == 0; }

std::string GetUserConfigFolder(const char* app)
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/.config";
    }
    return base + "/" + app + "/";
}

void CreateUserFolder(const std::string& folder)
{
    std::string parent = folder.substr(0, folder.size() - 1);
    parent = parent.substr(0, parent.find_last_of('/'));
    ::mkdir(parent.c_str(), 0700);
    ::mkdir(folder.c_str(), 0700);
}
