// What the tool tells a person at a terminal: one status line while it connects and
// waits for the printer, and one summary line when a command is done.
//
// Contract:
// - The status line is written through IStatusLine only, so a console that is not
//   driven by escape sequences can bring its own. Show replaces the line's text,
//   Clear removes it (and does nothing when nothing is shown); a line is always
//   cleared before anything else is printed on the same terminal.
// - CliStatus() is the status line the printer conversations report to; null (the
//   default, and whenever the tool is not on a terminal or is quiet) shows nothing.
// - IsTerminal is the one place the tool asks whether a stream is a terminal.
#pragma once

#include "cli/PrinterLink.h"

#include <cstdio>
#include <string>

class IStatusLine {
public:
    virtual ~IStatusLine() = default;
    virtual void Show(const std::string& text) = 0;
    virtual void Clear() = 0;
};

// A status line on a terminal that understands "\r" and erase-to-end-of-line.
class CTerminalStatusLine : public IStatusLine {
public:
    explicit CTerminalStatusLine(std::FILE* out) : m_out(out) {}
    ~CTerminalStatusLine() override { Clear(); }
    void Show(const std::string& text) override;
    void Clear() override;

private:
    std::FILE* m_out;
    bool m_shown = false;
};

// True when f is a terminal (the system's answer: platform/console.h).
bool IsTerminal(std::FILE* f);

void SetCliStatus(IStatusLine* status);  // not owned; null: none
IStatusLine* CliStatus();

// The texts of the status line.
std::string ConnectingText(const PrinterTarget& target);
std::string WaitingText(int seconds);  // "Waiting for the printer…", with " N s" from 1 s on

// Reports a wait on the status line for as long as it lives, counting the seconds:
// Connecting while the connection is made, Waiting while an answer is awaited.
// Tick() after every slice of a wait; the line is cleared when it ends.
class CWaitStatus {
public:
    CWaitStatus() = default;
    ~CWaitStatus() { End(); }
    CWaitStatus(const CWaitStatus&) = delete;
    CWaitStatus& operator=(const CWaitStatus&) = delete;

    void Connecting(const PrinterTarget& target);
    void Waiting();
    void Tick();
    void End();

private:
    bool m_waiting = false;
    bool m_active = false;
    QbxClock::time_point m_start{};
    int m_shownSeconds = -1;
};

// What a get, sync or delete did, for its summary line.
struct CliTally {
    int copied = 0;
    int deleted = 0;
    int alreadyThere = 0;
    int failed = 0;
};

enum class SummaryKind { Get, Sync, Delete };

// "copied 2 to DIR, deleted 2 on the printer, 1 already there, 0 failed": the parts
// that belong to the command (deletions only when asked for, already there only for
// sync).
std::string SummaryText(SummaryKind kind, const CliTally& t, const std::string& folder, bool deleting);
// Prints the summary on stderr when it is wanted: on a terminal unless quiet
// (verbosity -1), and anywhere when verbose (1).
void PrintSummary(int verbosity, bool terminal, SummaryKind kind, const CliTally& t, const std::string& folder,
                  bool deleting);
