// What a user does to the dialogs, through the window system the tests run on (the Qt
// back end or the Win32 one): the same tests drive both.
#pragma once

#include "platform/wnd.h"

#include <functional>
#include <string>

enum class UserKey { Return, Escape, End, Backspace, Down, Space };

// Clicks push button id of dlg.
void ClickButton(CWnd* dlg, int id);
// Clicks line row of list box id.
void ClickLine(CWnd* dlg, int id, int row);
// Gives control id the focus and presses key there.
void PressKey(CWnd* dlg, int id, UserKey key);
// Gives control id the focus and types text there.
void TypeText(CWnd* dlg, int id, const char* text);
// Alt with a letter, wherever the focus is in dlg.
void PressAltLetter(CWnd* dlg, char letter);
// The caption's close box of dlg.
void PressCloseBox(CWnd* dlg);
// A key for control id that the window system delivers the next time the queue runs.
void QueueKey(CWnd* dlg, int id, UserKey key);
// The caption's close box of dlg, delivered the next time the queue runs.
void QueueCloseBox(CWnd* dlg);
// Activates dlg and waits until the window system says it is active.
bool ActivateAndWait(CWnd* dlg);
// Lets the window system deliver what it has for a few milliseconds.
void LetInputArrive();
// The text the control shows, read from the window system's own control.
std::string ShownText(CWnd* dlg, int id);

// Watches the visible window behind a dialog or one of its controls: whether the window
// system has freed it, and whether it is shown.
class WindowWatch {
public:
    explicit WindowWatch(CWnd* dlg, int controlId = 0);
    bool Freed() const { return m_freed(); }
    bool Shown() const { return m_shown(); }
    bool Found() const { return m_found; }

private:
    bool m_found = false;
    std::function<bool()> m_freed;
    std::function<bool()> m_shown;
};
