// User input on the Win32 back end: the window system's own messages, posted to the
// native controls and delivered through the back end's loop (the dialog manager's
// keyboard handling included).
#include "user_input.h"

#include "platform/win32/win32_native.h"
#include "platform/win32/win32_windows.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace {

// Window-system values the layer's headers do not name.
constexpr unsigned kKeyDown = 0x0100, kKeyUp = 0x0101, kChar = 0x0102, kSysKeyDown = 0x0104, kSysKeyUp = 0x0105;
constexpr unsigned kLButtonDown = 0x0201, kLButtonUp = 0x0202, kSysCommand = 0x0112, kBmClick = 0x00F5;
constexpr unsigned kLbGetItemRect = 0x0198;
constexpr std::uintptr_t kScClose = 0xF060;
constexpr std::intptr_t kAltDown = std::intptr_t{1} << 29;

void* Control(CWnd* dlg, int id) { return dlg && dlg->m_hWnd ? Win32NativeControl(dlg->m_hWnd, id) : nullptr; }

unsigned VirtualKey(UserKey key)
{
    switch (key) {
    case UserKey::Return: return 0x0D;
    case UserKey::Escape: return 0x1B;
    case UserKey::End: return 0x23;
    case UserKey::Backspace: return 0x08;
    case UserKey::Down: return 0x28;
    case UserKey::Space: return 0x20;
    }
    return 0;
}

// Posts a key's press and release; the loop's TranslateMessage makes its character.
void PostKey(void* window, unsigned vk)
{
    native::PostToWindow(window, kKeyDown, vk, 1);
    native::PostToWindow(window, kKeyUp, vk, static_cast<std::intptr_t>(0xC0000001u));
}

void Deliver() { native::DispatchWaiting(false); }

}  // namespace

void ClickButton(CWnd* dlg, int id)
{
    void* button = Control(dlg, id);
    ASSERT_NE(button, nullptr);
    native::SendControl(button, kBmClick, 0, 0);
}

void ClickLine(CWnd* dlg, int id, int row)
{
    void* list = Control(dlg, id);
    ASSERT_NE(list, nullptr);
    std::int32_t rect[4] = {};
    ASSERT_NE(native::SendControl(list, kLbGetItemRect, static_cast<std::uintptr_t>(row),
                                  reinterpret_cast<std::intptr_t>(rect)),
              -1);
    const int x = (rect[0] + rect[2]) / 2, y = (rect[1] + rect[3]) / 2;
    const std::intptr_t at = (x & 0xFFFF) | ((y & 0xFFFF) << 16);
    native::SendControl(list, kLButtonDown, 1, at);
    native::SendControl(list, kLButtonUp, 0, at);
    Deliver();
}

void PressKey(CWnd* dlg, int id, UserKey key)
{
    void* control = Control(dlg, id);
    ASSERT_NE(control, nullptr);
    native::FocusWindow(control);
    PostKey(control, VirtualKey(key));
    Deliver();
}

void TypeText(CWnd* dlg, int id, const char* text)
{
    void* control = Control(dlg, id);
    ASSERT_NE(control, nullptr);
    native::FocusWindow(control);
    for (const char* p = text; *p; ++p) native::PostToWindow(control, kChar, static_cast<unsigned char>(*p), 1);
    Deliver();
}

void PressAltLetter(CWnd* dlg, char letter)
{
    void* window = Win32NativeOfHandle(dlg->m_hWnd);
    ASSERT_NE(window, nullptr);
    const unsigned vk = static_cast<unsigned>(letter & ~0x20);  // 'A'..'Z'
    native::PostToWindow(window, kSysKeyDown, vk, kAltDown | 1);
    native::PostToWindow(window, kSysKeyUp, vk, kAltDown | static_cast<std::intptr_t>(0xC0000001u));
    Deliver();
}

void PressCloseBox(CWnd* dlg)
{
    void* window = Win32NativeOfHandle(dlg->m_hWnd);
    ASSERT_NE(window, nullptr);
    native::PostToWindow(window, kSysCommand, kScClose, 0);
    Deliver();
}

void QueueKey(CWnd* dlg, int id, UserKey key)
{
    void* control = Control(dlg, id);
    ASSERT_NE(control, nullptr);
    native::FocusWindow(control);
    PostKey(control, VirtualKey(key));
}

void QueueCloseBox(CWnd* dlg)
{
    void* window = Win32NativeOfHandle(dlg->m_hWnd);
    ASSERT_NE(window, nullptr);
    native::PostToWindow(window, kSysCommand, kScClose, 0);
}

bool ActivateAndWait(CWnd* dlg)
{
    void* window = Win32NativeOfHandle(dlg->m_hWnd);
    if (!window) return false;
    native::FocusWindow(window);
    for (int i = 0; i < 200 && !native::HasFocus(window); ++i) LetInputArrive();
    return native::HasFocus(window);
}

void LetInputArrive()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Deliver();
}

std::string ShownText(CWnd* dlg, int id)
{
    void* control = Control(dlg, id);
    return control ? native::WindowText(control) : std::string();
}

WindowWatch::WindowWatch(CWnd* dlg, int controlId)
{
    void* window = controlId ? Control(dlg, controlId) : (dlg ? Win32NativeOfHandle(dlg->m_hWnd) : nullptr);
    m_found = window != nullptr;
    m_freed = [window] { return !native::WindowExists(window); };
    m_shown = [window] { return native::WindowExists(window) && native::IsWindowVisible(window); };
}
