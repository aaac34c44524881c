#include "platform/win32/win32_windows.h"

#include "platform/msgqueue.h"
#include "platform/resources.h"
#include "platform/win32/win32_native.h"
#include "platform/win32/win32_template.h"

#include <cstring>
#include <map>
#include <memory>

namespace {

constexpr UINT kSetIconStatic = STM_SETICON;

struct Icons {
    void* big = nullptr;
    void* small = nullptr;
};
Icons g_appIcons;

std::map<HWND, void*>& NativeOfDialog()
{
    static std::map<HWND, void*> map;
    return map;
}

std::map<HWND, void*>& NativeOfControl()
{
    static std::map<HWND, void*> map;
    return map;
}

std::map<void*, HWND>& DialogOfNative()
{
    static std::map<void*, HWND> map;
    return map;
}

// Copies text into a caller's buffer of size bytes (at most size-1 bytes and a NUL).
LRESULT CopyText(const std::string& text, WPARAM size, LPARAM buffer)
{
    char* out = reinterpret_cast<char*>(buffer);
    if (!out || size == 0) return 0;
    std::size_t n = text.size();
    if (n > size - 1) n = size - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

// The notifications each kind of control reports, as the layer's routing expects them.
bool Reported(DlgItemClass cls, UINT code)
{
    switch (cls) {
    case DlgItemClass::Button: return code == BN_CLICKED;
    case DlgItemClass::Edit: return code == EN_CHANGE;
    case DlgItemClass::ListBox: return code == LBN_SELCHANGE || code == LBN_DBLCLK;
    case DlgItemClass::ComboBox: return code == CBN_SELCHANGE;
    default: return false;
    }
}

// Passes the native dialog's reports on to the layer's handles.
class DialogSink : public native::IDialogSink {
public:
    explicit DialogSink(HWND dialog) : m_dialog(dialog) {}

    struct Control {
        HWND hwnd;
        DlgItemClass cls;
        // A drop-down list's selection as last reported or set by the program: the
        // window system also reports a choice of the item already chosen.
        LRESULT selection = CB_ERR;
    };
    std::map<void*, Control> controls;

    void Command(int id, unsigned code, void* control) override
    {
        LPARAM from = 0;
        if (control) {
            auto it = controls.find(control);
            if (it == controls.end() || !Reported(it->second.cls, code)) return;
            if (it->second.cls == DlgItemClass::ComboBox) {
                const LRESULT now = native::SendControl(control, CB_GETCURSEL, 0, 0);
                if (now == it->second.selection) return;
                it->second.selection = now;
            }
            from = static_cast<LPARAM>(it->second.hwnd);
        } else if (code > 1) {
            return;
        }
        // The handler may destroy the dialog, and this object with it: nothing of it is
        // used after the call.
        const HWND dialog = m_dialog;
        ::SendMessage(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)), from);
    }

    void LeftButtonDown(int x, int y) override
    {
        const LPARAM lp = static_cast<LPARAM>((x & 0xFFFF) | ((y & 0xFFFF) << 16));
        ::SendMessage(m_dialog, WM_LBUTTONDOWN, 1, lp);
    }

private:
    HWND m_dialog;
};

// LB_GETTEXT and CB_GETLBTEXT carry the index in the low half of wParam and the
// buffer's size in the high half (0: the framework's 256).
void SplitTextRequest(WPARAM wParam, int& index, WPARAM& size)
{
    index = static_cast<int>(wParam & 0xFFFFFFFFu);
    size = wParam >> 32;
    if (size == 0) size = 256;
}

class Win32WindowImpl : public IWindowImpl {
public:
    Win32WindowImpl(void* window, const DlgItemTemplate* item, LRESULT* selection = nullptr)
        : m_native(window), m_item(item), m_selection(selection)
    {
    }

    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_SETTEXT:
        case LB_ADDSTRING:
        case CB_ADDSTRING:
            return native::SendWithText(m_native, message, wParam, reinterpret_cast<const char*>(lParam));
        case WM_GETTEXT: return CopyText(native::WindowText(m_native), wParam, lParam);
        case WM_GETTEXTLENGTH: return static_cast<LRESULT>(native::WindowText(m_native).size());
        case LB_GETTEXT:
        case CB_GETLBTEXT: {
            int index;
            WPARAM size;
            SplitTextRequest(wParam, index, size);
            std::string text;
            if (!native::ItemText(m_native, message == CB_GETLBTEXT, index, &text)) return LB_ERR;
            return CopyText(text, size, lParam);
        }
        case CB_SETCURSEL: {
            // An index that names no item clears the selection, as the layer promises.
            const LRESULT count = native::SendControl(m_native, CB_GETCOUNT, 0, 0);
            const bool valid = static_cast<LRESULT>(wParam) >= 0 && static_cast<LRESULT>(wParam) < count;
            const LRESULT r = native::SendControl(m_native, CB_SETCURSEL, valid ? wParam : WPARAM(-1), 0);
            if (m_selection) *m_selection = valid ? r : CB_ERR;
            return valid ? r : CB_ERR;
        }
        case CB_RESETCONTENT:
            if (m_selection) *m_selection = CB_ERR;
            return native::SendControl(m_native, message, wParam, lParam);
        case STM_SETICON: return SetIcon(static_cast<UINT>(wParam));
        case STM_GETICON: return m_icon;
        case LB_GETSEL: {
            const LRESULT r = native::SendControl(m_native, message, wParam, lParam);
            return r > 0 ? 1 : r;
        }
        default: return native::SendControl(m_native, message, wParam, lParam);
        }
    }
    void Enable(bool enable) override { native::EnableWindow(m_native, enable); }
    bool IsEnabled() const override { return native::IsWindowEnabled(m_native); }
    void Show(bool show) override { native::ShowWindow(m_native, show); }
    bool IsVisible() const override { return native::IsWindowVisible(m_native); }
    void SetFocus() override { native::FocusWindow(m_native); }
    bool HasFocus() const override { return native::HasFocus(m_native); }
    void BringToTop() override { native::BringToTop(m_native); }
    void Destroy() override {}

