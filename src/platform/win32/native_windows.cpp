// Dialogs and controls on the window system's own dialog manager (the native half; see
// win32_native.h).
#include "platform/win32/native_internal.h"
#include "platform/win32/win32_native.h"

#include <commctrl.h>
#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

namespace native {

namespace {

struct DialogState {
    IDialogSink* sink = nullptr;
};

std::set<HWND>& LiveDialogs()
{
    static std::set<HWND> set;
    return set;
}

std::vector<HWND>& DestroyedDialogs()
{
    static std::vector<HWND> list;
    return list;
}

// Windows a modal dialog disabled, by dialog.
std::map<HWND, std::vector<HWND>>& ModalDisabled()
{
    static std::map<HWND, std::vector<HWND>> map;
    return map;
}

HWND H(Handle h) { return static_cast<HWND>(h); }

// Selection changes list boxes reported to their dialogs so far.
unsigned g_listSelChanges = 0;

std::vector<int> SelectedLines(HWND list)
{
    const LRESULT n = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    std::vector<int> lines(n > 0 ? static_cast<std::size_t>(n) : 0);
    if (n > 0) SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(lines.data()));
    return lines;
}

// A multiple-selection list box toggles a line with Space; Wine's does so without
// telling its dialog (Windows' does). The back end tells it then, so the program sees
// every change the user makes, whichever way it was made.
LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, ListBoxProc, 1);
    const bool key = message == WM_KEYDOWN || message == WM_CHAR;
    if (!key) return DefSubclassProc(hwnd, message, wParam, lParam);
    const std::vector<int> before = SelectedLines(hwnd);
    const unsigned reported = g_listSelChanges;
    const LRESULT r = DefSubclassProc(hwnd, message, wParam, lParam);
    if (IsWindow(hwnd) && g_listSelChanges == reported && SelectedLines(hwnd) != before) {
        const int id = GetDlgCtrlID(hwnd);
        SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(hwnd));
    }
    return r;
}

void WatchListBoxes(HWND dialog)
{
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[16] = {};
        GetClassNameW(c, cls, 16);
        const LONG_PTR style = GetWindowLongPtrW(c, GWL_STYLE);
        if (lstrcmpiW(cls, L"ListBox") == 0 && (style & LBS_NOTIFY) && (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)))
            SetWindowSubclass(c, ListBoxProc, 1, 0);
    }
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return TRUE;
    }
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!state || !state->sink) return FALSE;
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == LBN_SELCHANGE && lParam) ++g_listSelChanges;
        state->sink->Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<Handle>(lParam));
        return TRUE;
    case WM_CLOSE:
        // The close box is the same as Esc: the program decides whether the dialog goes.
        if (!TakeCloseWhileHolding(hwnd)) state->sink->Command(IDCANCEL, BN_CLICKED, nullptr);
        return TRUE;
    case WM_LBUTTONDOWN: state->sink->LeftButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return TRUE;
    case WM_NCDESTROY:
        delete state;
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        return FALSE;
    default: return FALSE;
    }
}

}  // namespace

bool IsOurDialog(HWND hwnd) { return LiveDialogs().count(hwnd) != 0; }

namespace {

// The class and property ids as oleacc.h gives them, here so that no import library's
// copy of them (liboleacc and libuuid both define some) is needed.
constexpr GUID kAccPropServices = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kIAccPropServices = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kAccName = {0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};

// Runs use on the annotation service, where the system offers one. COM is set up once
// for the thread and stays (the Save As dialog needs it too).
template <typename Use>
void WithAnnotations(Use use)
{
    static thread_local const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    (void)com;
    IAccPropServices* props = nullptr;
    if (FAILED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices,
                                reinterpret_cast<void**>(&props))) ||
        !props)
        return;
    use(props);
    props->Release();
}

}  // namespace

void SetAccessibleName(Handle control, const char* name)
{
    HWND h = H(control);
    const std::wstring wide = Wide(name);
    SetWindowTextW(h, wide.c_str());
    // Windows names a progress bar after the static text before it, never after its own
    // text: the annotation is what a screen reader is given instead. Where annotations
    // are not offered, the window text is all there is.
    WithAnnotations([&](IAccPropServices* props) {
        props->SetHwndPropStr(h, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kAccName, wide.c_str());
    });
}

