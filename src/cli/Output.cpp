// The tool's output: list text and JSON, progress bar, failure lines.
#include "cli/Output.h"

#include "cli/Names.h"
#include "cli/Texts.h"
#include "platform/console.h"

#include <chrono>
#include <cstring>

namespace {

std::string Field(const char* f, std::size_t size) { return std::string(f, strnlen(f, size)); }

void SplitDateTime(const DirEntry& e, std::string& date, std::string& time)
{
    std::string dt = Field(e.dateTime, sizeof e.dateTime);
    auto tab = dt.find('\t');
    date = tab == std::string::npos ? dt : dt.substr(0, tab);
    time = tab == std::string::npos ? std::string() : dt.substr(tab + 1);
}

bool AllDigits(const std::string& s)
{
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

double NowSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string Clock(double seconds)
{
    if (seconds < 0 || seconds > 359999) return "--:--";
    long s = static_cast<long>(seconds + 0.5);
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

// The length of the UTF-8 sequence at text[i] (its code point in cp), or 0 when the
// byte there starts none: a stray continuation byte, an overlong form, a surrogate, a
// sequence cut short.
std::size_t Utf8At(const std::string& text, std::size_t i, char32_t& cp)
{
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto d = static_cast<unsigned char>(text[i + k]);
        if (d < (k == 1 ? lo : 0x80) || d > (k == 1 ? hi : 0xBF)) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    return n;
}

// C0, DEL and C1: a terminal acts on them instead of showing them.
bool IsControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

}  // namespace

std::string Shown(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        std::size_t n = Utf8At(text, i, cp);
        // A byte that is no UTF-8 is kept (a Latin-1 folder name stays as it is)
        // unless it is a C1 control of the 8-bit character sets.
        if (n == 0) {
            const auto c = static_cast<unsigned char>(text[i]);
            out += c >= 0x80 && c <= 0x9F ? '?' : text[i];
            ++i;
            continue;
        }
        if (IsControl(cp)) {
            out += '?';
            i += n;
            continue;
        }
        out.append(text, i, n);
        i += n;
    }
    return out;
}

void PrintListText(std::FILE* out, const DirHeader& dir, const std::vector<int>& order, bool header)
{
    if (header)
        // Column headings of the file list, in the columns of the lines below.
        std::fprintf(out, "%s %s %s  %s  %s  %s\n", PadRight(Tr("quillbox-cli list", "NAME"), 15).c_str(),
                     PadLeft(Tr("quillbox-cli list", "DUP"), 4).c_str(),
                     PadLeft(Tr("quillbox-cli list", "SIZE"), 11).c_str(),
                     PadRight(Tr("quillbox-cli list", "DATE"), 8).c_str(),
                     PadRight(Tr("quillbox-cli list", "TIME"), 8).c_str(), Tr("quillbox-cli list", "STABLE NAME"));
    for (int i : order) {
        const DirEntry& e = dir.entries[i];
        std::string date, time;
        SplitDateTime(e, date, time);
        std::string dup = Shown(Field(e.dupNumber, sizeof e.dupNumber));
        std::fprintf(out, "%-15s %4s %11s  %-8s  %-8s  %s\n", Shown(Field(e.name, sizeof e.name)).c_str(),
                     dup.empty() ? "-" : dup.c_str(), Shown(Field(e.size, sizeof e.size)).c_str(),
                     date.empty() ? "-" : Shown(date).c_str(), time.empty() ? "-" : Shown(time).c_str(),
                     Shown(StableName(e)).c_str());
    }
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        std::size_t n = Utf8At(text, i, cp);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (cp == '"' || cp == '\\') {
            out += '\\';
            out += static_cast<char>(cp);
        } else if (IsControl(cp)) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
            out += buf;
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    return out + "\"";
}

void PrintListJson(std::FILE* out, const DirHeader& dir, const std::vector<int>& order)
{
    std::fputs("[", out);
    bool first = true;
    for (int i : order) {
        const DirEntry& e = dir.entries[i];
        std::string date, time;
        SplitDateTime(e, date, time);
        std::string dup = Field(e.dupNumber, sizeof e.dupNumber);
        std::string size = Field(e.size, sizeof e.size);
        std::string d = EntryDateDigits(e);
        std::string stamp = d.empty() ? "null"
                                      : JsonString(d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + "T" +
                                                   d.substr(8, 2) + ":" + d.substr(10, 2) + ":" + d.substr(12, 2));
        std::fprintf(
            out,
            "%s\n  {\"file\": %s, \"stable\": %s, \"name\": %s, \"dup\": %s, \"size\": %s, \"date\": %s, \"time\": %s, "
            "\"timestamp\": %s, \"path\": %s}",
            first ? "" : ",", JsonString(CliFileName(e)).c_str(), JsonString(StableName(e)).c_str(),
            JsonString(Field(e.name, sizeof e.name)).c_str(), AllDigits(dup) ? dup.c_str() : "null",
            AllDigits(size) ? size.c_str() : JsonString(size).c_str(), date.empty() ? "null" : JsonString(date).c_str(),
            time.empty() ? "null" : JsonString(time).c_str(), stamp.c_str(),
            JsonString(Field(e.path, sizeof e.path)).c_str());
        first = false;
    }
    std::fputs(first ? "]\n" : "\n]\n", out);
}

std::string HumanBytes(std::uint64_t bytes)
{
    static const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double v = static_cast<double>(bytes);
    int u = 0;
    while (v >= 1024 && u < 4) {
        v /= 1024;
        ++u;
    }
    char buf[32];
    if (u == 0)
        std::snprintf(buf, sizeof buf, "%llu B", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(buf, sizeof buf, "%.1f %s", v, units[u]);
    return buf;
}

std::string CProgressBar::Line(const std::string& name, std::uint64_t bytes, std::uint64_t total, double seconds,
                               int width)
{
    double fraction = total ? static_cast<double>(bytes) / static_cast<double>(total) : 1.0;
    if (fraction > 1) fraction = 1;
    double rate = seconds > 0 ? static_cast<double>(bytes) / seconds : 0;
    std::string left = rate > 0 ? Clock(static_cast<double>(total - std::min(bytes, total)) / rate) : "--:--";
    char tail[128];
    // Fixed-width fields keep the bar from changing length while it fills.
    std::snprintf(tail, sizeof tail, " %3d%%  %10s / %-10s  %10s/s  %s", static_cast<int>(fraction * 100),
                  HumanBytes(bytes).c_str(), HumanBytes(total).c_str(),
                  HumanBytes(static_cast<std::uint64_t>(rate)).c_str(),
                  TrF("quillbox-cli, status", "%5s left", left.c_str()).c_str());
    std::string shown = name;
    auto slash = shown.find_last_of('/');
    if (slash != std::string::npos) shown = shown.substr(slash + 1);
    if (shown.size() > 24) shown = shown.substr(0, 23) + "~";
    int barWidth = width - static_cast<int>(shown.size()) - static_cast<int>(std::strlen(tail)) - 4;
    if (barWidth > 30) barWidth = 30;
    std::string line = shown;
    if (barWidth >= 5) {
        int filled = static_cast<int>(fraction * barWidth);
        line += " [" + std::string(filled, '#') + std::string(barWidth - filled, '-') + "]";
    }
    line += tail;
    if (width > 0 && static_cast<int>(line.size()) > width) line.resize(width);
    return line;
}

void CProgressBar::Begin(const std::string& name, std::uint64_t total)
{
    m_name = Shown(name);
    m_total = total;
    m_start = NowSeconds();
    m_lastDraw = -1;
    Update(0);
}

void CProgressBar::Update(std::uint64_t bytes)
{
    double now = NowSeconds();
    if (m_lastDraw >= 0 && now - m_lastDraw < 0.1 && bytes < m_total) return;
    m_lastDraw = now;
    int width = TerminalColumns(m_out) - 1;
    std::fprintf(m_out, "\r%s\033[K", Line(m_name, bytes, m_total, now - m_start, width).c_str());
    std::fflush(m_out);
}

void CProgressBar::End()
{
    std::fputs("\r\033[K", m_out);
    std::fflush(m_out);
}

void PrintFailure(const std::string& name, const std::string& reason)
{
    std::fprintf(stderr, "quillbox-cli: %s: %s\n", Shown(name).c_str(), Shown(reason).c_str());
}
