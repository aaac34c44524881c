// The part of the local copy that is the same on every system: the temporary names
// and the write buffer.
#include "platform/localcopy.h"

#include <cstring>

namespace {

constexpr std::size_t kRandomDigits = 8;
constexpr char kPartEnding[] = ".part";
// Between the name and the digits: a user's own ".notes.cafebabe.part" is never ours.
constexpr char kProgramMark[] = ".quillbox-";

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

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
