// Message boxes and Save As on the window system's own dialogs (the native half; see
// win32_native.h). Both run the window system's modal loop, inside which the layer's
// queue keeps running; every dialog of the program is disabled meanwhile, as under a
// modal dialog of its own.
#include "platform/win32/native_internal.h"
#include "platform/win32/win32_native.h"

#include <commdlg.h>

#include <cstring>

namespace native {

namespace {

class NativeModalScope {
public:
    explicit NativeModalScope(HWND owner) : m_disabled(DisableOurDialogs(nullptr)), m_owner(owner)
    {
        BeginNativeModal();
    }
    ~NativeModalScope()
    {
        EndNativeModal();
        EnableDialogs(m_disabled);
        // The owner comes back to the front, as it does after the window system's own
        // modal loops.
        if (m_owner && IsOurDialog(m_owner)) SetActiveWindow(m_owner);
    }
    NativeModalScope(const NativeModalScope&) = delete;
    NativeModalScope& operator=(const NativeModalScope&) = delete;

private:
    std::vector<HWND> m_disabled;
    HWND m_owner;
};

}  // namespace

int ShowMessageBox(Handle owner, const char* text, const char* caption, unsigned type)
{
    HWND o = static_cast<HWND>(owner);
    if (o && !IsWindowVisible(o)) o = nullptr;
    std::wstring t = Wide(text), c = Wide(caption);
    NativeModalScope scope(o);
    // Owned by a disabled dialog, the box would stay disabled too: it takes the task
    // modal flag instead, which keeps the program's other windows out of reach as well.
    return MessageBoxW(nullptr, t.c_str(), c.c_str(), type | MB_TASKMODAL | MB_SETFOREGROUND);
}

bool ShowSaveAs(SaveAsRequest& request, std::string* path)
{
    // The filter's NULs are kept: it is converted piece by piece.
    std::wstring filter;
    for (const char* p = request.filter.c_str(); p < request.filter.c_str() + request.filter.size() && *p;
         p += std::strlen(p) + 1) {
        filter += Wide(p);
        filter.push_back(L'\0');
    }
    filter.push_back(L'\0');
    std::wstring file = Wide(request.initialName.c_str());
    std::vector<wchar_t> buffer(32768, L'\0');
    if (file.size() >= buffer.size()) file.clear();
    std::copy(file.begin(), file.end(), buffer.begin());
    std::wstring dir = Wide(request.initialDir.c_str());
    std::wstring ext = Wide(request.defaultExt.c_str());

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = nullptr;
    ofn.lpstrFilter = request.filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = request.filterIndex ? request.filterIndex : 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
    ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    // The program asks about replacing files itself, one by one.
    ofn.Flags = (request.flags & ~static_cast<unsigned>(OFN_OVERWRITEPROMPT)) | OFN_EXPLORER | OFN_PATHMUSTEXIST;
    ofn.lpstrTitle = L"Save As";
    BOOL ok;
    {
        NativeModalScope scope(static_cast<HWND>(request.owner));
        ok = GetSaveFileNameW(&ofn);
    }
    if (!ok) return false;
    *path = Narrow(buffer.data());
    // With a default extension set, the dialog gives a name typed without one the
    // extension of the type chosen.
    request.filterIndex = ofn.nFilterIndex;
    return true;
}

}  // namespace native