protected:
    void* m_native;
    const DlgItemTemplate* m_item;
    LRESULT* m_selection;  // a drop-down list's, kept with its dialog's reports

private:
    UINT SetIcon(UINT icon)
    {
        const UINT old = m_icon;
        m_icon = icon;
        void* handle = nullptr;
        // The 32-pixel icon at the screen's scale, from the image of that size.
        if (const IconRes* res = icon ? FindIcon(icon) : nullptr)
            handle = native::IconFromIcoData(res->data, res->size, native::IconPixelsFor(m_native, 32));
        native::SendControl(m_native, kSetIconStatic, reinterpret_cast<std::uintptr_t>(handle), 0);
        return old;
    }
    UINT m_icon = 0;
};

class Win32DialogImpl final : public Win32WindowImpl {
public:
    Win32DialogImpl(HWND hwnd, void* window, std::unique_ptr<DialogSink> sink)
        : Win32WindowImpl(window, nullptr), m_hwnd(hwnd), m_sink(std::move(sink))
    {
    }
    std::vector<std::unique_ptr<Win32WindowImpl>> controls;
    // Controls that a screen reader knows by the dialog's caption (a progress bar with no
    // label of its own): renamed whenever the caption changes.
    std::vector<void*> namedByCaption;

    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        const LRESULT r = Win32WindowImpl::Send(message, wParam, lParam);
        if (message == WM_SETTEXT)
            for (void* control : namedByCaption)
                native::SetAccessibleName(control, reinterpret_cast<const char*>(lParam));
        return r;
    }

    void Destroy() override
    {
        NativeOfDialog().erase(m_hwnd);
        for (auto& [control, info] : m_sink->controls) NativeOfControl().erase(info.hwnd);
        for (void* control : namedByCaption) native::ClearAccessibleName(control);
        DialogOfNative().erase(m_native);
        // Hidden now, freed by the outermost loop: a handler of one of its controls may
        // still run.
        native::DestroyDialog(m_native);
        delete this;
    }

private:
    HWND m_hwnd;
    std::unique_ptr<DialogSink> m_sink;
};

}  // namespace

IWindowImpl* Win32WindowSystem::CreateDialogWindow(HWND dialog, const DlgTemplate& tmpl, HWND owner, bool modal,
                                                   std::vector<ControlHandle>& controls)
{
    // Unowned natively: an owner's window going away must not take this one along. It
    // is placed over its owner all the same, else over the dialog the user works in.
    int defaultId = IDOK;
    const std::vector<std::uint8_t> bytes = BuildDialogTemplate(tmpl, &defaultId);
    auto sink = std::make_unique<DialogSink>(dialog);
    DialogSink* sinkPtr = sink.get();
    void* window = native::CreateDialogFromTemplate(bytes, nullptr, sinkPtr);
    if (!window) return nullptr;
    auto* impl = new Win32DialogImpl(dialog, window, std::move(sink));
    const std::vector<void*> natives = native::DialogControls(window);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const DlgItemTemplate& it = tmpl.items[controls[i].index];
        void* child = i < natives.size() ? natives[i] : nullptr;
        if (!child) continue;
        DialogSink::Control& reported = sinkPtr->controls[child];
        reported = DialogSink::Control{controls[i].hwnd, it.cls};
        if (ControlLabel(tmpl, controls[i].index) == tmpl.caption) {
            native::SetAccessibleName(child, tmpl.caption);
            impl->namedByCaption.push_back(child);
        }
        auto ctl = std::make_unique<Win32WindowImpl>(child, &it, &reported.selection);
        controls[i].impl = ctl.get();
        NativeOfControl()[controls[i].hwnd] = child;
        impl->controls.push_back(std::move(ctl));
    }
    native::SetDefaultButton(window, defaultId);
    void* over = owner ? Win32NativeOfHandle(owner) : nullptr;
    native::CentreDialog(window, over && native::IsWindowVisible(over) ? over : native::ActiveDialog());
    native::SetWindowIcons(window, g_appIcons.big, g_appIcons.small);
    if (modal) native::BeginModal(window);
    NativeOfDialog()[dialog] = window;
    DialogOfNative()[window] = dialog;
    return impl;
}

void Win32WindowSystem::SetApplicationIcon(UINT iconId)
{
    const IconRes* res = FindIcon(iconId);
    if (!res) return;
    int big = 32, small = 16;
    native::WindowIconSizes(&big, &small);
    g_appIcons.big = native::IconFromIcoData(res->data, res->size, big);
    g_appIcons.small = native::IconFromIcoData(res->data, res->size, small);
    for (auto& [hwnd, window] : NativeOfDialog()) native::SetWindowIcons(window, g_appIcons.big, g_appIcons.small);
}

void* Win32NativeOfHandle(HWND hwnd)
{
    auto it = NativeOfDialog().find(hwnd);
    return it == NativeOfDialog().end() ? nullptr : it->second;
}

HWND Win32DialogHandleOf(void* window)
{
    auto it = DialogOfNative().find(window);
    return it == DialogOfNative().end() ? 0 : it->second;
}

void* Win32NativeControl(HWND dialog, int id)
{
    CWnd* dlg = CWnd::FromHandle(dialog);
    CWnd* item = dlg ? dlg->GetDlgItem(id) : nullptr;
    if (!item) return nullptr;
    auto it = NativeOfControl().find(item->m_hWnd);
    return it == NativeOfControl().end() ? nullptr : it->second;
}
