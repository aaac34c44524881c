#include "retrieval/UploadAnswer.h"

#include <cstring>
#include <string_view>
#include <utility>

namespace {

// The longest SIZE the reader takes: 19 digits always fit 64 bits.
constexpr std::size_t kMaxSizeDigits = 19;

bool ReadDecimal(std::string_view text, std::uint64_t& value)
{
    if (text.empty() || text.size() > kMaxSizeDigits) return false;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    value = v;
    return true;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The line with the blanks before and after each "=" outside quotes taken out.
std::string JoinAroundEquals(std::string_view line)
{
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') quoted = !quoted;
        if (!quoted && IsBlank(c)) {
            std::size_t next = i;
            while (next < line.size() && IsBlank(line[next])) ++next;
            const bool afterEquals = !out.empty() && out.back() == '=';
            if (afterEquals || (next < line.size() && line[next] == '=')) {
                i = next - 1;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace

CUploadAnswer::CUploadAnswer(std::string askedPath, std::uint64_t listedSize)
    : m_asked(std::move(askedPath)), m_listed(listedSize)
{
}

UploadBytes CUploadAnswer::Feed(const char* bytes, std::size_t n)
{
    UploadBytes out;
    if (Finished() || bytes == nullptr || n == 0) return out;

    std::size_t used = 0;
    if (!m_headerDone) {
        used = GatherHeader(bytes, n);
        if (Finished() || !m_headerDone) return out;
    }

    const std::size_t avail = n - used;
    const std::uint64_t missing = m_announced - m_data;
    const std::size_t take = static_cast<std::uint64_t>(avail) < missing ? avail : static_cast<std::size_t>(missing);
    if (take > 0) {
        out.data = bytes + used;
        out.len = take;
        m_data += take;
    }
    // Any byte after the last data byte (the form feed, or what a device sends
    // before it) means the printer has sent the whole file.
    if (avail > take) m_verdict = UploadVerdict::Whole;
    return out;
}

void CUploadAnswer::ConnectionEnded()
{
    if (Finished()) return;
    if (m_headerDone)
        m_verdict = m_data == m_announced ? UploadVerdict::Whole : UploadVerdict::EndedEarly;
    else if (m_inSecondLine)
        DecideWithoutSize();
    else
        m_verdict = UploadVerdict::EndedEarly;
}

std::size_t CUploadAnswer::GatherHeader(const char* bytes, std::size_t n)
{
    std::size_t i = 0;
    while (i < n && !m_headerDone && !Finished()) {
        const char c = bytes[i++];
        if (m_inStatusBlock) {
            // A status block the printer sends on its own runs through its form feed.
            if (c == '\f') m_inStatusBlock = false;
            continue;
        }
        // NUL bytes and the ends of earlier PJL answers may come before the header.
        if (m_windowLen == 0 && !m_inSecondLine && (c == '\0' || c == '\r' || c == '\n' || c == '\f')) continue;
        m_window[m_windowLen++] = c;
        if (!m_inSecondLine) {
            if (c == '\n') {
                // The line ends in LF, or CR LF; the CR is not part of its text.
                int len = m_windowLen - 1;
                if (len > 0 && m_window[len - 1] == '\r') --len;
                if (SkipStatusLine(len)) continue;
                TakeHeaderLine(len);
            } else if (m_windowLen >= 2 && m_window[m_windowLen - 2] == '\r') {
                // A CR that is not followed by LF: not a line this reader knows.
                m_verdict = UploadVerdict::NotAFile;
            }
        } else if (c == '\n' || c == '\f') {
            DecideWithoutSize();
        }
        if (m_windowLen == kHeaderWindow && !m_headerDone && !Finished()) {
            // The window is full and nothing is decided: no line this reader can take.
            if (m_inSecondLine)
                DecideWithoutSize();
            else
                m_verdict = UploadVerdict::NotAFile;
        }
    }
    return i;
}

bool CUploadAnswer::SkipStatusLine(int len)
{
    const std::string_view line(m_window, static_cast<std::size_t>(len));
    if (!StartsWith(line, "@PJL USTATUS") && !StartsWith(line, "@PJL ECHO")) return false;
    // Not the answer to the upload: the printer's status (through its form feed) or an echo.
    m_inStatusBlock = StartsWith(line, "@PJL USTATUS");
    m_windowLen = 0;
    return true;
}

void CUploadAnswer::TakeHeaderLine(int len)
{
    // Words are separated by blanks; a quoted value (the file's name) is one word
    // whatever it holds, so a name cannot pose as SIZE. Blanks around "=" (NAME = "…",
    // as the PJL reference writes it) belong to neither word.
    const std::string joined = JoinAroundEquals(std::string_view(m_window, static_cast<std::size_t>(len)));
    const std::string_view line(joined);
    bool upload = false, haveSize = false, haveName = false, sameName = false;
    std::uint64_t size = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const std::size_t start = i;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            if (line[i] == '"') quoted = !quoted;
            ++i;
        }
        if (quoted) {
            m_verdict = UploadVerdict::NotAFile;
            return;
        }
        const std::string_view word = line.substr(start, i - start);
        if (word == "FSUPLOAD") {
            upload = true;
        } else if (StartsWith(word, "NAME=\"") && word.size() >= 7 && word.back() == '"') {
            if (haveName) {
                m_verdict = UploadVerdict::NotAFile;
                return;
            }
            haveName = true;
            sameName = word.substr(6, word.size() - 7) == std::string_view(m_asked);
        } else if (StartsWith(word, "SIZE=")) {
            if (haveSize || !ReadDecimal(word.substr(5), size)) {
                m_verdict = UploadVerdict::NotAFile;
                return;
            }
            haveSize = true;
        } else if (StartsWith(word, "OFFSET=")) {
            std::uint64_t offset = 0;
            if (!ReadDecimal(word.substr(7), offset) || offset != 0) {
                m_verdict = UploadVerdict::NotAFile;
                return;
            }
        }
    }
    if (!upload || !haveName) {
        m_verdict = UploadVerdict::NotAFile;
        return;
    }
    if (!sameName) {
        m_verdict = UploadVerdict::OtherFile;
        return;
    }
    if (!haveSize) {
        // A device that cannot send the file says why on the next line (FILEERROR=n).
        m_inSecondLine = true;
        m_secondLine = m_windowLen;
        return;
    }
    m_announced = size;
    m_headerDone = true;
    if (size != m_listed) m_verdict = UploadVerdict::SizeChanged;
}

void CUploadAnswer::DecideWithoutSize()
{
    const std::string_view second(m_window + m_secondLine, static_cast<std::size_t>(m_windowLen - m_secondLine));
    m_verdict = StartsWith(second, "FILEERROR") ? UploadVerdict::NotOnPrinter : UploadVerdict::NotAFile;
}
