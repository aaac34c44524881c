// The join between the two halves of the Win32 back end.
//
// The layer's headers define the window system's names themselves (HWND, MSG,
// SendMessage, ...), and so does <windows.h>: no file can include both. The glue half
// (win32_platform.cpp, win32_windows.cpp, win32_backend.cpp) includes the layer's
// headers and never <windows.h>; the native half (native_*.cpp) includes <windows.h> and
// never the layer's headers. This header joins them with standard types only.
//
// Native window and icon handles cross it as void*; message numbers, styles and
// control messages keep the window system's own values, which the layer uses too.
// Texts cross it as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace native {

using Handle = void*;  // a native window or icon handle; null is none

// What a native dialog reports to the layer. Calls come on the user-interface thread
// from inside the dialog's window procedure.
class IDialogSink {
public:
    virtual ~IDialogSink() = default;
    // WM_COMMAND: a control's notification or a button (Enter and Esc arrive as
    // IDOK / IDCANCEL, the close box as IDCANCEL). control is the sending control, or
    // null.
    virtual void Command(int id, unsigned code, Handle control) = 0;
    // A left click on the dialog itself (not on a control), in client pixels.
    virtual void LeftButtonDown(int x, int y) = 0;
};

// --- Dialogs and controls (native_windows.cpp) -------------------------------------

// Creates a hidden modeless dialog from DLGTEMPLATEEX bytes; the sink gets its reports
// until DestroyDialog. owner may be null. Returns null on failure.
Handle CreateDialogFromTemplate(const std::vector<std::uint8_t>& bytes, Handle owner, IDialogSink* sink);
// Places dialog (not yet shown) as Windows programs place their dialogs: centred on
// over when that is a visible window, else on the screen's work area (of the monitor
// the mouse is on), kept within that work area.
void CentreDialog(Handle dialog, Handle over);
// The program's dialog that is active now, if it is one of ours and visible; else null.
Handle ActiveDialog();
// A window's rectangle in screen pixels, and the work area of the monitor it is on
// (left, top, right, bottom); false when the window is gone (tests look at both).
bool WindowRectOf(Handle window, int rect[4]);
bool WorkAreaOf(Handle window, int rect[4]);
// Moves a window's top-left corner to (x, y), screen pixels, keeping its size (tests).
void MoveWindowTo(Handle window, int x, int y);
// The dialog's controls in the order the template lists them.
std::vector<Handle> DialogControls(Handle dialog);
// Makes the control with id the dialog's default button (Enter clicks it).
void SetDefaultButton(Handle dialog, int id);
// Stops the reports at once, hides the dialog, and frees it the next time
// FreeDestroyedDialogs runs (a handler of it may still be on the stack).
void DestroyDialog(Handle dialog);
void FreeDestroyedDialogs();
// Disables every other visible dialog of the thread until EndModal(dialog).
void BeginModal(Handle dialog);
void EndModal(Handle dialog);

