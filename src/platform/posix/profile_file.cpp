// The POSIX twin of the INI files' reading and writing.
#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

const char kPathSeparators[] = "/";

namespace {

// Returns 0, or the errno of the failure (ENOENT: no file). Only a regular file is
// read: a pipe or a device named as the settings file would block the program (or
// never end) before anything else could happen; it is opened without waiting for a
// writer and refused with EINVAL.
int ReadWholeFile(const std::string& path, std::string* content)
{
    content->clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno != 0 ? errno : EIO;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    char chunk[4096];
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = errno != 0 ? errno : EIO;
            break;
        }
        if (n == 0) break;
        content->append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return err;
}

bool WriteAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool ReplaceFile(const std::string& path, const std::string& content)
{
    std::string target = path;
    struct stat st {};
    bool exists = false;
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            // Replace the file the link points to, not the link.
            char* real = ::realpath(path.c_str(), nullptr);
            if (real != nullptr) {
                target = real;
                std::free(real);
            }
        }
        exists = ::stat(target.c_str(), &st) == 0;
    }

    static unsigned s_counter = 0;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp =
            target + "." + std::to_string(static_cast<long>(::getpid())) + "." + std::to_string(++s_counter) + ".tmp";
        // 0666 lets the umask decide the mode of a new file, as for any file the program makes.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    bool ok = true;
    if (exists) ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    ok = ok && WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace

ProfileRead ReadProfileFile(const std::string& path, std::string* content)
{
    int err = ReadWholeFile(path, content);
    if (err == 0) return ProfileRead::Ok;
    content->clear();
    return err == ENOENT ? ProfileRead::Missing : ProfileRead::Failed;
}

bool ReplaceProfileFile(const std::string& path, const std::string& content) { return ReplaceFile(path, content); }