void ClearAccessibleName(Handle control)
{
    HWND h = H(control);
    MSAAPROPID name = kAccName;
    WithAnnotations([&](IAccPropServices* props) {
        props->ClearHwndProps(h, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &name, 1);
    });
}

std::wstring Wide(const char* text)
{
    if (!text || !*text) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, w.data(), n);
    w.resize(static_cast<std::size_t>(n - 1));
    return w;
}

std::string Narrow(const wchar_t* text, int length)
{
    if (!text || length == 0) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, s.data(), n, nullptr, nullptr);
    if (length < 0 && !s.empty()) s.pop_back();  // the NUL
    return s;
}

std::u16string Utf16(const char* text)
{
    std::wstring w = Wide(text);
    return std::u16string(w.begin(), w.end());
}

std::string Utf8(const char16_t* text, std::size_t length)
{
    return Narrow(reinterpret_cast<const wchar_t*>(text), static_cast<int>(length));
}

Handle CreateDialogFromTemplate(const std::vector<std::uint8_t>& bytes, Handle owner, IDialogSink* sink)
{
    auto* state = new DialogState{sink};
    // The template must be DWORD-aligned: copy it into memory that is.
    std::vector<DWORD> aligned((bytes.size() + 3) / 4);
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<std::uint8_t*>(aligned.data()));
    HWND hwnd = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(aligned.data()),
                                           H(owner), DialogProc, reinterpret_cast<LPARAM>(state));
    if (!hwnd) {
        delete state;
        return nullptr;
    }
    LiveDialogs().insert(hwnd);
    WatchListBoxes(hwnd);
    return hwnd;
}