// Sends a control message whose parameters are plain numbers or point to plain data.
std::intptr_t SendControl(Handle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
// Messages carrying a text, converted at the boundary.
std::intptr_t SendWithText(Handle window, unsigned message, std::uintptr_t wParam, const char* text);
std::string WindowText(Handle window);
// The text of item index of a list box (LB_GETTEXT) or combo box (CB_GETLBTEXT); false
// when the index names no item.
bool ItemText(Handle window, bool comboBox, int index, std::string* text);

// Posts to the window's native queue (input for tests, which arrives as the window
// system's would).
void PostToWindow(Handle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
// Names a control for screen readers (UTF-8): the name accessibility clients are given
// for it (dynamic annotation of its MSAA name), and its window text, which a progress
// bar does not draw. For a control no static text labels in the template.
void SetAccessibleName(Handle control, const char* name);
// Takes the annotation away again (before the control is destroyed: it is kept by
// the system otherwise).
void ClearAccessibleName(Handle control);
// False once the window system has freed the window.
bool WindowExists(Handle window);

void EnableWindow(Handle window, bool enable);
bool IsWindowEnabled(Handle window);
void ShowWindow(Handle window, bool show);
bool IsWindowVisible(Handle window);
void FocusWindow(Handle window);  // a dialog: activates it; a control: takes the focus
bool HasFocus(Handle window);
void BringToTop(Handle window);

// An icon made from the bytes of an .ico file, at size pixels (the nearest image it
// holds); null when the data holds none. Freed with the process.
Handle IconFromIcoData(const std::uint8_t* data, std::size_t size, int sizePx);
// The pixels an icon of dips device-independent pixels (96 to the inch) takes in
// window at its screen's DPI: 32 is 48 at 150 % and 64 at 200 %.
int IconPixelsFor(Handle window, int dips);
// The sizes the window system asks of a caption's big and small icons at its DPI.
void WindowIconSizes(int* big, int* small);
// Sets the big and small icons of a dialog's caption and task bar button.
void SetWindowIcons(Handle window, Handle big, Handle small);

// The dialog base units of a template font (pixels per 4 horizontal / 8 vertical units).
void DialogBaseUnits(Handle dialog, int* x, int* y);

// --- Events (native_events.cpp) ----------------------------------------------------

// The native side of the event back end. Construct it on the user-interface thread.
struct EventHooks {
    // Runs the layer's queue without waiting while a window-system modal loop (message
    // box, Save As) has the thread.
    std::function<void()> pumpLayerQueue;
    // Milliseconds until the layer's next timer is due, -1 without one.
    std::function<int()> msUntilNextTimer;
    // The dialog a close request (Esc, close box) during a blocking call is for: posts
    // the registered request and returns true, false when the dialog has none.
    std::function<bool(Handle dialog)> postCloseRequest;
};

// wakeEvent: the event object (a HANDLE) that WakeEvents signals and the waits wake on;
// kept by the caller.
void InitEvents(const EventHooks& hooks, std::uintptr_t wakeEvent);
void ShutdownEvents();
// Dispatches every waiting window-system message (keyboard handled for dialogs as the
// dialog manager does); frees destroyed dialogs when freeDialogs.
void DispatchWaiting(bool freeDialogs);
// Sleeps until a window-system message, WakeEvents() or timeoutMs (-1: no limit).
void WaitForMessagesOrWake(int timeoutMs);
// Any thread.
void WakeEvents();
// Blocking socket calls: from Begin to End user input is held (and given back, in
// order, at End); Esc and the close box of a dialog with a close request post it.
// End is true when it gave input back (the next look at the queue should take it).
void BeginHoldingInput();
bool EndHoldingInput();
bool HoldingInput();
// Waits until socket (a WinSock SOCKET; all ones for none) is readable (or writable),
// WakeEvents() or timeoutMs, dispatching what comes meanwhile (the caller holds input
// back). 1 when ready, else 0.
int WaitForSocketOrWake(std::uintptr_t socket, bool forWrite, int timeoutMs);
// Brackets a window-system modal loop (MessageBoxW, GetSaveFileNameW): the layer's queue
// keeps running inside it through a hidden helper window.
void BeginNativeModal();
void EndNativeModal();

// --- Prompts (native_prompts.cpp) ---------------------------------------------------

// MessageBoxW; type and the answer have the window system's values.
int ShowMessageBox(Handle owner, const char* text, const char* caption, unsigned type);
struct SaveAsRequest {
    Handle owner = nullptr;
    std::string filter;  // pairs of texts, each ended by a NUL, the whole ended by an empty one
    std::string initialName;
    std::string initialDir;
    std::string defaultExt;
    unsigned flags = 0;
    unsigned filterIndex = 1;  // in: the type shown first (from 1); out: the type chosen
};
// GetSaveFileNameW; the chosen path in *path and the chosen type in request.filterIndex.
// False when cancelled or failed.
bool ShowSaveAs(SaveAsRequest& request, std::string* path);

// --- Process --------------------------------------------------------------------------

// UTF-8 to UTF-16 and back (invalid bytes become U+FFFD).
std::u16string Utf16(const char* text);
std::string Utf8(const char16_t* text, std::size_t length);

// Registers the common controls (progress bar, visual styles).
void InitCommonControls();

}  // namespace native
