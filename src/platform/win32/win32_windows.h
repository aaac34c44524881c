// Dialogs and controls on the window system's dialog manager (see wnd.h and dialog.h for
// the contracts). The glue half: the native calls go through win32_native.h.
#pragma once

#include "platform/wnd.h"

class Win32WindowSystem : public IWindowSystem {
public:
    IWindowImpl* CreateDialogWindow(HWND dialog, const DlgTemplate& tmpl, HWND owner, bool modal,
                                    std::vector<ControlHandle>& controls) override;
    void SetApplicationIcon(UINT iconId) override;
};

// The native window of a dialog handle, null when none.
void* Win32NativeOfHandle(HWND hwnd);
// The handle of the dialog a native window belongs to, 0 when none.
HWND Win32DialogHandleOf(void* native);
// The native window of a dialog's control with id, null when none (tests).
void* Win32NativeControl(HWND dialog, int id);
