// What the command-line tool prints: the file list as text or JSON, the one-line
// progress bar, and the reason lines of failed files.
#pragma once

#include "cli/Printer.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Writes the records of order (indexes into dir) as text lines: name, duplicate
// number ("-" for none), size, date, time, stable name; with header a title line
// first. Printer texts are shown as Shown() makes them.
void PrintListText(std::FILE* out, const DirHeader& dir, const std::vector<int>& order, bool header);
// Writes the records as one JSON array of objects (file, stable, name, dup, size,
// date, time, timestamp, path), one object per line.
void PrintListJson(std::FILE* out, const DirHeader& dir, const std::vector<int>& order);
// A JSON string literal of text: quotes, backslashes and control characters (C0, DEL,
// C1) escaped; a byte that is not part of UTF-8 becomes U+FFFD, so the output stays
// valid JSON whatever the printer sent.
std::string JsonString(const std::string& text);
// text fit to be written to a terminal or a log: every control character (C0, DEL,
// C1 whether written in UTF-8 or as one byte 0x80-0x9F, and so the escape that starts
// an escape sequence) becomes "?". Other bytes that are not UTF-8 stay as they are,
// so a file name in another encoding still names its file. The printer's names and
// sizes pass through here before they are shown.
std::string Shown(const std::string& text);

// "1.5 MiB", "512 B".
std::string HumanBytes(std::uint64_t bytes);

// A one-line bar on a terminal: name, bar, percentage, bytes, rate and time left.
// Redrawn at most ten times a second; End() clears the line.
class CProgressBar : public IFetchProgress {
public:
    explicit CProgressBar(std::FILE* out) : m_out(out) {}
    void Begin(const std::string& name, std::uint64_t total) override;
    void Update(std::uint64_t bytes) override;
    void End() override;

    // The bar's text for a state, width columns at most (also used by the tests).
    static std::string Line(const std::string& name, std::uint64_t bytes, std::uint64_t total, double seconds,
                            int width);

private:
    std::FILE* m_out;
    std::string m_name;
    std::uint64_t m_total = 0;
    double m_start = 0;
    double m_lastDraw = -1;
};

// "quillbox-cli: NAME: reason" on stderr, both shown as Shown() makes them.
void PrintFailure(const std::string& name, const std::string& reason);
