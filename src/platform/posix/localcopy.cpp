// The local copy on POSIX: a temporary file beside the destination, written through
// a buffer, synced and renamed into place.
#include "platform/localcopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr std::size_t kMaxNameInTemp = 200;
constexpr std::size_t kRandomDigits = 8;
constexpr char kPartEnding[] = ".part";
constexpr char kProgramMark[] = ".quillbox-";

// The folder part of a path ("." when it has none), without its trailing "/".
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Eight hex digits that differ from one call to the next; O_EXCL catches a repeat.
std::string RandomDigits()
{
    unsigned int value = 0;
    if (getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value)) {
        static unsigned int counter = 0;
        value = static_cast<unsigned int>(std::time(nullptr)) ^ (static_cast<unsigned int>(getpid()) << 16) ^ ++counter;
    }
    char text[kRandomDigits + 1];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

// Writes all len bytes, going on after a short write or an interruption.
bool WriteAll(int fd, const char* data, std::size_t len, int& err)
{
    while (len > 0) {
        const ssize_t n = ::write(fd, data, len);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            return false;
        }
        if (n == 0) {
            err = EIO;
            return false;
        }
        data += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

LocalCopy::~LocalCopy() { CloseAndRemoveTemp(); }

bool LocalCopy::Fail(const char* what, const std::string& path, int err)
{
    m_failed = true;
    m_error = std::string(what) + " " + path + ": " + std::strerror(err);
    return false;
}

void LocalCopy::CloseAndRemoveTemp()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
    m_buffered = 0;
}

bool LocalCopy::Open(const char* destPath, bool mayReplace, CopyRun* run)
{
    CloseAndRemoveTemp();
    m_failed = false;
    m_mayReplace = mayReplace;
    m_destTaken = false;
    m_runWroteDest = false;
    m_run = run;
    m_error.clear();
    m_destPath = destPath ? destPath : "";
    const std::string name = NameOf(m_destPath);
    if (name.empty()) return Fail("Cannot create a file named", "\"" + m_destPath + "\"", EINVAL);

    const std::string folder = FolderOf(m_destPath);
    const std::string prefix =
        (folder == "/" ? "/" : folder + "/") + "." + name.substr(0, kMaxNameInTemp) + kProgramMark;
    if (!m_buffer) m_buffer = std::make_unique<char[]>(kBufferSize);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = prefix + RandomDigits() + kPartEnding;
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST || errno == EINTR) continue;
            return Fail("Cannot create a file in", folder, errno);
        }
        // Held until the file is closed: a later batch into this folder sees that this
        // temporary file is in use and leaves it alone.
        ::flock(fd, LOCK_EX | LOCK_NB);
        m_fd = fd;
        m_tempPath = std::move(temp);
        m_buffered = 0;
        return true;
    }
    return Fail("Cannot create a file in", folder, EEXIST);
}

const int LocalCopy::kErrNotOpen = EBADF;
const int LocalCopy::kErrNoData = EFAULT;

bool LocalCopy::WriteOut(const char* data, std::size_t len)
{
    int err = 0;
    return WriteAll(static_cast<int>(m_fd), data, len, err) ? true : Fail("Cannot write", m_destPath, err);
}

// Puts the temporary file in place under dest; err holds the reason of a failure
// (EEXIST: dest is taken and may not be replaced).
bool LocalCopy::PutInPlace(int& err)
{
    const char* temp = m_tempPath.c_str();
    const char* dest = m_destPath.c_str();
    if (m_mayReplace) {
        // The new copy keeps the mode of the file the user agreed to replace.
        struct stat old;
        if (::stat(dest, &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(m_fd, old.st_mode & 07777);
        if (::rename(temp, dest) == 0) return true;
        err = errno;
        return false;
    }
    if (::renameat2(AT_FDCWD, temp, AT_FDCWD, dest, RENAME_NOREPLACE) == 0) return true;
    err = errno;
    if (err != EINVAL && err != ENOSYS) return false;
    // A file system that refuses the flag: a second name made by link() fails when
    // dest exists, and the temporary name then goes.
    if (::link(temp, dest) != 0) {
        err = errno;
        return false;
    }
    ::unlink(temp);
    return true;
}

bool LocalCopy::Commit()
{
    if (m_fd < 0) return Fail("Cannot save", m_destPath.empty() ? std::string("the copy") : m_destPath, EBADF);
    bool ok = !m_failed && Flush();
    if (ok && ::fsync(m_fd) != 0) ok = Fail("Cannot save to disk", m_destPath, errno);
    // In place while the file is still open and locked: a clean-up of leftovers
    // elsewhere sees a file in use until it has its final name.
    if (ok) ok = CheckRun();
    bool inPlace = false;
    if (ok) {
        int err = 0;
        inPlace = PutInPlace(err);
        if (inPlace) AddToRun();
        if (!inPlace && err == EEXIST) {
            m_destTaken = true;
            m_failed = true;
            m_error = "Cannot save " + m_destPath +
                      ": a file of that name appeared in the folder while the copy was on its way; "
                      "it was left as it is";
            ok = false;
        } else if (!inPlace) {
            ok = Fail("Cannot put in place", m_destPath, err);
        }
    }
    // The close reports a failed write that a network file system held back.
    const int closed = ::close(m_fd);
    const int closeErr = errno;
    m_fd = -1;
    if (!inPlace) {
        // The copy is not good: its temporary file goes, and the reason stays in Error().
        if (::unlink(m_tempPath.c_str()) != 0 && errno != ENOENT)
            m_error += " (and the partial file " + m_tempPath + " cannot be removed: " + std::strerror(errno) + ")";
        m_tempPath.clear();
        return false;
    }
    m_tempPath.clear();
    if (closed != 0) return Fail("Cannot write", m_destPath, closeErr);

    // The rename is durable only once the folder is synced. Some file systems cannot
    // sync a folder (EINVAL); there the rename stands as it is.
    const std::string folder = FolderOf(m_destPath);
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return Fail("Cannot save to disk", m_destPath, errno);
    const bool synced = ::fsync(dfd) == 0 || errno == EINVAL;
    const int syncErr = errno;
    ::close(dfd);
    return synced ? true : Fail("Cannot save to disk", m_destPath, syncErr);
}

bool LocalCopy::Discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_buffered = 0;
    if (m_tempPath.empty()) return true;
    const std::string temp = std::move(m_tempPath);
    m_tempPath.clear();
    if (::unlink(temp.c_str()) == 0 || errno == ENOENT) return true;
    m_error = "Cannot remove the partial file " + temp + ": " + std::strerror(errno);
    return false;
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
