// The part of the local copy that is the same on every system: the temporary names,
// the write buffer, and the order of the steps of Open, Commit and Discard. Each system's
// twin supplies the steps that call the system.
#include "platform/localcopy.h"

#include "platform/profile_file.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kMaxNameInTemp = 200;
constexpr std::size_t kRandomDigits = 8;
constexpr char kPartEnding[] = ".part";
// Between the name and the digits: a user's own ".notes.cafebabe.part" is never ours.
constexpr char kProgramMark[] = ".quillbox-";

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

bool IsSeparator(char c) { return c != '\0' && std::strchr(kPathSeparators, c) != nullptr; }

// The folder part of a path ("." when it has none), without its trailing separator
// unless it is a root ("/", or a drive's "C:\\" on Windows).
std::string FolderOf(const std::string& path)
{
    const std::size_t sep = path.find_last_of(kPathSeparators);
    if (sep == std::string::npos) return ".";
    const bool drive = sep == 2 && path[1] == ':' && IsSeparator('\\');
    if (sep == 0 || drive) return path.substr(0, sep + 1);
    return path.substr(0, sep);
}

std::string NameOf(const std::string& path)
{
    const std::size_t sep = path.find_last_of(kPathSeparators);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

}  // namespace

LocalCopy::~LocalCopy() { CloseAndRemoveTemp(); }

bool LocalCopy::Fail(const char* what, const std::string& path, int err)
{
    m_failed = true;
    m_error = std::string(what) + " " + path + ": " + ReasonOf(err);
    return false;
}

void LocalCopy::CloseAndRemoveTemp()
{
    std::string ignored;
    DropTemp(&ignored);
    m_tempPath.clear();
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
    m_replaceOnly.reset();
    m_error.clear();
    m_destPath = destPath ? destPath : "";
    const std::string name = NameOf(m_destPath);
    if (name.empty()) return Fail("Cannot create a file named", "\"" + m_destPath + "\"", kErrBadName);

    const std::string folder = FolderOf(m_destPath);
    const std::string prefix =
        folder + (IsSeparator(folder.back()) ? "" : "/") + "." + name.substr(0, kMaxNameInTemp) + kProgramMark;
    if (!m_buffer) m_buffer = std::make_unique<char[]>(kBufferSize);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char digits[kRandomDigits + 1];
        std::snprintf(digits, sizeof digits, "%08x", RandomNumber());
        std::string temp = prefix + digits + kPartEnding;
        int err = 0;
        const Made made = CreateTemp(temp, err);
        if (made == Made::Exists) continue;
        if (made == Made::Failed) return Fail("Cannot create a file in", folder, err);
        m_tempPath = std::move(temp);
        m_buffered = 0;
        return true;
    }
    return Fail("Cannot create a file in", folder, kErrExists);
}

bool LocalCopy::Commit()
{
    if (m_fd == -1) return Fail("Cannot save", m_destPath.empty() ? std::string("the copy") : m_destPath, kErrNotOpen);
    bool ok = !m_failed && Flush();
    if (ok) {
        const int err = SyncFile();
        if (err != 0) ok = Fail("Cannot save to disk", m_destPath, err);
    }
    // In place while the file is still open and locked: a clean-up of leftovers
    // elsewhere sees a file in use until it has its final name.
    if (ok) ok = CheckRun();
    // The agreement was for the file the user was asked about: another one under that
    // name by now is not replaced.
    if (ok && m_mayReplace && m_replaceOnly) {
        FileId there;
        if (!IdentityAt(m_destPath.c_str(), there) || there != *m_replaceOnly) m_mayReplace = false;
    }
    Placed placed = Placed::Failed;
    if (ok) {
        int err = 0;
        placed = PutInPlace(err);
        if (placed == Placed::Done) AddToRun();
        if (placed == Placed::Taken) {
            m_destTaken = true;
            m_failed = true;
            m_error = "Cannot save " + m_destPath +
                      ": a file of that name appeared in the folder while the copy was on its way; "
                      "it was left as it is";
        } else if (placed == Placed::Failed) {
            Fail("Cannot put in place", m_destPath, err);
        }
    }
    if (placed != Placed::Done) {
        // The copy is not good: its temporary file goes, and the reason stays in Error().
        std::string reason;
        if (!DropTemp(&reason))
            m_error += " (and the partial file " + m_tempPath + " cannot be removed: " + reason + ")";
        m_tempPath.clear();
        return false;
    }
    m_tempPath.clear();
    int closeErr = 0, syncErr = 0;
    FinishInPlace(closeErr, syncErr);
    // The close reports a failed write that a network file system held back.
    if (closeErr != 0) return Fail("Cannot write", m_destPath, closeErr);
    if (syncErr != 0) return Fail("Cannot save to disk", m_destPath, syncErr);
    return true;
}

