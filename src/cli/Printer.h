// The command-line tool's conversations with the printer, one job per connection as
// the dialogs do it, on the same pure parts: the job composer, the listing parser and
// its user-ID/TIF rules, the upload-answer reader, the local copy.
//
// Contract:
// - Every operation works within the session's deadline (the tool's --timeout) and
//   gives up soon after a stop signal.
// - A failure returns false with a one-line reason in the program's own words, naming
//   what the printer or the system said (socket texts come from the string table).
// - Fetch writes through a temporary file and puts the copy in place only when the
//   printer's answer says it is the whole file; with deleteAfter, the deletion job goes
//   out only after the copy is synced and renamed. A failed fetch leaves no temporary
//   file and never touches an existing file at the destination.
#pragma once

#include "cli/PrinterLink.h"
#include "cli/Status.h"
#include "directory/DirTable.h"

#include <cstdint>
#include <string>
#include <vector>

// The directory table with its own storage.
struct CliDirectory {
    CliDirectory();
    DirHeader header{};
    std::vector<DirEntry> entries;
    bool bFull = false;  // the listing had more files than the table holds
};

// Told how a transfer goes (the progress bar).
class IFetchProgress {
public:
    virtual ~IFetchProgress() = default;
    virtual void Begin(const std::string& name, std::uint64_t total) = 0;
    virtual void Update(std::uint64_t bytes) = 0;
    virtual void End() = 0;
};

enum class FetchStatus {
    Copied,            // the copy is in place (and, when asked, the original deleted)
    Failed,            // nothing was put in place; reason says why
    CopiedNotDeleted,  // the copy is in place but the deletion job could not be sent
};

class CPrinterSession {
public:
    CPrinterSession(PrinterTarget target, std::string userID, QbxClock::time_point deadline);

    // Lists the user's files into dir and completes the records.
    bool List(CliDirectory& dir, std::string& reason);
    FetchStatus Fetch(const DirEntry& e, const std::string& dest, bool overwrite, bool deleteAfter,
                      IFetchProgress* progress, std::string& reason);
    bool Delete(const DirEntry& e, std::string& reason);

    bool Stopped() const { return g_nStopSignal != 0; }
    // Moves the deadline on by d (time spent waiting for the user, not the printer).
    void Postpone(QbxClock::duration d);

private:
    bool Connect(CPrinterLink& link, std::string& reason);
    bool SendJob(CPrinterLink& link, int jobKind, const char* path, std::string& reason);
    // Sends the deletion job on link (a new connection when link is closed).
    bool SendDeletion(CPrinterLink& link, const DirEntry& e, std::string& reason);
    std::string SocketReason(int captionId, int error) const;

    PrinterTarget m_target;
    std::string m_userID;
    QbxClock::time_point m_deadline;
    CWaitStatus m_wait;  // the status line while connecting and waiting
};
