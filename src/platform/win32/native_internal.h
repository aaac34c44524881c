// Shared state of the native half of the Win32 back end (native_*.cpp only).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace native {

// The thread's live dialogs (those the keyboard goes to through IsDialogMessageW).
bool IsOurDialog(HWND hwnd);
// The close box (WM_CLOSE) of one of our dialogs while input is held: true when the
// event code took it (posted a close request, or kept it for after the call).
bool TakeCloseWhileHolding(HWND dialog);

std::wstring Wide(const char* text);
std::string Narrow(const wchar_t* text, int length = -1);

}  // namespace native

namespace native {

// Disables every live dialog but except (a window-system modal loop is about to run);
// gives back those it disabled.
std::vector<HWND> DisableOurDialogs(HWND except);
void EnableDialogs(const std::vector<HWND>& dialogs);

}  // namespace native
