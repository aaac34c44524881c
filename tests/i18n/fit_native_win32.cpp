#include "fit_native_win32.h"

#include <windows.h>

#include <vector>

namespace {

std::string Narrow(const std::wstring& w)
{
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring TextOf(HWND h)
{
    std::vector<wchar_t> buf(static_cast<std::size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
    GetWindowTextW(h, buf.data(), static_cast<int>(buf.size()));
    return buf.data();
}

// The rectangle DrawText needs for text at most width wide with flags (DT_CALCRECT).
RECT Needs(HWND h, HFONT font, const std::wstring& text, int width, UINT flags)
{
    RECT r{0, 0, width, 0};
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    DrawTextW(dc, text.c_str(), -1, &r, flags | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    return r;
}

}  // namespace

ControlFit MeasureControlFit(void* control)
{
    HWND h = static_cast<HWND>(control);
    ControlFit fit;
    const std::wstring text = TextOf(h);
    fit.text = Narrow(text);
    if (text.empty()) return fit;
    wchar_t cls[32] = L"";
    GetClassNameW(h, cls, 32);
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    RECT client;
    GetClientRect(h, &client);
    fit.width = client.right;
    fit.height = client.bottom;
    auto font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    UINT flags = 0;
    if (lstrcmpiW(cls, L"Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        if (type == SS_ICON || type == SS_BITMAP) return fit;
        // As the static draws it: tabs expanded, words wrapped unless it says not to.
        flags =
            DT_EXPANDTABS | (type == SS_LEFTNOWORDWRAP ? 0 : DT_WORDBREAK) | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
    } else if (lstrcmpiW(cls, L"Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        flags = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
        if (type == BS_GROUPBOX) {
            // The caption sits in the frame's top line with a gap at both ends.
            fit.width -= 2 * (GetSystemMetrics(SM_CXEDGE) + 6);
            flags = DT_SINGLELINE;
        } else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                   type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE) {
            fit.width -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
        } else {
            // A push button's edges and focus rectangle take room on both sides.
            fit.width -= 2 * (GetSystemMetrics(SM_CXEDGE) + 2);
            fit.height -= 2 * (GetSystemMetrics(SM_CYEDGE) + 1);
        }
    } else {
        return fit;
    }
    const RECT r = Needs(h, font, text, fit.width, flags);
    fit.needWidth = r.right;
    fit.needHeight = r.bottom;
    fit.measured = true;
    return fit;
}

ControlFit MeasureCaptionFit(void* window)
{
    HWND h = static_cast<HWND>(window);
    ControlFit fit;
    const std::wstring text = TextOf(h);
    fit.text = Narrow(text);
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    if (text.empty() || !SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) return fit;
    RECT wr;
    GetWindowRect(h, &wr);
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    // The title bar's text lies between the frame and icon on the left and the caption
    // buttons (close only: these dialogs have no minimise or maximise box) on the right.
    const int frame = GetSystemMetrics(SM_CXDLGFRAME) + GetSystemMetrics(SM_CXBORDER);
    int room = (wr.right - wr.left) - 2 * frame - 8;
    if (style & WS_SYSMENU) room -= GetSystemMetrics(SM_CXSMICON) + GetSystemMetrics(SM_CXSIZE) + 4;
    fit.width = room;
    fit.height = ncm.iCaptionHeight;
    HFONT font = CreateFontIndirectW(&ncm.lfCaptionFont);
    const RECT r = Needs(h, font, text, room, DT_SINGLELINE | DT_NOPREFIX);
    DeleteObject(font);
    fit.needWidth = r.right;
    fit.needHeight = 0;
    fit.measured = true;
    return fit;
}

namespace {

struct BoxWatch {
    std::wstring caption;
    ControlFit fit;
    bool done = false;
};
BoxWatch* g_watch = nullptr;

BOOL CALLBACK FindBox(HWND h, LPARAM found)
{
    wchar_t cls[16] = L"";
    GetClassNameW(h, cls, 16);
    if (lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(h) && TextOf(h) == g_watch->caption) {
        *reinterpret_cast<HWND*>(found) = h;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK LookForBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (!g_watch || g_watch->done) return;
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (!box) return;
    g_watch->fit = MeasureCaptionFit(box);
    g_watch->done = true;
    KillTimer(nullptr, timer);
    PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

ControlFit MessageBoxCaptionFit(const std::string& caption, const std::function<void()>& show)
{
    BoxWatch watch;
    const int n = MultiByteToWideChar(CP_UTF8, 0, caption.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, caption.c_str(), -1, wide.data(), n);
    watch.caption = wide.data();
    g_watch = &watch;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, LookForBox);
    show();
    if (!watch.done) KillTimer(nullptr, timer);
    g_watch = nullptr;
    return watch.fit;
}
