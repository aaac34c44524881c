// The POSIX twin of the system services' calls.
#include "platform/system_calls.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

bool SysExecutablePath(std::string* out)
{
    char path[4096];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return false;
    out->assign(path, static_cast<std::size_t>(n));
    return true;
}

std::string SysTempFolder()
{
    const char* t = std::getenv("TMPDIR");
    std::string s = (t && *t) ? t : "/tmp";
    if (s.back() != '/') s += '/';
    return s;
}

std::string SysSystemFolder()
{
    const char* d = std::getenv("QUILLBOX_SYSTEM_DIR");
    return (d && *d) ? d : "/etc";
}

bool SysDeleteFile(const char* path) { return ::unlink(path) == 0; }

bool SysIsRegularFile(const char* path)
{
    struct stat st;
    return ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

SysEntry SysLookAt(const char* path)
{
    struct stat st;
    if (::lstat(path, &st) != 0) return SysEntry::None;
    if (S_ISLNK(st.st_mode)) return SysEntry::Link;
    if (S_ISDIR(st.st_mode)) return SysEntry::Directory;
    return SysEntry::Other;
}

unsigned SysMaxComponentLength(const char* folder)
{
    const long n = ::pathconf(folder, _PC_NAME_MAX);
    return n > 0 ? static_cast<unsigned>(n) : 0u;
}

bool SysFolderWritable(const char* folder) { return ::access(folder, W_OK) == 0; }

bool SysIsProgramFolder(const char* folder)
{
    for (const char* system : {"/bin/", "/usr/bin/", "/usr/local/bin/"})
        if (std::strcmp(folder, system) == 0) return true;
    return false;
}

bool SysStat(const char* path, bool* isFolder, std::uint64_t* size)
{
    struct stat st;
    if (::stat(path, &st) != 0) return false;
    *isFolder = S_ISDIR(st.st_mode);
    *size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

std::string SysUserConfigFolder(const char* app)
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

void SysCreateUserFolder(const std::string& folder)
{
    std::string parent = folder.substr(0, folder.size() - 1);
    parent = parent.substr(0, parent.find_last_of('/'));
    ::mkdir(parent.c_str(), 0700);
    ::mkdir(folder.c_str(), 0700);
}
