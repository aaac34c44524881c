// The POSIX twin of the system services' calls.
#include "platform/system_calls.h"
#include "platform/utf8.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cwctype>
#include <locale.h>
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

bool SysIsSystemProgramFolder(const std::string& folder)
{
    for (const char* system : {"/bin/", "/usr/bin/", "/usr/local/bin/"})
        if (folder == system) return true;
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
        // Without HOME (a service, cron with a bare environment) the home folder is the
        // one the user database names. Never a shared folder such as /tmp: anyone could
        // put a settings file there first and send the scans to a printer of their own.
        const char* home = std::getenv("HOME");
        std::string folder = home && *home ? home : "";
        if (folder.empty()) {
            struct passwd pw {};
            struct passwd* found = nullptr;
            char buffer[4096];
            if (::getpwuid_r(::getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir &&
                found->pw_dir[0] == '/')
                folder = found->pw_dir;
        }
        if (folder.empty()) return {};
        base = folder + "/.config";
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

std::string SysUserPicturesFolder()
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

namespace {

// Unicode's case mappings, from the C library's UTF-8 locale (whatever locale the
// program runs in); null when the system has none, and then only ASCII is folded.
locale_t UnicodeCaseLocale()
{
    static const locale_t loc = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
            if (locale_t l = ::newlocale(LC_CTYPE_MASK, name, nullptr)) return l;
        return static_cast<locale_t>(nullptr);
    }();
    return loc;
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

}  // namespace

std::string SysFileNameKey(const std::string& name)
{
    const locale_t loc = UnicodeCaseLocale();
    std::string key;
    key.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(name, i, cp);
        if (len == 0) {
            key += name[i++];
            continue;
        }
        i += len;
        if (loc != nullptr) {
            // Upper, then lower, then upper again: letters whose capital has a second
            // small form (the final sigma, the dotless i, the long s) meet their pair.
            wint_t c = ::towupper_l(static_cast<wint_t>(cp), loc);
            c = ::towupper_l(::towlower_l(c, loc), loc);
            cp = static_cast<char32_t>(c);
        } else if (cp >= 'a' && cp <= 'z') {
            cp -= 0x20;
        }
        AppendUtf8(key, cp);
    }
    return key;
}

char SysSeparator() { return '/'; }

std::string SysDriveRelativeResolved(const std::string& folder) { return folder; }
