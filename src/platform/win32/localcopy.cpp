// The local copy on Windows: a temporary file beside the destination, created with
// CREATE_NEW and held open without sharing its deletion (so another instance's clean-up
// of leftovers cannot remove it), written through a buffer, flushed with
// FlushFileBuffers and renamed into place through its own handle while still open.
//
// Why the rename goes through the handle (SetFileInformationByHandle, FileRenameInfo)
// rather than MoveFileExW: MoveFileExW opens the file anew by name, which only works
// when every handle on it shares deletion; ours must not, or any other program could
// delete or rename the copy under us. Renaming by handle keeps the lock to the end,
// and ReplaceIfExists FALSE makes "never replace what the user did not agree to" one
// atomic step of the file system (ERROR_ALREADY_EXISTS when the name is taken). Wine
// implements it on rename(2) with the same answers.
#include "platform/localcopy.h"

#include "platform/win32/utf16.h"

#include <windows.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

HANDLE H(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// The system's reason, in English as the program's own messages are.
std::string SystemReason(DWORD err)
{
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD n = ::FormatMessageW(flags, nullptr, err, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                               reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0) n = ::FormatMessageW(flags, nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = n ? Narrow(std::wstring(text, n)) : "Windows error " + std::to_string(err);
    if (text) ::LocalFree(text);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' || reason.back() == '.'))
        reason.pop_back();
    return reason;
}

// Writes all len bytes, in pieces a single call takes.
bool WriteAll(HANDLE h, const char* data, std::size_t len, DWORD& err)
{
    while (len > 0) {
        DWORD chunk = static_cast<DWORD>(len > (1u << 30) ? (1u << 30) : len);
        DWORD written = 0;
        if (!::WriteFile(h, data, chunk, &written, nullptr)) {
            err = ::GetLastError();
            return false;
        }
        if (written == 0) {
            err = ERROR_WRITE_FAULT;
            return false;
        }
        data += written;
        len -= written;
    }
    return true;
}

// Marks the open file for deletion when its last handle closes.
bool DeleteByHandle(HANDLE h)
{
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) != FALSE;
}

bool RenameByHandle(HANDLE h, const std::wstring& dest, bool replace)
{
    // FILE_RENAME_INFO ends in the name's first character; the rest follows it.
    std::vector<unsigned char> buf(sizeof(FILE_RENAME_INFO) + dest.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buf.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(dest.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, dest.data(), dest.size() * sizeof(wchar_t));
    return ::SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(buf.size())) != FALSE;
}

// A full path for the rename (the renaming call wants one).
std::wstring FullPath(const std::string& path)
{
    std::wstring w = Widen(path);
    DWORD n = ::GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0) return w;
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
    full.resize(n);
    return full;
}

}  // namespace

const int LocalCopy::kErrNotOpen = ERROR_INVALID_HANDLE;
const int LocalCopy::kErrNoData = ERROR_INVALID_PARAMETER;
const int LocalCopy::kErrBadName = ERROR_INVALID_NAME;
const int LocalCopy::kErrExists = ERROR_FILE_EXISTS;

unsigned LocalCopy::RandomNumber()
{
    static std::random_device device;
    static std::mt19937 mix(device());
    return static_cast<unsigned>(mix());
}

std::string LocalCopy::ReasonOf(int err)
{
    if (err == ERROR_FILENAME_EXCED_RANGE)
        return "the temporary copy's name would be longer than the " + std::to_string(MAX_PATH - 1) +
               " characters Windows allows in a path (the copy is written under it before it takes its own name). "
               "Choose a shorter name or a folder nearer the drive's root";
    return SystemReason(static_cast<DWORD>(err));
}

LocalCopy::Made LocalCopy::CreateTemp(const std::string& path, int& err)
{
    // The temporary name is longer than the destination's: it can pass the longest path
    // Windows takes where the destination does not, and Windows would then say only
    // that the path was not found. It is refused here with what is wrong instead.
    if (Widen(path).size() >= MAX_PATH) {
        err = ERROR_FILENAME_EXCED_RANGE;
        return Made::Failed;
    }
    // Readers may look; nobody else may write, delete or rename it while it is open.
    HANDLE h = ::CreateFileW(Widen(path).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        err = static_cast<int>(code);
        return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ? Made::Exists : Made::Failed;
    }
    m_fd = reinterpret_cast<std::intptr_t>(h);
    return Made::Created;
}

bool LocalCopy::WriteOut(const char* data, std::size_t len)
{
    DWORD err = 0;
    return WriteAll(H(m_fd), data, len, err) ? true : Fail("Cannot write", m_destPath, static_cast<int>(err));
}

int LocalCopy::SyncFile() { return ::FlushFileBuffers(H(m_fd)) ? 0 : static_cast<int>(::GetLastError()); }

// Through the file's own handle (see above); ERROR_ALREADY_EXISTS: dest is taken.
LocalCopy::Placed LocalCopy::PutInPlace(int& err)
{
    if (RenameByHandle(H(m_fd), FullPath(m_destPath), m_mayReplace)) return Placed::Done;
    const DWORD code = ::GetLastError();
    err = static_cast<int>(code);
    return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? Placed::Taken : Placed::Failed;
}

bool LocalCopy::DropTemp(std::string* reason)
{
    if (m_fd != -1) {
        // The temporary file goes with its handle.
        HANDLE h = H(m_fd);
        m_fd = -1;
        const bool marked = DeleteByHandle(h);
        ::CloseHandle(h);
        if (marked) return true;
    }
    if (m_tempPath.empty() || ::DeleteFileW(Widen(m_tempPath).c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND)
        return true;
    *reason = SystemReason(::GetLastError());
    return false;
}

void LocalCopy::FinishInPlace(int& closeErr, int& syncErr)
{
    HANDLE h = H(m_fd);
    m_fd = -1;
    // The rename is metadata of the file system's journal; flushing the file again
    // writes it through before the printer's file may go.
    const bool flushed = ::FlushFileBuffers(h) != FALSE;
    const DWORD flushErr = ::GetLastError();
    if (!::CloseHandle(h)) closeErr = static_cast<int>(::GetLastError());
    if (!flushed) syncErr = static_cast<int>(flushErr);
}

int LocalCopy::RemoveLeftovers(const char* folder)
{
    if (folder == nullptr) return -1;
    std::string base = *folder ? folder : ".";
    if (base.back() != '/' && base.back() != '\\') base += '/';
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW(Widen(base + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : -1;
    int removed = 0;
    do {
        const std::string name = Narrow(found.cFileName);
        if (!IsOurLeftover(name.c_str())) continue;
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        // A copy another instance is writing is open without shared deletion: opening
        // it for deletion fails with a sharing violation, and it is left alone.
        HANDLE h = ::CreateFileW(Widen(base + name).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        if (DeleteByHandle(h)) ++removed;
        ::CloseHandle(h);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return removed;
}

namespace {

bool IdentityOfHandle(HANDLE h, std::pair<std::uint64_t, std::uint64_t>& id)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h, &info)) return false;
    id = {info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return true;
}

}  // namespace

bool LocalCopy::IdentityAt(const char* path, std::pair<std::uint64_t, std::uint64_t>& id)
{
    // No access asked: a file another program holds open without sharing still answers.
    HANDLE h = ::CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = IdentityOfHandle(h, id);
    ::CloseHandle(h);
    return ok;
}

bool LocalCopy::OpenIdentity(std::pair<std::uint64_t, std::uint64_t>& id) const
{
    return m_fd != -1 && IdentityOfHandle(H(m_fd), id);
}
