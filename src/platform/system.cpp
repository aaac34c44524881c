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

namespace {

bool IsFolder(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithSlash(std::string path)
{
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// The value of XDG_PICTURES_DIR in a user-dirs.dirs file: a quoted "$HOME/..." or
// absolute path, with \-escapes; empty when the file or the line is not there.
std::string PicturesFromUserDirs(const std::string& file, const std::string& home)
{
    FILE* f = std::fopen(file.c_str(), "re");
    if (!f) return {};
    std::string found;
    char line[4096];
    while (std::fgets(line, sizeof line, f)) {
        const char* p = line;
        while (*p == ' ' || *p == '\t') ++p;
        static const char kKey[] = "XDG_PICTURES_DIR";
        if (std::strncmp(p, kKey, sizeof kKey - 1) != 0) continue;
        p += sizeof kKey - 1;
        while (*p == ' ' || *p == '\t') ++p;
        if (*p++ != '=') continue;
        while (*p == ' ' || *p == '\t') ++p;
        if (*p++ != '"') continue;
        std::string value;
        if (std::strncmp(p, "$HOME", 5) == 0 && (p[5] == '/' || p[5] == '"')) {
            if (home.empty()) continue;
            value = home;
            p += 5;
        } else if (*p != '/') {
            continue;  // only "$HOME/..." and absolute paths are meant
        }
        bool closed = false;
        for (; *p && !closed; ++p) {
            if (*p == '\\' && p[1]) {
                value += *++p;
            } else if (*p == '"') {
                closed = true;
            } else {
                value += *p;
            }
        }
        if (closed) found = value;  // the last line of the file counts
    }
    std::fclose(f);
    return found;
}

}  // namespace

std::string GetUserPicturesFolder()
{
    const char* h = std::getenv("HOME");
    std::string home = h && *h ? h : "";
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string config = xdg && *xdg ? std::string(xdg) : (home.empty() ? std::string() : home + "/.config");
    std::string pictures = config.empty() ? std::string() : PicturesFromUserDirs(config + "/user-dirs.dirs", home);
    while (pictures.size() > 1 && pictures.back() == '/') pictures.pop_back();
    // A PICTURES folder that is the home folder itself means the user has none.
    if (!pictures.empty() && pictures != home && IsFolder(pictures)) return WithSlash(pictures);
    return IsFolder(home) ? WithSlash(home) : std::string();
}

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
