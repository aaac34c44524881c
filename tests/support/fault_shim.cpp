// Loaded with LD_PRELOAD, makes chosen system calls fail the way a sick disk or an odd
// file system does, for the local copy's temporary files only (names ending in
// ".part"), so that every other file of the process behaves as usual.
//
// QBX_FAULT is read at every call (a test may change it while it runs), a comma list:
//   fsync=ERRNO      fsync of a temporary file fails (EIO, ENOSPC, ...)
//   fsynckept=ERRNO  fsync of any other plain file fails (a copy found in the folder)
//   renameat2=ERRNO  renameat2 fails, as on a file system that refuses RENAME_NOREPLACE
//   unlink=ERRNO     unlink/unlinkat of a temporary file fails
//   link=ERRNO       link of a temporary file fails
// ERRNO is a name from the table below. Without QBX_FAULT every call goes through.
// QBX_FAULT_LOG=FILE appends one line per fsync, rename, renameat2 and link of a
// temporary file ("fsync PATH", "rename FROM"), in the order the calls were made.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct ErrnoName {
    const char* name;
    int value;
};
constexpr ErrnoName kErrnos[] = {{"EIO", EIO},       {"ENOSPC", ENOSPC}, {"EINVAL", EINVAL}, {"ENOSYS", ENOSYS},
                                 {"EACCES", EACCES}, {"EPERM", EPERM},   {"EROFS", EROFS},   {"EBUSY", EBUSY}};

// The errno QBX_FAULT names for call, 0 when it names none.
int FaultFor(const char* call)
{
    const char* rules = std::getenv("QBX_FAULT");
    if (rules == nullptr) return 0;
    const std::size_t len = std::strlen(call);
    for (const char* p = rules; *p;) {
        const char* end = std::strchr(p, ',');
        if (end == nullptr) end = p + std::strlen(p);
        if (static_cast<std::size_t>(end - p) > len + 1 && std::strncmp(p, call, len) == 0 && p[len] == '=') {
            const char* value = p + len + 1;
            for (const ErrnoName& e : kErrnos)
                if (std::strlen(e.name) == static_cast<std::size_t>(end - value) &&
                    std::strncmp(value, e.name, static_cast<std::size_t>(end - value)) == 0)
                    return e.value;
        }
        p = *end ? end + 1 : end;
    }
    return 0;
}

bool IsTemporary(const char* path)
{
    if (path == nullptr) return false;
    const std::size_t len = std::strlen(path);
    return len > 5 && std::strcmp(path + len - 5, ".part") == 0;
}

bool FdIsTemporary(int fd, char* path, std::size_t size)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, path, size - 1);
    if (n <= 0) return false;
    path[n] = '\0';
    return IsTemporary(path);
}

void Log(const char* call, const char* path)
{
    const char* file = std::getenv("QBX_FAULT_LOG");
    if (file == nullptr) return;
    // Plain system calls: no stdio buffer to lose when the process ends by a signal.
    const int fd = ::open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    char line[4200];
    const int n = std::snprintf(line, sizeof line, "%s %s\n", call, path);
    if (n > 0) [[maybe_unused]]
        ssize_t w = ::write(fd, line, static_cast<std::size_t>(n));
    ::close(fd);
}

template <typename F>
F Next(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

int Refuse(int err)
{
    errno = err;
    return -1;
}

}  // namespace

extern "C" {

// Tells a test that the shim is loaded.
int qbx_fault_shim_loaded() { return 1; }

int fsync(int fd)
{
    static auto real = Next<int (*)(int)>("fsync");
    char path[4096];
    if (FdIsTemporary(fd, path, sizeof path)) {
        Log("fsync", path);
        if (const int err = FaultFor("fsync")) return Refuse(err);
    } else if (struct stat st; ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (const int err = FaultFor("fsynckept")) return Refuse(err);
    }
    return real(fd);
}

int rename(const char* from, const char* to)
{
    static auto real = Next<int (*)(const char*, const char*)>("rename");
    if (IsTemporary(from)) Log("rename", from);
    return real(from, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags)
{
    static auto real = Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    if (IsTemporary(from)) {
        Log("renameat2", from);
        if (const int err = FaultFor("renameat2")) return Refuse(err);
    }
    return real(fromDir, from, toDir, to, flags);
}

int link(const char* from, const char* to)
{
    static auto real = Next<int (*)(const char*, const char*)>("link");
    if (IsTemporary(from)) {
        Log("link", from);
        if (const int err = FaultFor("link")) return Refuse(err);
    }
    return real(from, to);
}

int unlink(const char* path)
{
    static auto real = Next<int (*)(const char*)>("unlink");
    if (IsTemporary(path))
        if (const int err = FaultFor("unlink")) return Refuse(err);
    return real(path);
}

int unlinkat(int dir, const char* path, int flags)
{
    static auto real = Next<int (*)(int, const char*, int)>("unlinkat");
    if (IsTemporary(path))
        if (const int err = FaultFor("unlink")) return Refuse(err);
    return real(dir, path, flags);
}

}  // extern "C"
