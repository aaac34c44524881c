// The local copy's system calls on POSIX: a temporary file created with O_EXCL and
// locked with flock, written with write(2), synced, renamed into place (renameat2 with
// RENAME_NOREPLACE unless the user agreed to replace), and the folder synced.
#include "platform/localcopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

// The folder part of a path ("." when it has none), as the folder to sync.
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

const int LocalCopy::kErrNotOpen = EBADF;
const int LocalCopy::kErrNoData = EFAULT;
const int LocalCopy::kErrBadName = EINVAL;
const int LocalCopy::kErrExists = EEXIST;

// Differs from one call to the next; O_EXCL catches a repeat.
unsigned LocalCopy::RandomNumber()
{
    unsigned int value = 0;
    if (getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value)) {
        static unsigned int counter = 0;
        value = static_cast<unsigned int>(std::time(nullptr)) ^ (static_cast<unsigned int>(getpid()) << 16) ^ ++counter;
    }
    return value;
}

namespace {

// Not a system error: a file system that neither renames without replacing nor makes a
// second name for a file (FAT and exFAT through FUSE, some network folders).
constexpr int kErrNoSafePlacing = -1;

}  // namespace

std::string LocalCopy::ReasonOf(int err)
{
    if (err == kErrNoSafePlacing)
        return "the folder's file system can neither rename a file without replacing one of that name nor give a "
               "file a second name, so nothing can be put there without risking another file; choose a folder on "
               "another file system";
    return std::strerror(err);
}

LocalCopy::Made LocalCopy::CreateTemp(const std::string& path, int& err)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        err = errno;
        return err == EEXIST || err == EINTR ? Made::Exists : Made::Failed;
    }
    // Held until the file is closed: a later batch into this folder sees that this
    // temporary file is in use and leaves it alone.
    ::flock(fd, LOCK_EX | LOCK_NB);
    m_fd = fd;
    return Made::Created;
}

// Writes all len bytes, going on after a short write or an interruption.
bool LocalCopy::WriteOut(const char* data, std::size_t len)
{
    const int fd = static_cast<int>(m_fd);
    while (len > 0) {
        const ssize_t n = ::write(fd, data, len);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail("Cannot write", m_destPath, errno);
        }
        if (n == 0) return Fail("Cannot write", m_destPath, EIO);
        data += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

int LocalCopy::SyncFile() { return ::fsync(static_cast<int>(m_fd)) == 0 ? 0 : errno; }

LocalCopy::Placed LocalCopy::PutInPlace(int& err)
{
    const char* temp = m_tempPath.c_str();
    const char* dest = m_destPath.c_str();
    if (m_mayReplace) {
        // The new copy keeps the permissions of the file the user agreed to replace:
        // of that file itself (a link there is replaced, so its target's mode is not
        // the replaced file's), and never its setuid, setgid or sticky bit, which a
        // scan must not pass on.
        struct stat old;
        if (::lstat(dest, &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(static_cast<int>(m_fd), old.st_mode & 0777);
        if (::rename(temp, dest) == 0) return Placed::Done;
        err = errno;
        return err == EEXIST ? Placed::Taken : Placed::Failed;
    }
    if (::renameat2(AT_FDCWD, temp, AT_FDCWD, dest, RENAME_NOREPLACE) == 0) return Placed::Done;
    err = errno;
    if (err == EINVAL || err == ENOSYS) {
        // A file system that refuses the flag: a second name made by link() fails when
        // dest exists, and the temporary name then goes.
        if (::link(temp, dest) == 0) {
            ::unlink(temp);
            return Placed::Done;
        }
        err = errno;
        if (err == EPERM || err == ENOSYS || err == EOPNOTSUPP) err = kErrNoSafePlacing;
    }
    return err == EEXIST ? Placed::Taken : Placed::Failed;
}

bool LocalCopy::DropTemp(std::string* reason)
{
    if (m_fd >= 0) {
        ::close(static_cast<int>(m_fd));
        m_fd = -1;
    }
    if (m_tempPath.empty() || ::unlink(m_tempPath.c_str()) == 0 || errno == ENOENT) return true;
    *reason = std::strerror(errno);
    return false;
}

void LocalCopy::FinishInPlace(int& closeErr, int& syncErr)
{
    const int closed = ::close(static_cast<int>(m_fd));
    m_fd = -1;
    if (closed != 0) {
        closeErr = errno;
        return;
    }
    // The rename is durable only once the folder is synced. Some file systems cannot
    // sync a folder (EINVAL); there the rename stands as it is.
    const int dfd = ::open(FolderOf(m_destPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) {
        syncErr = errno;
        return;
    }
    if (::fsync(dfd) != 0 && errno != EINVAL) syncErr = errno;
    ::close(dfd);
}

int LocalCopy::RemoveLeftovers(const char* folder)
{
    if (folder == nullptr) return -1;
    const int dfd = ::open(*folder ? folder : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return -1;
    DIR* dir = ::fdopendir(dfd);
    if (dir == nullptr) {
        ::close(dfd);
        return -1;
    }
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        if (!IsOurLeftover(e->d_name)) continue;
        // Only a regular file nobody holds locked: one being written by a running copy
        // (of this or another instance) is still in use.
        const int fd = ::openat(dfd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st;
        const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        if (regular && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlinkat(dfd, e->d_name, 0) == 0) ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

bool LocalCopy::IdentityAt(const char* path, std::pair<std::uint64_t, std::uint64_t>& id)
{
    struct stat st;
    if (::lstat(path, &st) != 0) return false;
    id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

bool LocalCopy::OpenIdentity(std::pair<std::uint64_t, std::uint64_t>& id) const
{
    struct stat st;
    if (m_fd < 0 || ::fstat(static_cast<int>(m_fd), &st) != 0) return false;
    id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}
