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
//   file and never touches anything at the destination (a file, a link of any kind, a
//   pipe), not even what appears there while the copy is on its way, unless overwrite
//   allows it.
// - A file listed at 2147483647 bytes or more (the most one upload answer carries, and
//   the size a printer announces for a larger file it cuts) is refused before any byte
//   is fetched; it stays on the printer.
#pragma once

#include "cli/PrinterLink.h"
#include "cli/Status.h"
#include "directory/DirTable.h"
#include "platform/localcopy.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// The directory table with its own storage.
struct CliDirectory {
    CliDirectory();
    DirHeader header{};
    std::vector<DirEntry> entries;
    bool bFull = false;     // the listing had more files than the table holds
    bool bRefused = false;  // the printer stopped the listing with an error message
    int nOtherVolume = 0;   // files of the user on a volume that cannot be named safely
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

    // Lists the user's files into dir and completes the records. False (reason said)
    // when the listing did not come through whole: dir.bRefused when the printer
    // refused it on its back channel.
    bool List(CliDirectory& dir, std::string& reason);
    // run (may be null) is the batch's: a file it wrote is never replaced (see CopyRun).
    FetchStatus Fetch(const DirEntry& e, const std::string& dest, bool overwrite, bool deleteAfter,
                      IFetchProgress* progress, std::string& reason, CopyRun* run = nullptr);
    // Fetches e again and compares it with local, a regular file of the printer's
    // size, as the bytes arrive (nothing is written); only when the printer's whole file
    // is local byte for byte is the deletion job sent. Copied: proved equal and the
    // deletion sent; Failed: not proved (reason says whether the bytes differ);
    // CopiedNotDeleted: equal, but the deletion job could not be sent.
    FetchStatus DeleteIfSame(const DirEntry& e, const std::string& local, IFetchProgress* progress,
                             std::string& reason);
    bool Delete(const DirEntry& e, std::string& reason);
    // Fetch, saved as a PDF at pdfDest holding every page of the scan. The printer's
    // whole file is gathered in memory and converted; a scan that cannot be carried
    // over into a PDF whole (or one too large to convert in memory) is saved as its
    // TIFF at tifDest instead, with notConverted saying why. savedAs is the file put in
    // place. The deletion (deleteAfter) follows only once that file, PDF or TIFF, is
    // whole and on disk. overwrite applies to either destination; run as for Fetch.
    FetchStatus FetchPdf(const DirEntry& e, const std::string& pdfDest, const std::string& tifDest, bool overwrite,
                         bool deleteAfter, IFetchProgress* progress, std::string& savedAs, std::string& notConverted,
                         std::string& reason, CopyRun* run = nullptr);
    // DeleteIfSame for a PDF: the printer's whole file is fetched again into memory and
    // converted as FetchPdf converts it (the conversion is deterministic), and the
    // deletion job is sent only when localPdf, a regular file, holds exactly those
    // bytes. Statuses as for DeleteIfSame; a scan that cannot be converted (or is too
    // large to convert in memory) is not proved.
    FetchStatus DeleteIfSamePdf(const DirEntry& e, const std::string& localPdf, IFetchProgress* progress,
                                std::string& reason);

    // What the printer said on its back channel to the last deletion job for e's path
    // ("Error: invalidaccess; OffendingCommand: deletefile"), or "" when it said no error.
    std::string DeletionRefusal(const DirEntry& e) const;

    bool Stopped() const { return g_nStopSignal != 0; }
    QbxClock::time_point Deadline() const { return m_deadline; }
    // Moves the deadline on by d (time spent waiting for the user, not the printer).
    void Postpone(QbxClock::duration d);

private:
    // Takes the file bytes of an upload answer; false (reason said) stops the transfer.
    using DataSink = std::function<bool(const char* data, std::size_t len, std::string& reason)>;

    bool Connect(CPrinterLink& link, std::string& reason);
    // Something is at dest: false (reason said) unless overwrite allows replacing it.
    static bool DestinationFree(const std::string& dest, bool overwrite, std::string& reason);
    // Sends the upload job for e on link and hands the answer's file bytes to sink; true
    // only when the answer was the printer's whole file. A failure's reason ends in what.
    bool ReceiveWhole(CPrinterLink& link, const DirEntry& e, std::uint64_t listed, const std::string& shownAs,
                      const DataSink& sink, IFetchProgress* progress, const std::string& what, std::string& reason);
    // Connects on link and gathers e's whole file (at most listed bytes, converted in
    // memory) into tiff; as ReceiveWhole otherwise.
    bool ReceiveScan(CPrinterLink& link, const DirEntry& e, std::uint64_t listed, const std::string& shownAs,
                     IFetchProgress* progress, const std::string& what, std::string& tiff, std::string& reason);
    bool SendJob(CPrinterLink& link, int jobKind, const char* path, std::string& reason);
    // Sends the deletion job on link (a new connection when link is closed).
    bool SendDeletion(CPrinterLink& link, const DirEntry& e, std::string& reason);
    // The deletion of e once its local copy is known whole: Copied when the job went
    // out, CopiedNotDeleted (reason said) after a stop signal or when it could not.
    FetchStatus DeleteOriginal(CPrinterLink& link, const DirEntry& e, std::string& reason);
    std::string SocketReason(int captionId, int error) const;

    PrinterTarget m_target;
    std::string m_userID;
    QbxClock::time_point m_deadline;
    CWaitStatus m_wait;  // the status line while connecting and waiting
    // The printer's error messages to deletion jobs, by path.
    std::map<std::string, std::string> m_deletionRefusals;
};
