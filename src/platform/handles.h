// Window handles of the platform layer, for its own files only (wnd.cpp keeps the
// table; dialogs and the application take and give back handles through it).
#pragma once

#include "platform/wintypes.h"

class CWnd;

// A new handle that names wnd until it is released; never 0.
HWND PlatformAllocHandle(CWnd* wnd);
// Makes an existing handle name wnd (a control handle taken over by its C++ object).
void PlatformRebindHandle(HWND hwnd, CWnd* wnd);
// Forgets the handle; a later look-up of it finds no window.
void PlatformReleaseHandle(HWND hwnd);
