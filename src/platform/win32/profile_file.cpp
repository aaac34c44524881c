// The Windows twin of the INI files' reading and writing.
#include "platform/profile_file.h"

#include "platform/win32/utf16.h"

#include <windows.h>

#include <atomic>

const char kPathSeparators[] = "/\\";

namespace {

// The file a link at path leads to, or path itself.
std::wstring FinalTarget(const std::wstring& path)
{
    DWORD a = ::GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
    HANDLE h = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return path;
    wchar_t buf[32768];
    DWORD n = ::GetFinalPathNameByHandleW(h, buf, 32768, FILE_NAME_NORMALIZED);
    ::CloseHandle(h);
    return (n > 0 && n < 32768) ? std::wstring(buf, n) : path;
}

bool WriteAll(HANDLE h, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(h, data.data() + done, chunk, &written, nullptr)) return false;
        done += written;
    }
    return true;
}

}  // namespace

ProfileRead ReadProfileFile(const std::string& path, std::string* content)
{
    content->clear();
    HANDLE h = ::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = ::GetLastError();
        return (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? ProfileRead::Missing : ProfileRead::Failed;
    }
    // Only a file on disk: a pipe or a device named as the settings file could keep the
    // program waiting before anything else happens.
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        return ProfileRead::Failed;
    }
    char chunk[4096];
    bool ok = true;
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h, chunk, sizeof chunk, &n, nullptr)) {
            ok = false;
            break;
        }
        if (n == 0) break;
        content->append(chunk, n);
    }
    ::CloseHandle(h);
    if (!ok) content->clear();
    return ok ? ProfileRead::Ok : ProfileRead::Failed;
}

bool ReplaceProfileFile(const std::string& path, const std::string& content)
{
    static std::atomic<unsigned> s_counter{0};
    const std::wstring target = FinalTarget(Widen(path));
    std::wstring temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temp = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(++s_counter) + L".tmp";
        h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = WriteAll(h, content) && ::FlushFileBuffers(h);
    ok = ::CloseHandle(h) && ok;
    ok = ok && ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) ::DeleteFileW(temp.c_str());
    return ok;
}
