// Listing, fetching and deleting over the tool's own connection.
#include "cli/Printer.h"
#include "cli/Texts.h"

#include "directory/ListingText.h"
#include "link/JobLanguage.h"
#include "platform/file_reader.h"
#include "platform/localcopy.h"
#include "platform/resources.h"
#include "platform/socket.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/PdfWriter.h"
#include "retrieval/UploadAnswer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// The dialogs receive 2048 bytes at a time; a file is received in larger pieces
// because a scan can be hundreds of megabytes and every receive costs a system call.
constexpr std::size_t kListingChunk = 2048;
constexpr std::size_t kFileChunk = 256 * 1024;
// How long a connection that carried a deletion is given to close after it.
constexpr auto kFinishGrace = std::chrono::seconds(5);

std::string Text(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

// A message box's text on one line of the terminal.
std::string OneLine(std::string text)
{
    for (std::size_t at; (at = text.find("\n\n")) != std::string::npos;) text.replace(at, 2, " ");
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

// Clears the status line when an operation ends, however it ends.
struct EndWait {
    CWaitStatus& wait;
    ~EndWait() { wait.End(); }
};

}  // namespace

CliDirectory::CliDirectory() : entries(QBX_MAX_DIR_ENTRIES) { header.entries = entries.data(); }

CPrinterSession::CPrinterSession(PrinterTarget target, std::string userID, QbxClock::time_point deadline)
    : m_target(std::move(target)), m_userID(std::move(userID)), m_deadline(deadline)
{
}

std::string CPrinterSession::SocketReason(int captionId, int error) const
{
    if (error == WSAEINTR) return Tr("quillbox-cli, file", "stopped by a signal");
    if (error == WSAETIMEDOUT && captionId != static_cast<int>(IDS_SOCKET_CONNECT_ERROR))
        return TrF("quillbox-cli, file", "%s: the printer did not answer before the time-out (--timeout)",
                   GetStringRes(captionId));
    std::string text = SocketErrorText(error);
    if (text.empty()) text = TrF("quillbox-cli, file", "error %d", error);
    return TrF("quillbox-cli, file", "%s: %s (printer %s:%d)", GetStringRes(captionId), text.c_str(),
               m_target.host.c_str(), m_target.port);
}

void CPrinterSession::Postpone(QbxClock::duration d)
{
    if (m_deadline < QbxClock::time_point::max() - d) m_deadline += d;
}

bool CPrinterSession::Connect(CPrinterLink& link, std::string& reason)
{
    m_wait.Connecting(m_target);
    link.SetWaitStatus(&m_wait);
    if (link.Connect(m_target, m_deadline)) return true;
    reason = SocketReason(IDS_SOCKET_CONNECT_ERROR, link.LastError());
    return false;
}

bool CPrinterSession::SendJob(CPrinterLink& link, int jobKind, const char* path, std::string& reason)
{
    char job[2048];
    int len = ComposeJob(job, sizeof job, jobKind, m_userID.c_str(), path);
    if (len < 0) {
        reason = Tr("quillbox-cli, file",
                    "the job for this file cannot be composed (its name is too long); nothing was sent");
        return false;
    }
    if (link.SendAll(job, static_cast<std::size_t>(len), m_deadline)) return true;
    reason = SocketReason(IDS_SOCKET_SEND_ERROR, link.LastError());
    return false;
}

bool CPrinterSession::List(CliDirectory& dir, std::string& reason)
{
    std::memset(dir.entries.data(), 0, sizeof(DirEntry) * dir.entries.size());
    dir.header.count = 0;
    dir.header.command = QBX_CMD_NONE;
    dir.bFull = false;
    dir.bRefused = false;
    dir.nOtherVolume = 0;
    CPrinterLink link;
    EndWait endWait{m_wait};
    if (!Connect(link, reason)) return false;
    if (!SendJob(link, JOB_DIR, nullptr, reason)) return false;
    m_wait.Waiting();

    CListingReader reader;
    char chunk[kListingChunk];
    int result = QBX_LIST_MORE;
    while (result == QBX_LIST_MORE && !reader.Full()) {
        long n = link.Receive(chunk, sizeof chunk, m_deadline);
        if (n < 0 && link.LastError() != WSAECONNRESET && link.LastError() != WSAECONNABORTED) {
            reason = SocketReason(IDS_SOCKET_RECEIVE_ERROR, link.LastError());
            return false;
        }
        if (n <= 0) {
            // The connection ended before the end marker: at most an error message
            // that was cut off tells why.
            result = reader.ConnectionEnded(dir.header, m_userID.c_str());
            if (result != QBX_LIST_REFUSED) {
                reason = OneLine(NotAListingText(m_target.host, m_target.port));
                return false;
            }
            break;
        }
        m_wait.End();
        result = reader.Feed(dir.header, m_userID.c_str(), chunk, static_cast<int>(n));
        const std::string status = reader.TakeStatus();
        if (!status.empty()) TraceF("Printer status: %s\n", status.c_str());
    }
    link.Close();
    dir.nOtherVolume = reader.OtherVolumeFiles();
    if (result == QBX_LIST_REFUSED) {
        dir.header.count = 0;
        dir.bRefused = true;
        reason = OneLine(ListingRefusalText(reader.PrinterMessage()));
        return false;
    }
    if (result == QBX_LIST_NO_FILES) dir.header.count = 0;
    dir.bFull = reader.Full();
    ParseDirectoryRecords(dir.header);
    return true;
}

bool CPrinterSession::SendDeletion(CPrinterLink& link, const DirEntry& e, std::string& reason)
{
    if (!link.IsOpen() && !Connect(link, reason)) return false;
    if (!SendJob(link, JOB_DELETE, e.path, reason)) return false;
    // The printer answers a deletion with nothing, or with an error on its back channel
    // (file access switched off for deleting): the confirming listing says which.
    std::string answer;
    link.Finish(std::min(m_deadline, QbxClock::now() + kFinishGrace), &answer);
    const std::string path = Text(e.path, sizeof e.path);
    if (std::string error = PrinterErrorIn(answer); !error.empty())
        m_deletionRefusals[path] = error;
    else
        m_deletionRefusals.erase(path);
    return true;
}

std::string CPrinterSession::DeletionRefusal(const DirEntry& e) const
{
    const auto it = m_deletionRefusals.find(Text(e.path, sizeof e.path));
    return it == m_deletionRefusals.end() ? std::string() : it->second;
}

FetchStatus CPrinterSession::DeleteOriginal(CPrinterLink& link, const DirEntry& e, std::string& reason)
{
    if (g_nStopSignal) {
        reason = Tr("quillbox-cli, file", "stopped by a signal before the original was deleted");
        return FetchStatus::CopiedNotDeleted;
    }
    if (!SendDeletion(link, e, reason)) return FetchStatus::CopiedNotDeleted;
    return FetchStatus::Copied;
}

bool CPrinterSession::Delete(const DirEntry& e, std::string& reason)
{
    CPrinterLink link;
    EndWait endWait{m_wait};
    return SendDeletion(link, e, reason);
}

namespace {

// One upload answer carries at most this many bytes.
constexpr auto kLargestWholeFile = static_cast<std::uint64_t>(QBX_MAX_UPLOAD_SIZE);

// The listed size of e; false (reason said, ending in "what") when it is no size or
// more than one upload answer can deliver whole.
bool ListedSize(const DirEntry& e, std::uint64_t& listed, const std::string& what, std::string& reason)
{
    const std::string size = Text(e.size, sizeof e.size);
    char* end = nullptr;
    listed = std::strtoull(size.c_str(), &end, 10);
    if (size.empty() || *end != '\0' || size[0] < '0' || size[0] > '9') {
        reason =
            TrF("quillbox-cli, file", "the printer listed no usable size (\"%s\"); %s", size.c_str(), what.c_str());
        return false;
    }
    // A printer cuts a larger file to the largest size an answer carries and announces
    // that size: an answer of exactly that size cannot be told from a cut one.
    if (listed >= kLargestWholeFile) {
        reason = TrF("quillbox-cli, file",
                     "it is %s bytes, too large for one upload answer to deliver whole (%s bytes or more cannot be "
                     "told from a cut answer), so it stays on the printer; %s",
                     size.c_str(), std::to_string(kLargestWholeFile).c_str(), what.c_str());
        return false;
    }
    return true;
}

// A copy found in the folder and proved equal stands for the printer's file only once
// it is on the disk, as a copy this run made would be: an earlier run stopped before its
// folder was synced, or another program, may have left it in the system's cache only.
// False (reason said, ending in notDeleted) when it cannot be synced.
bool KeptCopyOnDisk(PlainFileReader& file, const std::string& local, const std::string& notDeleted, std::string& reason)
{
    if (file.SyncToDisk()) return true;
    reason = TrF("quillbox-cli, file", "%s cannot be saved to disk: %s; %s", local.c_str(), file.Error().c_str(),
                 notDeleted.c_str());
    return false;
}

// Why a finished answer is no whole copy of the file (size: the listed size text).
std::string NotWholeReason(const CUploadAnswer& answer, const std::string& size, const std::string& what)
{
    switch (answer.Verdict()) {
    case UploadVerdict::Whole: return {};
    case UploadVerdict::NotOnPrinter:
        return TrF("quillbox-cli, file", "not on the printer any more (it answered FILEERROR); %s", what.c_str());
    case UploadVerdict::SizeChanged:
        return TrF("quillbox-cli, file",
                   "changed on the printer since it was listed (now %s bytes, listed %s); %s; list again",
                   std::to_string(answer.AnnouncedSize()).c_str(), size.c_str(), what.c_str());
    case UploadVerdict::EndedEarly:
        if (!answer.HeaderDone())
            return TrF("quillbox-cli, file", "the printer ended the connection before the file's first byte; %s",
                       what.c_str());
        return TrF("quillbox-cli, file", "the printer ended the connection after %s of %s bytes; %s",
                   std::to_string(answer.DataBytes()).c_str(), size.c_str(), what.c_str());
    case UploadVerdict::OtherFile:
        return TrF("quillbox-cli, file", "the printer answered with a different file; %s", what.c_str());
    case UploadVerdict::NotAFile:
    case UploadVerdict::InProgress: break;
    }
    return TrF("quillbox-cli, file", "the printer's answer is not the file (no usable transfer header); %s",
               what.c_str());
}

}  // namespace

bool CPrinterSession::ReceiveWhole(CPrinterLink& link, const DirEntry& e, std::uint64_t listed,
                                   const std::string& shownAs, const DataSink& sink, IFetchProgress* progress,
                                   const std::string& what, std::string& reason)
{
    const std::string size = Text(e.size, sizeof e.size);
    if (!SendJob(link, JOB_UPLOAD, e.path, reason)) return false;
    // The progress bar takes the line from here on.
    m_wait.End();
    CUploadAnswer answer(Text(e.path, sizeof e.path), listed);
    std::unique_ptr<char[]> buffer(new char[kFileChunk]);
    if (progress) progress->Begin(shownAs, listed);
    struct EndProgress {
        IFetchProgress* p;
        ~EndProgress()
        {
            if (p) p->End();
        }
    } endProgress{progress};

    while (!answer.Finished()) {
        long n = link.Receive(buffer.get(), kFileChunk, m_deadline);
        if (n > 0) {
            UploadBytes data = answer.Feed(buffer.get(), static_cast<std::size_t>(n));
            if (data.len > 0 && !sink(data.data, data.len, reason)) {
                link.Close();
                return false;
            }
            if (progress) progress->Update(answer.DataBytes());
            continue;
        }
        if (n < 0 && (link.LastError() == WSAETIMEDOUT || link.LastError() == WSAEINTR)) {
            reason = TrF("quillbox-cli, file", "%s; %s",
                         SocketReason(IDS_SOCKET_RECEIVE_ERROR, link.LastError()).c_str(), what.c_str());
            return false;
        }
        // The printer closed or reset the connection: the reader decides whether the
        // file was already whole.
        int error = n < 0 ? link.LastError() : 0;
        link.Close();
        answer.ConnectionEnded();
        if (answer.Verdict() == UploadVerdict::EndedEarly && error != 0) {
            reason = TrF("quillbox-cli, file", "%s after %s of %s bytes; %s",
                         SocketReason(IDS_SOCKET_RECEIVE_ERROR, error).c_str(),
                         std::to_string(answer.DataBytes()).c_str(), size.c_str(), what.c_str());
            return false;
        }
    }
    if (answer.Verdict() == UploadVerdict::Whole) return true;
    reason = NotWholeReason(answer, size, what);
    return false;
}

bool CPrinterSession::DestinationFree(const std::string& dest, bool overwrite, std::string& reason)
{
    // Anything at the destination, a dangling link or a pipe as much as a file, is
    // someone's; only --overwrite replaces it, and never a folder.
    const DWORD there = GetFileAttributes(dest.c_str());
    if (there == INVALID_FILE_ATTRIBUTES) return true;
    if (!overwrite) {
        reason =
            TrF("quillbox-cli, file", "%s already exists; nothing was copied (--overwrite replaces it)", dest.c_str());
        return false;
    }
    if (there == FILE_ATTRIBUTE_DIRECTORY) {
        reason = TrF("quillbox-cli, file", "%s is a folder; nothing was copied (move it away to fetch the scan)",
                     dest.c_str());
        return false;
    }
    return true;
}

namespace {

// A local copy's error, and that nothing was put in place.
std::string NothingPutInPlace(const std::string& error)
{
    return TrF("quillbox-cli, file", "%s; nothing was put in place", error.c_str());
}

// Makes the whole copy final at dest; false (the copy discarded, reason said) when
// that fails or, without --overwrite, something appeared there meanwhile (another
// program, another run): the copy never replaces it.
bool PutInPlace(LocalCopy& copy, const std::string& dest, std::string& reason)
{
    if (copy.Commit()) return true;
    if (copy.RunWroteDestination())
        reason = TrF("quillbox-cli, file",
                     "%s is the copy of another scan of this batch (the folder takes both names for one file); it "
                     "was left alone, this copy was not put in place and nothing was deleted on the printer",
                     dest.c_str());
    else if (copy.DestinationTaken())
        reason = TrF("quillbox-cli, file",
                     "%s appeared while the scan was being copied; it was left alone, the copy was not put in place "
                     "and nothing was deleted on the printer (--overwrite replaces it)",
                     dest.c_str());
    else
        reason = NothingPutInPlace(copy.Error());
    copy.Discard();
    return false;
}

}  // namespace

FetchStatus CPrinterSession::Fetch(const DirEntry& e, const std::string& dest, bool overwrite, bool deleteAfter,
                                   IFetchProgress* progress, std::string& reason, CopyRun* run)
{
    if (!DestinationFree(dest, overwrite, reason)) return FetchStatus::Failed;
    std::uint64_t listed = 0;
    if (!ListedSize(e, listed, Tr("quillbox-cli, file", "nothing was copied"), reason)) return FetchStatus::Failed;

    CPrinterLink link;
    EndWait endWait{m_wait};
    if (!Connect(link, reason)) return FetchStatus::Failed;
    LocalCopy copy;
    if (!copy.Open(dest.c_str(), overwrite, run)) {
        reason = copy.Error();
        return FetchStatus::Failed;
    }
    auto write = [&copy](const char* data, std::size_t len, std::string& why) {
        if (copy.Write(data, len)) return true;
        why = NothingPutInPlace(copy.Error());
        return false;
    };
    if (!ReceiveWhole(link, e, listed, dest, write, progress, Tr("quillbox-cli, file", "nothing was put in place"),
                      reason)) {
        copy.Discard();
        return FetchStatus::Failed;
    }
    if (!PutInPlace(copy, dest, reason)) return FetchStatus::Failed;
    if (!deleteAfter) return FetchStatus::Copied;
    return DeleteOriginal(link, e, reason);
}

FetchStatus CPrinterSession::DeleteIfSame(const DirEntry& e, const std::string& local, IFetchProgress* progress,
                                          std::string& reason)
{
    const std::string notDeleted = Tr("quillbox-cli, file", "it was not deleted on the printer");
    std::uint64_t listed = 0;
    if (!ListedSize(e, listed, TrF("quillbox-cli, file", "it cannot be compared with %s", local.c_str()), reason))
        return FetchStatus::Failed;
    // The local copy is read as it is, never through a link.
    PlainFileReader file;
    const bool opened = file.Open(local.c_str());
    if (!opened || file.Size() != listed) {
        reason = !opened && !file.Error().empty()
                     ? TrF("quillbox-cli, file", "%s cannot be read: %s; %s", local.c_str(), file.Error().c_str(),
                           notDeleted.c_str())
                     : TrF("quillbox-cli, file", "%s is no longer a file of the printer's size; %s", local.c_str(),
                           notDeleted.c_str());
        return FetchStatus::Failed;
    }

    // The printer's bytes are fetched again and compared as they arrive; nothing of
    // them is kept.
    bool differs = false;
    std::unique_ptr<char[]> mine(new char[kFileChunk]);
    auto compare = [&](const char* data, std::size_t len, std::string& why) {
        while (len > 0) {
            std::size_t step = std::min(len, kFileChunk);
            const long got = file.Read(mine.get(), step);
            if (got < 0) {
                why = TrF("quillbox-cli, file", "%s cannot be read: %s; %s", local.c_str(), file.Error().c_str(),
                          notDeleted.c_str());
                return false;
            }
            if (got == 0 || std::memcmp(mine.get(), data, static_cast<std::size_t>(got)) != 0) {
                differs = true;
                return false;
            }
            data += got;
            len -= static_cast<std::size_t>(got);
        }
        return true;
    };
    CPrinterLink link;
    EndWait endWait{m_wait};
    if (!Connect(link, reason)) return FetchStatus::Failed;
    bool whole = ReceiveWhole(link, e, listed, local, compare, progress, notDeleted, reason);
    char extra = 0;
    if (whole && file.Read(&extra, 1) != 0) differs = true;  // the local file grew meanwhile
    if (differs) {
        reason = TrF("quillbox-cli, file",
                     "%s has the printer file's name and size but other bytes; both were left alone (move %s away to "
                     "fetch the scan again)",
                     local.c_str(), local.c_str());
        return FetchStatus::Failed;
    }
    if (!whole) return FetchStatus::Failed;
    if (!KeptCopyOnDisk(file, local, notDeleted, reason)) return FetchStatus::Failed;
    return DeleteOriginal(link, e, reason);
}

// Fetching into a PDF: the printer's whole answer gathered in memory, converted, and
// written through the same local copy as a TIFF; the TIFF itself when the scan cannot
// be carried over into a PDF whole.
namespace {

// Scans up to this size are converted in memory; a larger one is saved as its TIFF.
constexpr std::uint64_t kMaxConvertedScan = 256ull * 1024 * 1024;

bool WriteCopy(const std::string& dest, bool overwrite, const std::string& bytes, std::string& reason, CopyRun* run)
{
    LocalCopy copy;
    if (!copy.Open(dest.c_str(), overwrite, run)) {
        reason = NothingPutInPlace(copy.Error());
        return false;
    }
    if (!copy.Write(bytes.data(), bytes.size())) {
        reason = NothingPutInPlace(copy.Error());
        copy.Discard();
        return false;
    }
    return PutInPlace(copy, dest, reason);
}

}  // namespace

bool CPrinterSession::ReceiveScan(CPrinterLink& link, const DirEntry& e, std::uint64_t listed,
                                  const std::string& shownAs, IFetchProgress* progress, const std::string& what,
                                  std::string& tiff, std::string& reason)
{
    if (!Connect(link, reason)) return false;
    tiff.clear();
    tiff.reserve(static_cast<std::size_t>(listed));
    auto gather = [&tiff](const char* data, std::size_t len, std::string&) {
        tiff.append(data, len);
        return true;
    };
    return ReceiveWhole(link, e, listed, shownAs, gather, progress, what, reason);
}

FetchStatus CPrinterSession::FetchPdf(const DirEntry& e, const std::string& pdfDest, const std::string& tifDest,
                                      bool overwrite, bool deleteAfter, IFetchProgress* progress, std::string& savedAs,
                                      std::string& notConverted, std::string& reason, CopyRun* run)
{
    savedAs.clear();
    notConverted.clear();
    if (!DestinationFree(pdfDest, overwrite, reason)) return FetchStatus::Failed;
    std::uint64_t listed = 0;
    if (!ListedSize(e, listed, Tr("quillbox-cli, file", "nothing was copied"), reason)) return FetchStatus::Failed;
    if (listed > kMaxConvertedScan) {
        notConverted = Tr("quillbox-cli, file", "it is too large to convert");
        if (!DestinationFree(tifDest, overwrite, reason)) return FetchStatus::Failed;
        const FetchStatus st = Fetch(e, tifDest, overwrite, deleteAfter, progress, reason, run);
        if (st != FetchStatus::Failed) savedAs = tifDest;
        return st;
    }

    CPrinterLink link;
    EndWait endWait{m_wait};
    std::string tiff;
    if (!ReceiveScan(link, e, listed, pdfDest, progress, Tr("quillbox-cli, file", "nothing was put in place"), tiff,
                     reason))
        return FetchStatus::Failed;

    std::string pdf, why;
    if (TiffToPdf(reinterpret_cast<const std::uint8_t*>(tiff.data()), tiff.size(), pdf, why)) {
        if (!WriteCopy(pdfDest, overwrite, pdf, reason, run)) return FetchStatus::Failed;
        savedAs = pdfDest;
    } else {
        // Nothing of the scan is lost: its TIFF is kept as it came.
        notConverted = why;
        if (!DestinationFree(tifDest, overwrite, reason)) {
            reason = TrF("quillbox-cli, file", "cannot be saved as PDF (%s) and %s", why.c_str(), reason.c_str());
            return FetchStatus::Failed;
        }
        if (!WriteCopy(tifDest, overwrite, tiff, reason, run)) return FetchStatus::Failed;
        savedAs = tifDest;
    }
    if (!deleteAfter) return FetchStatus::Copied;
    return DeleteOriginal(link, e, reason);
}

FetchStatus CPrinterSession::DeleteIfSamePdf(const DirEntry& e, const std::string& localPdf, IFetchProgress* progress,
                                             std::string& reason)
{
    const std::string notDeleted = Tr("quillbox-cli, file", "it was not deleted on the printer");
    std::uint64_t listed = 0;
    if (!ListedSize(e, listed, TrF("quillbox-cli, file", "it cannot be compared with %s", localPdf.c_str()), reason))
        return FetchStatus::Failed;
    if (listed > kMaxConvertedScan) {
        reason = TrF("quillbox-cli, file", "it is too large to convert, so %s cannot be compared with it; %s",
                     localPdf.c_str(), notDeleted.c_str());
        return FetchStatus::Failed;
    }
    // The PDF is read as it is, never through a link.
    PlainFileReader file;
    if (!file.Open(localPdf.c_str())) {
        reason = file.Error().empty()
                     ? TrF("quillbox-cli, file", "%s is not a plain file (a link, folder, pipe or device); %s",
                           localPdf.c_str(), notDeleted.c_str())
                     : TrF("quillbox-cli, file", "%s cannot be read: %s; %s", localPdf.c_str(), file.Error().c_str(),
                           notDeleted.c_str());
        return FetchStatus::Failed;
    }

    CPrinterLink link;
    EndWait endWait{m_wait};
    std::string tiff;
    if (!ReceiveScan(link, e, listed, localPdf, progress, notDeleted, tiff, reason)) return FetchStatus::Failed;
    std::string pdf, why;
    if (!TiffToPdf(reinterpret_cast<const std::uint8_t*>(tiff.data()), tiff.size(), pdf, why)) {
        reason = TrF("quillbox-cli, file",
                     "it cannot be saved as PDF (%s), so %s is not its copy; both were left alone (move %s away to "
                     "fetch the scan again)",
                     why.c_str(), localPdf.c_str(), localPdf.c_str());
        return FetchStatus::Failed;
    }
    tiff.clear();
    tiff.shrink_to_fit();

    // The bytes on disk against the conversion, a piece at a time, to the file's end:
    // a file that grew or shrank meanwhile differs too.
    bool differs = file.Size() != pdf.size();
    std::unique_ptr<char[]> mine(new char[kFileChunk]);
    for (std::size_t at = 0; !differs;) {
        const long got = file.Read(mine.get(), kFileChunk);
        if (got < 0) {
            reason = TrF("quillbox-cli, file", "%s cannot be read: %s; %s", localPdf.c_str(), file.Error().c_str(),
                         notDeleted.c_str());
            return FetchStatus::Failed;
        }
        const auto n = static_cast<std::size_t>(got);
        if (n == 0) {
            differs = at != pdf.size();
            break;
        }
        differs = n > pdf.size() - at || std::memcmp(mine.get(), pdf.data() + at, n) != 0;
        at += n;
    }
    if (differs) {
        reason = TrF("quillbox-cli, file",
                     "%s is not the PDF this scan makes (its bytes differ); both were left alone (move %s away to "
                     "fetch the scan again)",
                     localPdf.c_str(), localPdf.c_str());
        return FetchStatus::Failed;
    }
    if (!KeptCopyOnDisk(file, localPdf, notDeleted, reason)) return FetchStatus::Failed;
    return DeleteOriginal(link, e, reason);
}
