// Message boxes and Save As on the window system's own dialogs (the native half; see
// win32_native.h). Both run the window system's modal loop, inside which the layer's
// queue keeps running; every dialog of the program is disabled meanwhile, as under a
// modal dialog of its own.
#include "platform/win32/native_internal.h"
#include "platform/win32/win32_native.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <vector>

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

// A message box is as wide as its text and buttons, and its caption is cut to that
// width: "1234(12)(20241231235959).TIF:  Already exists" over "Replace it?" lost the
// words that say what the box is about. The box is widened, once, right after it has
// laid itself out (WM_INITDIALOG), until its caption fits (never beyond the work area),
// its contents kept centred.
thread_local bool t_fitted = false;

int CaptionTextWidth(HWND box, const std::wstring& caption)
{
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) return 0;
    HFONT font = CreateFontIndirectW(&ncm.lfCaptionFont);
    HDC dc = GetDC(box);
    HGDIOBJ old = SelectObject(dc, font);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, caption.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(box, dc);
    DeleteObject(font);
    return r.right;
}

void WidenForCaption(HWND box)
{
    std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    GetWindowTextW(box, text.data(), static_cast<int>(text.size()));
    const int textWidth = CaptionTextWidth(box, text.data());
    RECT window;
    if (textWidth <= 0 || !GetWindowRect(box, &window)) return;
    // Frame, icon and close box beside the text, and a margin for the window manager's
    // own decoration.
    const int frame = GetSystemMetrics(SM_CXDLGFRAME) + GetSystemMetrics(SM_CXBORDER);
    const int need = textWidth + 2 * frame + GetSystemMetrics(SM_CXSMICON) + GetSystemMetrics(SM_CXSIZE) + 24;
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (!GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &mi)) return;
    const int width = window.right - window.left;
    const int wanted = std::min(need, static_cast<int>(mi.rcWork.right - mi.rcWork.left));
    if (wanted <= width) return;
    const int grow = wanted - width;
    int left = window.left - grow / 2;
    left = std::max(static_cast<int>(mi.rcWork.left), std::min(left, static_cast<int>(mi.rcWork.right) - wanted));
    SetWindowPos(box, nullptr, left, window.top, wanted, window.bottom - window.top, SWP_NOZORDER | SWP_NOACTIVATE);
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(c, nullptr, r.left + grow / 2, r.top, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

LRESULT CALLBACK AfterLayout(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR)
{
    if (message == WM_NCDESTROY) RemoveWindowSubclass(box, AfterLayout, id);
    const LRESULT result = DefSubclassProc(box, message, wParam, lParam);
    if (message == WM_INITDIALOG) WidenForCaption(box);
    return result;
}

// The first dialog made on the thread while the box is asked for is the box.
LRESULT CALLBACK FitCaptionHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && !t_fitted) {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t cls[16] = L"";
        GetClassNameW(box, cls, 16);
        if (lstrcmpW(cls, L"#32770") == 0) {
            t_fitted = true;
            SetWindowSubclass(box, AfterLayout, 1, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// One per message box; a box shown from inside another's modal loop has its own.
class CaptionFitScope {
public:
    CaptionFitScope() : m_hook(SetWindowsHookExW(WH_CBT, FitCaptionHook, nullptr, GetCurrentThreadId()))
    {
        t_fitted = false;
    }
    ~CaptionFitScope()
    {
        if (m_hook) UnhookWindowsHookEx(m_hook);
    }
    CaptionFitScope(const CaptionFitScope&) = delete;
    CaptionFitScope& operator=(const CaptionFitScope&) = delete;

private:
    HHOOK m_hook;
};

}  // namespace

int ShowMessageBox(Handle owner, const char* text, const char* caption, unsigned type)
{
    HWND o = static_cast<HWND>(owner);
    if (o && !IsWindowVisible(o)) o = nullptr;
    std::wstring t = Wide(text), c = Wide(caption);
    NativeModalScope scope(o);
    CaptionFitScope fit;
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
