// Listing, fetching and deleting over the tool's own connection.
#include "cli/Printer.h"

#include "link/JobLanguage.h"
#include "platform/localcopy.h"
#include "platform/resources.h"
#include "platform/socket.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/UploadAnswer.h"

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
    if (error == WSAEINTR) return "stopped by a signal";
    if (error == WSAETIMEDOUT && captionId != static_cast<int>(IDS_SOCKET_CONNECT_ERROR))
        return std::string(GetStringRes(captionId)) + ": the printer did not answer before the time-out (--timeout)";
    std::string text = SocketErrorText(error);
    if (text.empty()) text = "error " + std::to_string(error);
    return std::string(GetStringRes(captionId)) + ": " + text + " (printer " + m_target.host + ":" +
           std::to_string(m_target.port) + ")";
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
        reason = "the job for this file cannot be composed (its name is too long); nothing was sent";
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
    CPrinterLink link;
    EndWait endWait{m_wait};
    if (!Connect(link, reason)) return false;
    if (!SendJob(link, JOB_DIR, nullptr, reason)) return false;
    m_wait.Waiting();

    int nStar = 0, nPercent = 0;
    BOOL bSkip = FALSE, bFull = FALSE, bOverflow = FALSE;
    ListingReader reader{nStar, nPercent, bSkip, bFull, bOverflow};
    char chunk[kListingChunk];
    int result = QBX_LIST_MORE;
    while (result == QBX_LIST_MORE && !bFull) {
        long n = link.Receive(chunk, sizeof chunk, m_deadline);
        if (n < 0) {
            reason = SocketReason(IDS_SOCKET_RECEIVE_ERROR, link.LastError());
            return false;
        }
        if (n == 0) {
            reason = "the printer ended the connection before the end of the listing";
            return false;
        }
        m_wait.End();
        result = ParseListingChunk(dir.header, reader, m_userID.c_str(), chunk, static_cast<int>(n));
    }
    link.Close();
    if (result == QBX_LIST_NO_FILES) dir.header.count = 0;
    dir.bFull = bFull != FALSE;
    ParseDirectoryRecords(dir.header);
    return true;
}

bool CPrinterSession::SendDeletion(CPrinterLink& link, const DirEntry& e, std::string& reason)
{
    if (!link.IsOpen() && !Connect(link, reason)) return false;
    if (!SendJob(link, JOB_DELETE, e.path, reason)) return false;
    link.Finish(std::min(m_deadline, QbxClock::now() + kFinishGrace));
    return true;
}

bool CPrinterSession::Delete(const DirEntry& e, std::string& reason)
{
    CPrinterLink link;
    EndWait endWait{m_wait};
    return SendDeletion(link, e, reason);
}

namespace {

// The listed size text as a number; false when it is empty or not all digits.
bool ReadListedSize(const std::string& size, std::uint64_t& listed)
{
    char* end = nullptr;
    listed = std::strtoull(size.c_str(), &end, 10);
    return !size.empty() && *end == '\0';
}

// Makes the whole copy final at dest; false (the copy discarded, reason said) when
// that fails or a file appeared there meanwhile and may not be replaced.
bool PutInPlace(LocalCopy& copy, const std::string& dest, bool overwrite, std::string& reason)
{
    // Another program may have made the file while this one was copying.
    if (!overwrite && FileExists(dest.c_str())) {
        copy.Discard();
        reason = dest + " appeared while copying; it was left alone (--overwrite replaces it)";
        return false;
    }
    if (!copy.Commit()) {
        reason = copy.Error() + "; nothing was put in place";
        copy.Discard();
        return false;
    }
    return true;
}

// Why a finished answer is no whole copy of the file (size: the listed size text).
std::string NotWholeReason(const CUploadAnswer& answer, const std::string& size)
{
    switch (answer.Verdict()) {
    case UploadVerdict::Whole: return {};
    case UploadVerdict::NotOnPrinter: return "not on the printer any more (it answered FILEERROR); nothing was copied";
    case UploadVerdict::SizeChanged:
        return "changed on the printer since it was listed (now " + std::to_string(answer.AnnouncedSize()) +
               " bytes, listed " + size + "); nothing was copied, list again";
    case UploadVerdict::EndedEarly:
        if (!answer.HeaderDone())
            return "the printer ended the connection before the file's first byte; nothing was copied";
        return "the printer ended the connection after " + std::to_string(answer.DataBytes()) + " of " + size +
               " bytes; nothing was put in place";
    case UploadVerdict::OtherFile: return "the printer answered with a different file; nothing was copied";
    case UploadVerdict::NotAFile:
    case UploadVerdict::InProgress: break;
    }
    return "the printer's answer is not the file (no usable transfer header); nothing was copied";
}

}  // namespace