bool LocalCopy::Discard()
{
    m_buffered = 0;
    const std::string temp = m_tempPath;
    std::string reason;
    const bool removed = DropTemp(&reason);
    m_tempPath.clear();
    if (removed) return true;
    m_error = "Cannot remove the partial file " + temp + ": " + reason;
    return false;
}

bool LocalCopy::IsOurLeftover(const char* fileName)
{
    if (fileName == nullptr || fileName[0] != '.') return false;
    const std::size_t len = std::strlen(fileName);
    const std::size_t endingLen = sizeof kPartEnding - 1;
    const std::size_t markLen = sizeof kProgramMark - 1;
    // "." + at least one character of the name + ".quillbox-" + digits + ".part"
    if (len < 1 + 1 + markLen + kRandomDigits + endingLen) return false;
    if (std::strcmp(fileName + len - endingLen, kPartEnding) != 0) return false;
    const char* digits = fileName + len - endingLen - kRandomDigits;
    for (std::size_t i = 0; i < kRandomDigits; ++i)
        if (!IsLowerHex(digits[i])) return false;
    return std::strncmp(digits - markLen, kProgramMark, markLen) == 0;
}

bool LocalCopy::Flush()
{
    if (m_buffered == 0) return true;
    const std::size_t n = m_buffered;
    m_buffered = 0;
    return WriteOut(m_buffer.get(), n);
}

bool LocalCopy::Write(const char* data, std::size_t len)
{
    if (m_fd == -1) return Fail("Cannot write", m_destPath.empty() ? std::string("the copy") : m_destPath, kErrNotOpen);
    if (m_failed) return false;
    if (len == 0) return true;
    if (data == nullptr) return Fail("Cannot write", m_destPath, kErrNoData);
    if (m_buffered + len <= kBufferSize) {
        std::memcpy(m_buffer.get() + m_buffered, data, len);
        m_buffered += len;
        return true;
    }
    if (!Flush()) return false;
    if (len < kBufferSize) {
        std::memcpy(m_buffer.get(), data, len);
        m_buffered = len;
        return true;
    }
    return WriteOut(data, len);
}

bool CopyRun::Wrote(const char* path) const
{
    std::pair<std::uint64_t, std::uint64_t> id;
    return path != nullptr && !m_files.empty() && LocalCopy::IdentityAt(path, id) && m_files.count(id) != 0;
}

bool LocalCopy::CheckRun()
{
    m_runWroteDest = m_run != nullptr && m_run->Wrote(m_destPath.c_str());
    if (!m_runWroteDest) return true;
    m_failed = true;
    m_error = "Cannot save " + m_destPath +
              ": this run already saved another scan as that file (the folder takes the two names for one "
              "file); it was left as it is";
    return false;
}

void LocalCopy::AddToRun()
{
    std::pair<std::uint64_t, std::uint64_t> id;
    if (m_run != nullptr && OpenIdentity(id)) m_run->m_files.insert(id);
}
