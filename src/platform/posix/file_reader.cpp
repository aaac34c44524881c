// The POSIX twin of the plain-file reader: O_NOFOLLOW and fstat on what was opened.
#include "platform/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

PlainFileReader::~PlainFileReader()
{
    if (m_handle >= 0) ::close(static_cast<int>(m_handle));
}

bool PlainFileReader::Open(const char* path)
{
    m_plain = false;
    m_error.clear();
    // O_NONBLOCK: a pipe or device at path must not hold the open up.
    const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // ELOOP: path is a link.
        if (errno != ELOOP) m_error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_handle = fd;
    m_path = path;
    m_size = static_cast<std::uint64_t>(st.st_size);
    m_plain = true;
    return true;
}

long PlainFileReader::Read(char* buffer, std::size_t len)
{
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(m_handle), buffer, len);
        if (got >= 0) return static_cast<long>(got);
        if (errno == EINTR) continue;
        m_error = std::strerror(errno);
        return -1;
    }
}

bool PlainFileReader::SyncToDisk()
{
    if (m_handle < 0) {
        m_error = std::strerror(EBADF);
        return false;
    }
    // fsync takes a descriptor opened for reading as well.
    if (::fsync(static_cast<int>(m_handle)) != 0) {
        m_error = std::strerror(errno);
        return false;
    }
    const std::size_t slash = m_path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : m_path.substr(0, slash);
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) {
        m_error = std::strerror(errno);
        return false;
    }
    const bool synced = ::fsync(dfd) == 0 || errno == EINVAL;
    if (!synced) m_error = std::strerror(errno);
    ::close(dfd);
    return synced;
}