FetchStatus CPrinterSession::Fetch(const DirEntry& e, const std::string& dest, bool overwrite, bool deleteAfter,
                                   IFetchProgress* progress, std::string& reason)
{
    if (!overwrite && FileExists(dest.c_str())) {
        reason = dest + " already exists; nothing was copied (--overwrite replaces it)";
        return FetchStatus::Failed;
    }
    const std::string size = Text(e.size, sizeof e.size);
    std::uint64_t listed = 0;
    if (!ReadListedSize(size, listed)) {
        reason = "the printer listed no usable size (\"" + size + "\"); nothing was copied";
        return FetchStatus::Failed;
    }

    CPrinterLink link;
    EndWait endWait{m_wait};
    if (!Connect(link, reason)) return FetchStatus::Failed;
    if (!SendJob(link, JOB_UPLOAD, e.path, reason)) return FetchStatus::Failed;
    // The progress bar takes the line from here on.
    m_wait.End();

    LocalCopy copy;
    if (!copy.Open(dest.c_str(), overwrite)) {
        reason = copy.Error();
        return FetchStatus::Failed;
    }
    CUploadAnswer answer(Text(e.path, sizeof e.path), listed);
    std::unique_ptr<char[]> buffer(new char[kFileChunk]);
    if (progress) progress->Begin(dest, listed);
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
            if (data.len > 0 && !copy.Write(data.data, data.len)) {
                reason = copy.Error() + "; nothing was put in place";
                copy.Discard();
                return FetchStatus::Failed;
            }
            if (progress) progress->Update(answer.DataBytes());
            continue;
        }
        if (n < 0 && (link.LastError() == WSAETIMEDOUT || link.LastError() == WSAEINTR)) {
            reason = SocketReason(IDS_SOCKET_RECEIVE_ERROR, link.LastError()) + "; nothing was put in place";
            copy.Discard();
            return FetchStatus::Failed;
        }
        // The printer closed or reset the connection: the reader decides whether the
        // file was already whole.
        int error = n < 0 ? link.LastError() : 0;
        link.Close();
        answer.ConnectionEnded();
        if (answer.Verdict() == UploadVerdict::EndedEarly && error != 0) {
            reason = SocketReason(IDS_SOCKET_RECEIVE_ERROR, error) + " after " + std::to_string(answer.DataBytes()) +
                     " of " + size + " bytes; nothing was put in place";
            copy.Discard();
            return FetchStatus::Failed;
        }
    }

    if (answer.Verdict() != UploadVerdict::Whole) {
        reason = NotWholeReason(answer, size);
        copy.Discard();
        return FetchStatus::Failed;
    }
    if (!PutInPlace(copy, dest, overwrite, reason)) return FetchStatus::Failed;
    if (!deleteAfter) return FetchStatus::Copied;
    if (g_nStopSignal) {
        reason = "stopped by a signal before the original was deleted";
        return FetchStatus::CopiedNotDeleted;
    }
    if (!SendDeletion(link, e, reason)) return FetchStatus::CopiedNotDeleted;
    return FetchStatus::Copied;
}
