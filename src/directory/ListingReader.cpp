// Reading the printer's answer to the directory job: lines, end markers, the
// back channel's messages and PJL status blocks, and the records among them.
#include "directory/DirTable.h"

#include <cstring>
#include <string_view>

namespace {

constexpr char kFormFeed = '\f';
constexpr char kCtrlD = '\x04';

bool IsLineEnd(char c) { return c == '\r' || c == '\n' || c == kFormFeed; }

// Bytes dropped before the first character of a line.
bool IsLeadingFill(char c) { return c == ' ' || c == '\t' || c == '\0' || c == kCtrlD; }

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool SameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Printable ASCII only, at most max characters: the text goes into a message box,
// a terminal and the trace.
std::string Printable(std::string_view s, std::size_t max)
{
    std::string out;
    for (char c : s) {
        if (out.size() >= max) break;
        const auto u = static_cast<unsigned char>(c);
        out += u >= 0x20 && u < 0x7F ? c : '?';
    }
    return out;
}

// The volume a name begins with and how long that prefix is: "%disk0%" (a
// PostScript device) or "0:" (a PJL volume). 0 when the name begins with neither.
std::size_t VolumePrefix(std::string_view line)
{
    if (StartsWith(line, "%")) {
        const std::size_t close = line.find('%', 1);
        // A device name is short and holds no separator.
        if (close == std::string_view::npos || close > 16) return 0;
        for (std::size_t i = 1; i < close; ++i)
            if (line[i] == '/' || line[i] == '\t' || line[i] == ' ') return 0;
        return close + 1;
    }
    std::size_t i = 0;
    while (i < line.size() && i < 3 && line[i] >= '0' && line[i] <= '9') ++i;
    if (i > 0 && i < line.size() && line[i] == ':') return i + 1;
    return 0;
}

}  // namespace

void CListingReader::Begin() { *this = CListingReader(); }

void CListingReader::ResetLine()
{
    m_len = 0;
    m_line[0] = '\0';
    m_overflow = false;
    m_badByte = false;
    m_tail[0] = m_tail[1] = m_tail[2] = '\0';
    m_messageStart = 0;
}

std::string CListingReader::TakeStatus()
{
    std::string s;
    s.swap(m_status);
    return s;
}

int CListingReader::Feed(DirHeader& dir, const char* userID, const char* bytes, int len)
{
    if (m_mode == Mode::Done) return m_result;
    if (!dir.entries || !bytes || len <= 0 || dir.count < 0 || dir.count > QBX_MAX_DIR_ENTRIES) return QBX_LIST_MORE;
    if (dir.count == QBX_MAX_DIR_ENTRIES) m_bFull = true;
    if (m_bFull) return QBX_LIST_MORE;

    for (int p = 0; p < len; ++p) {
        const char c = bytes[p];
        if (m_mode == Mode::StatusBlock) {
            // Everything up to the block's form feed is the printer's status.
            if (c == kFormFeed) m_mode = Mode::Line;
            continue;
        }
        if (IsLineEnd(c)) {
            const int r = EndLine(dir, userID, c == kFormFeed);
            if (r != QBX_LIST_MORE || m_bFull) return r;
            continue;
        }
        if (m_mode == Mode::Line && m_len == 0 && IsLeadingFill(c)) continue;
        if (c == '\0') {
            // A NUL inside a line: no name holds one, and the line cannot be stored as sent.
            m_badByte = true;
            continue;
        }
        if (m_len < kLineMax) {
            m_line[m_len++] = c;
            m_line[m_len] = '\0';
        } else {
            m_overflow = true;
        }
        m_tail[0] = m_tail[1];
        m_tail[1] = m_tail[2];
        m_tail[2] = c;

        if (m_mode == Mode::Message) {
            if (++m_messageBytes > 5 && std::memcmp(m_tail, "]%%", 3) == 0) {
                const int r = TakeMessage();
                if (r != QBX_LIST_MORE) return r;
                m_mode = Mode::Line;
                if (m_messageStart == 0) {
                    ResetLine();
                } else {
                    // The line goes on after the message as if it had not been there.
                    m_len = m_messageStart;
                    m_line[m_len] = '\0';
                    m_overflow = false;
                    m_badByte = m_badByteBeforeMessage;
                    m_tail[0] = m_tail[1] = m_tail[2] = '\0';
                    m_messageStart = 0;
                }
            }
            continue;
        }
        if (m_len == 3 && !m_badByte) {
            if (std::memcmp(m_line, "%%%", 3) == 0 || std::memcmp(m_line, "***", 3) == 0) {
                m_mode = Mode::Done;
                m_result = m_line[0] == '%' && dir.count > 0 ? QBX_LIST_COMPLETE : QBX_LIST_NO_FILES;
                ResetLine();
                return m_result;
            }
        }
        if (m_len >= 3 && !m_overflow && (m_len > 3 || !m_badByte) && std::memcmp(m_tail, "%%[", 3) == 0) {
            // A message may also come in the middle of a line, between the parts the
            // listing program prints one by one.
            m_mode = Mode::Message;
            m_messageStart = m_len - 3;
            m_messageBytes = 3;
            m_badByteBeforeMessage = m_badByte;
        }
    }
    return QBX_LIST_MORE;
}

int CListingReader::ConnectionEnded(DirHeader& dir, const char* userID)
{
    if (m_mode == Mode::Done) return m_result;
    if (m_mode != Mode::StatusBlock && !m_bFull && m_len > 0) {
        const int r = EndLine(dir, userID, false);
        if (r == QBX_LIST_REFUSED) return r;
    }
    return QBX_LIST_MORE;
}

