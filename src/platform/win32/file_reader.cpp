// The Windows twin of the plain-file reader: the path itself is opened (a reparse point
// is not followed) and what was opened is looked at through its handle.
#include "platform/file_reader.h"

#include "platform/win32/utf16.h"

#include <windows.h>

namespace {

HANDLE H(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

std::string ReasonOf(DWORD err)
{
    wchar_t* text = nullptr;
    DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err,
        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = n ? Narrow(std::wstring(text, n)) : "Windows error " + std::to_string(err);
    if (text) ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return reason;
}

}  // namespace

PlainFileReader::~PlainFileReader()
{
    if (m_handle != -1) ::CloseHandle(H(m_handle));
}

bool PlainFileReader::Open(const char* path)
{
    m_plain = false;
    m_error.clear();
    HANDLE h =
        ::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_error = ReasonOf(::GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const DWORD notPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if (!::GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & notPlain) ||
        ::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        return false;
    }
    m_handle = reinterpret_cast<std::intptr_t>(h);
    m_path = path;
    m_size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    m_plain = true;
    return true;
}

long PlainFileReader::Read(char* buffer, std::size_t len)
{
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(len > (1u << 30) ? (1u << 30) : len);
    if (!::ReadFile(H(m_handle), buffer, chunk, &got, nullptr)) {
        m_error = ReasonOf(::GetLastError());
        return -1;
    }
    return static_cast<long>(got);
}

bool PlainFileReader::SyncToDisk()
{
    if (m_handle == -1) {
        m_error = ReasonOf(ERROR_INVALID_HANDLE);
        return false;
    }
    // FlushFileBuffers wants a handle that may write: a second one, on the very file that
    // was read (the name could lead elsewhere by now). Nothing is written through it.
    HANDLE w =
        ::CreateFileW(Widen(m_path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (w == INVALID_HANDLE_VALUE) {
        m_error = ReasonOf(::GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION read, written;
    bool ok = ::GetFileInformationByHandle(H(m_handle), &read) && ::GetFileInformationByHandle(w, &written);
    if (!ok) {
        m_error = ReasonOf(::GetLastError());
    } else if (read.dwVolumeSerialNumber != written.dwVolumeSerialNumber ||
               read.nFileIndexHigh != written.nFileIndexHigh || read.nFileIndexLow != written.nFileIndexLow) {
        m_error = "another file took its name meanwhile";
        ok = false;
    } else if (!::FlushFileBuffers(w)) {
        m_error = ReasonOf(::GetLastError());
        ok = false;
    }
    ::CloseHandle(w);
    return ok;
}