void CentreDialog(Handle dialog, Handle over)
{
    HWND h = H(dialog);
    RECT r;
    if (!GetWindowRect(h, &r)) return;
    HWND o = H(over);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    POINT cursor{0, 0};
    GetCursorPos(&cursor);
    HMONITOR monitor = o && ::IsWindowVisible(o) ? MonitorFromWindow(o, MONITOR_DEFAULTTONEAREST)
                                                 : MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY);
    if (!GetMonitorInfoW(monitor, &mi)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &mi.rcWork, 0);
    const RECT area = mi.rcWork;
    RECT around = area;
    if (o && ::IsWindowVisible(o) && !::IsIconic(o)) GetWindowRect(o, &around);
    const int w = r.right - r.left, hgt = r.bottom - r.top;
    int x = around.left + ((around.right - around.left) - w) / 2;
    int y = around.top + ((around.bottom - around.top) - hgt) / 2;
    // Whole on the screen where it fits; its title bar on it where it does not.
    x = std::max(static_cast<int>(area.left), std::min(x, static_cast<int>(area.right) - w));
    y = std::max(static_cast<int>(area.top), std::min(y, static_cast<int>(area.bottom) - hgt));
    SetWindowPos(h, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Handle ActiveDialog()
{
    HWND active = GetActiveWindow();
    return active && IsOurDialog(active) && ::IsWindowVisible(active) ? active : nullptr;
}

bool WindowRectOf(Handle window, int rect[4])
{
    RECT r;
    if (!GetWindowRect(H(window), &r)) return false;
    rect[0] = r.left, rect[1] = r.top, rect[2] = r.right, rect[3] = r.bottom;
    return true;
}

void MoveWindowTo(Handle window, int x, int y)
{
    SetWindowPos(H(window), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool WorkAreaOf(Handle window, int rect[4])
{
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (!GetMonitorInfoW(MonitorFromWindow(H(window), MONITOR_DEFAULTTONEAREST), &mi)) return false;
    rect[0] = mi.rcWork.left, rect[1] = mi.rcWork.top, rect[2] = mi.rcWork.right, rect[3] = mi.rcWork.bottom;
    return true;
}

std::vector<Handle> DialogControls(Handle dialog)
{
    // The dialog manager makes the controls in template order, each below the last.
    std::vector<Handle> out;
    for (HWND c = GetWindow(H(dialog), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
    return out;
}

void SetDefaultButton(Handle dialog, int id) { SendMessageW(H(dialog), DM_SETDEFID, static_cast<WPARAM>(id), 0); }

void DestroyDialog(Handle dialog)
{
    HWND hwnd = H(dialog);
    if (!LiveDialogs().erase(hwnd)) return;
    EndModal(dialog);
    if (auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(hwnd, DWLP_USER))) state->sink = nullptr;
    ShowWindow(hwnd, SW_HIDE);
    DestroyedDialogs().push_back(hwnd);
}

void FreeDestroyedDialogs()
{
    std::vector<HWND> list;
    list.swap(DestroyedDialogs());
    for (HWND h : list) ::DestroyWindow(h);
}

std::vector<HWND> DisableOurDialogs(HWND except)
{
    std::vector<HWND> disabled;
    for (HWND h : LiveDialogs()) {
        if (h == except || !::IsWindowEnabled(h)) continue;
        ::EnableWindow(h, FALSE);
        disabled.push_back(h);
    }
    return disabled;
}

void EnableDialogs(const std::vector<HWND>& dialogs)
{
    for (HWND h : dialogs)
        if (IsOurDialog(h)) ::EnableWindow(h, TRUE);
}

void BeginModal(Handle dialog) { ModalDisabled()[H(dialog)] = DisableOurDialogs(H(dialog)); }

void EndModal(Handle dialog)
{
    auto it = ModalDisabled().find(H(dialog));
    if (it == ModalDisabled().end()) return;
    EnableDialogs(it->second);
    ModalDisabled().erase(it);
}

std::intptr_t SendControl(Handle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    return SendMessageW(H(window), message, wParam, lParam);
}

std::intptr_t SendWithText(Handle window, unsigned message, std::uintptr_t wParam, const char* text)
{
    std::wstring w = Wide(text);
    return SendMessageW(H(window), message, wParam, reinterpret_cast<LPARAM>(w.c_str()));
}

std::string WindowText(Handle window)
{
    int n = GetWindowTextLengthW(H(window));
    if (n <= 0) return {};
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    n = GetWindowTextW(H(window), w.data(), n + 1);
    return Narrow(w.data(), n);
}

bool ItemText(Handle window, bool comboBox, int index, std::string* text)
{
    const UINT lenMsg = comboBox ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
    const UINT textMsg = comboBox ? CB_GETLBTEXT : LB_GETTEXT;
    LRESULT n = SendMessageW(H(window), lenMsg, static_cast<WPARAM>(index), 0);
    if (n < 0) return false;
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    n = SendMessageW(H(window), textMsg, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(w.data()));
    if (n < 0) return false;
    *text = Narrow(w.data(), static_cast<int>(n));
    return true;
}

void PostToWindow(Handle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    PostMessageW(H(window), message, wParam, lParam);
}

bool WindowExists(Handle window) { return window && IsWindow(H(window)); }

void EnableWindow(Handle window, bool enable) { ::EnableWindow(H(window), enable ? TRUE : FALSE); }

bool IsWindowEnabled(Handle window) { return ::IsWindowEnabled(H(window)) != FALSE; }

void ShowWindow(Handle window, bool show)
{
    HWND h = H(window);
    if (!show) {
        ::ShowWindow(h, SW_HIDE);
        return;
    }
    const bool dialog = IsOurDialog(h);
    ::ShowWindow(h, dialog ? SW_SHOWNORMAL : SW_SHOW);
    if (dialog) SetForegroundWindow(h);
}

bool IsWindowVisible(Handle window) { return ::IsWindowVisible(H(window)) != FALSE; }

void FocusWindow(Handle window)
{
    HWND h = H(window);
    if (IsOurDialog(h)) {
        SetForegroundWindow(h);
        SetActiveWindow(h);
        HWND focus = GetFocus();
        if (!focus || GetAncestor(focus, GA_ROOT) != h) {
            if (HWND first = GetNextDlgTabItem(h, nullptr, FALSE)) ::SetFocus(first);
        }
        return;
    }
    HWND top = GetAncestor(h, GA_ROOT);
    if (top && GetActiveWindow() != top) SetActiveWindow(top);
    // Through the dialog manager, as Tab moves it: a push button that takes the focus
    // becomes the default one (Enter clicks it), and the default comes back after.
    // An edit keeps its caret and selection (the dialog manager would select all, as
    // for a Tab).
    if (GetFocus() == h) return;
    if (top && IsOurDialog(top)) {
        DWORD start = 0, end = 0;
        const bool edit = (SendMessageW(h, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0;
        if (edit) SendMessageW(h, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        SendMessageW(top, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(h), TRUE);
        if (edit) SendMessageW(h, EM_SETSEL, start, static_cast<LPARAM>(end));
    } else {
        ::SetFocus(h);
    }
}

bool HasFocus(Handle window)
{
    HWND h = H(window);
    if (IsOurDialog(h)) return GetActiveWindow() == h;
    return GetFocus() == h;
}

void BringToTop(Handle window)
{
    HWND top = GetAncestor(H(window), GA_ROOT);
    if (!top) return;
    ::BringWindowToTop(top);
    SetForegroundWindow(top);
}

void DialogBaseUnits(Handle dialog, int* x, int* y)
{
    RECT r{0, 0, 4, 8};
    MapDialogRect(H(dialog), &r);
    *x = r.right;
    *y = r.bottom;
}

// --- Icons ---------------------------------------------------------------------------

Handle IconFromIcoData(const std::uint8_t* data, std::size_t size, int sizePx)
{
    static std::map<std::pair<const std::uint8_t*, int>, HICON> cache;
    auto key = std::make_pair(data, sizePx);
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    HICON icon = nullptr;
    auto u16 = [data](std::size_t at) { return static_cast<unsigned>(data[at] | (data[at + 1] << 8)); };
    auto u32 = [data](std::size_t at) {
        return static_cast<std::size_t>(data[at]) | (static_cast<std::size_t>(data[at + 1]) << 8) |
               (static_cast<std::size_t>(data[at + 2]) << 16) | (static_cast<std::size_t>(data[at + 3]) << 24);
    };
    if (data && size >= 6 && u16(0) == 0 && u16(2) == 1) {
        const unsigned count = u16(4);
        int best = -1, bestDiff = 1 << 30;
        unsigned bestBpp = 0;
        for (unsigned i = 0; i < count && 6 + 16 * (i + 1) <= size; ++i) {
            const std::size_t e = 6 + 16 * i;
            const int w = data[e] ? data[e] : 256;
            const unsigned bpp = u16(e + 6);
            const std::size_t bytes = u32(e + 8), offset = u32(e + 12);
            if (offset > size || bytes > size - offset) continue;
            // The exact size, else the nearest larger one (shrinking keeps it sharp),
            // else the largest there is.
            const int diff = w >= sizePx ? w - sizePx : (sizePx - w) * 1000;
            if (diff < bestDiff || (diff == bestDiff && bpp > bestBpp)) {
                best = static_cast<int>(i);
                bestDiff = diff;
                bestBpp = bpp;
            }
        }
        if (best >= 0) {
            const std::size_t e = 6 + 16 * static_cast<std::size_t>(best);
            icon = CreateIconFromResourceEx(const_cast<PBYTE>(data + u32(e + 12)), static_cast<DWORD>(u32(e + 8)), TRUE,
                                            0x00030000, sizePx, sizePx, LR_DEFAULTCOLOR);
        }
    }
    cache[key] = icon;
    return icon;
}

int IconPixelsFor(Handle window, int dips)
{
    // The window's own DPI where the system has it (per-monitor screens), else the
    // system's.
    UINT dpi = window ? GetDpiForWindow(H(window)) : 0;
    if (dpi == 0) {
        HDC dc = GetDC(nullptr);
        dpi = dc ? static_cast<UINT>(GetDeviceCaps(dc, LOGPIXELSX)) : 96;
        if (dc) ReleaseDC(nullptr, dc);
    }
    if (dpi == 0) dpi = 96;
    return MulDiv(dips, static_cast<int>(dpi), 96);
}

void WindowIconSizes(int* big, int* small)
{
    *big = GetSystemMetrics(SM_CXICON);
    *small = GetSystemMetrics(SM_CXSMICON);
    if (*big <= 0) *big = 32;
    if (*small <= 0) *small = 16;
}

void SetWindowIcons(Handle window, Handle big, Handle small)
{
    if (big) SendMessageW(H(window), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (small) SendMessageW(H(window), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

// --- Process -----------------------------------------------------------------------------

void InitCommonControls()
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
}

}  // namespace native