int CListingReader::EndLine(DirHeader& dir, const char* userID, bool formFeed)
{
    int r = QBX_LIST_MORE;
    if (m_mode == Mode::Message) {
        // A message cut short by its line end is still a message, never a record; nor is
        // what came before it on that line (where the message was to end is unknown).
        r = TakeMessage();
        m_mode = Mode::Line;
    } else if (m_len > 0) {
        const std::string_view line(m_line, static_cast<std::size_t>(m_len));
        if (StartsWith(line, "@PJL")) {
            // A status block's lines run through its form feed; other PJL answers are one line.
            const bool ustatus =
                StartsWith(line, "@PJL USTATUS") && (line.size() == 12 || line[12] == ' ' || line[12] == '\t');
            if (ustatus && !formFeed) m_mode = Mode::StatusBlock;
        } else {
            TakeRecord(dir, userID);
        }
    }
    ResetLine();
    if (r == QBX_LIST_REFUSED) {
        m_mode = Mode::Done;
        m_result = r;
    }
    return r;
}

int CListingReader::TakeMessage()
{
    std::string_view text(m_line + m_messageStart, static_cast<std::size_t>(m_len - m_messageStart));
    text.remove_prefix(3);  // "%%["
    if (!m_overflow && text.size() >= 3 && text.substr(text.size() - 3) == "]%%") text.remove_suffix(3);
    text = Trim(text);
    const std::size_t colon = text.find(':');
    const std::string_view key = Trim(text.substr(0, colon == std::string_view::npos ? 0 : colon));
    if (SameLetters(key, "Error") || SameLetters(key, "Flushing")) {
        m_refusal = Printable(text, kMessageMax);
        m_mode = Mode::Done;
        m_result = QBX_LIST_REFUSED;
        return QBX_LIST_REFUSED;
    }
    m_status = Printable(text, kMessageMax);
    return QBX_LIST_MORE;
}

void CListingReader::TakeRecord(DirHeader& dir, const char* userID)
{
    if (m_overflow || m_badByte) return;
    std::string_view line(m_line, static_cast<std::size_t>(m_len));
    if (const std::size_t prefix = VolumePrefix(line)) {
        const std::string_view volume = line.substr(0, prefix);
        const std::string_view rest = line.substr(prefix);
        // The first disk is where the upload and the deletion look for a name
        // without a volume; a file on any other volume cannot be named safely.
        const bool firstDisk = volume == "%disk0%" || volume == "0:";
        if (!firstDisk || StartsWith(rest, "/") || StartsWith(rest, "\\")) {
            if (IsListingLineWanted(std::string(rest).c_str(), userID)) ++m_nOtherVolume;
            return;
        }
        line = rest;
        // Behind a volume prefix too, a PJL line or a back-channel message is no record.
        if (StartsWith(line, "@PJL") || StartsWith(line, "%%[")) return;
    }
    // Blanks and TABs around the size are the printer's layout, not part of the size.
    std::string joined;
    if (const std::size_t tab = line.find('\t'); tab != std::string_view::npos) {
        joined = std::string(line.substr(0, tab + 1)) + std::string(Trim(line.substr(tab + 1)));
        line = joined;
    }
    DirEntry& e = dir.entries[dir.count];
    if (line.size() >= sizeof e.path) return;
    char text[sizeof e.path] = {};
    std::memcpy(text, line.data(), line.size());
    if (!IsListingLineWanted(text, userID)) return;
    std::memset(&e, 0, sizeof e);
    std::memcpy(e.path, text, sizeof e.path);
    if (++dir.count >= QBX_MAX_DIR_ENTRIES) m_bFull = true;
}

std::string DescribePrinterError(const std::string& message)
{
    std::string_view text = Trim(message);
    const std::size_t colon = text.find(':');
    const std::string_view key = Trim(text.substr(0, colon == std::string_view::npos ? 0 : colon));
    if (colon != std::string_view::npos) text = Trim(text.substr(colon + 1));
    if (!SameLetters(key, "Error")) return std::string(text);
    // "invalidaccess; OffendingCommand: filenameforall"
    const std::size_t semi = text.find(';');
    std::string what(Trim(text.substr(0, semi)));
    if (semi != std::string_view::npos) {
        std::string_view rest = Trim(text.substr(semi + 1));
        if (StartsWith(rest, "OffendingCommand:")) {
            rest = Trim(rest.substr(17));
            const std::size_t end = rest.find(';');
            what += " in " + std::string(Trim(rest.substr(0, end)));
        }
    }
    return what;
}

std::string PrinterErrorIn(std::string_view answer)
{
    std::string flushing;
    for (std::size_t at = answer.find("%%["); at != std::string_view::npos; at = answer.find("%%[", at)) {
        at += 3;
        // A message ends at its "]%%", or cut short at its line's end.
        std::size_t end = answer.find("]%%", at);
        const std::size_t lineEnd = answer.find_first_of("\r\n\f", at);
        if (end == std::string_view::npos || (lineEnd != std::string_view::npos && lineEnd < end)) end = lineEnd;
        const std::string_view text = Trim(answer.substr(at, end == std::string_view::npos ? end : end - at));
        const std::size_t colon = text.find(':');
        const std::string_view key = Trim(text.substr(0, colon == std::string_view::npos ? 0 : colon));
        if (SameLetters(key, "Error")) return Printable(text, CListingReader::kMessageMax);
        if (SameLetters(key, "Flushing") && flushing.empty()) flushing = Printable(text, CListingReader::kMessageMax);
    }
    return flushing;
}
