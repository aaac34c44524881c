#include "prompt_closer_win32.h"

#include <windows.h>

namespace {

BOOL CALLBACK CancelIfPrompt(HWND hwnd, LPARAM found)
{
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    // The thread has no dialog of its own open in these tests: a visible dialog-class
    // window is the prompt.
    if (IsWindowVisible(hwnd) && lstrcmpW(cls, L"#32770") == 0) {
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        *reinterpret_cast<bool*>(found) = true;
    }
    return TRUE;
}

}  // namespace

bool CancelOpenPrompt()
{
    bool found = false;
    EnumThreadWindows(GetCurrentThreadId(), CancelIfPrompt, reinterpret_cast<LPARAM>(&found));
    return found;
}
