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

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// PJL's words in either case: some devices answer in the case of their own firmware.
bool SameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

bool StartsWithLetters(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameLetters(text.substr(0, prefix.size()), prefix);
}

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
    if (!m_dataBegun) {
        used += SkipBeforeData(bytes + used, n - used);
        if (Finished() || !m_dataBegun) return out;
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

std::size_t CUploadAnswer::SkipBeforeData(const char* bytes, std::size_t n)
{
    std::size_t i = 0;
    while (i < n && !m_dataBegun && !Finished()) {
        const char c = bytes[i];
        if (m_inStatusBlock) {
            ++i;
            if (c == '\f') m_inStatusBlock = false;
            continue;
        }
        if (m_windowLen == 0) {
            // The ends of a skipped status line, before the first data byte.
            if (m_skippedStatus && (c == '\0' || c == '\r' || c == '\n' || c == '\f')) {
                ++i;
                continue;
            }
            if (c != '@') {
                m_dataBegun = true;
                break;
            }
        }
        ++i;
        m_window[m_windowLen++] = c;
        const std::string_view so_far(m_window, static_cast<std::size_t>(m_windowLen));
        if (c == '\n') {
            int len = m_windowLen - 1;
            if (len > 0 && m_window[len - 1] == '\r') --len;
            if (SkipStatusLine(len)) {
                m_skippedStatus = true;
                continue;
            }
        }
        // A scan never begins with "@": the line is the printer's own, or the answer is
        // none this reader can take (its first bytes are not handed out).
        const bool statusSoFar = StartsWithLetters("@PJL USTATUS", so_far.substr(0, 12)) ||
                                 StartsWithLetters("@PJL ECHO", so_far.substr(0, 9));
        if (c == '\n' || !statusSoFar || m_windowLen == kHeaderWindow) m_verdict = UploadVerdict::NotAFile;
    }
    return i;
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
    const bool status = StartsWithLetters(line, "@PJL USTATUS");
    if (!status && !StartsWithLetters(line, "@PJL ECHO")) return false;
    // Not the answer to the upload: the printer's status (through its form feed) or an echo.
    m_inStatusBlock = status;
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
    bool upload = false, haveSize = false, haveName = false, sameName = false, fileError = false;
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
        if (SameLetters(word, "FSUPLOAD")) {
            upload = true;
        } else if (StartsWithLetters(word, "NAME=\"") && word.size() >= 7 && word.back() == '"') {
            if (haveName) {
                m_verdict = UploadVerdict::NotAFile;
                return;
            }
            haveName = true;
            sameName = word.substr(6, word.size() - 7) == std::string_view(m_asked);
        } else if (StartsWithLetters(word, "SIZE=")) {
            if (haveSize || !ReadDecimal(word.substr(5), size)) {
                m_verdict = UploadVerdict::NotAFile;
                return;
            }
            haveSize = true;
        } else if (StartsWithLetters(word, "FILEERROR=")) {
            // Some devices give the reason on the header line itself.
            fileError = true;
        } else if (StartsWithLetters(word, "OFFSET=")) {
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
    if (!haveSize && fileError) {
        m_verdict = UploadVerdict::NotOnPrinter;
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
    m_windowLen = 0;
    // A 0-byte file has no first data byte to look for.
    m_dataBegun = size == 0;
    if (size != m_listed) m_verdict = UploadVerdict::SizeChanged;
}

void CUploadAnswer::DecideWithoutSize()
{
    std::string_view second(m_window + m_secondLine, static_cast<std::size_t>(m_windowLen - m_secondLine));
    while (!second.empty() && (IsBlank(second.front()) || second.front() == '\0')) second.remove_prefix(1);
    m_verdict = StartsWithLetters(second, "FILEERROR") ? UploadVerdict::NotOnPrinter : UploadVerdict::NotAFile;
}
