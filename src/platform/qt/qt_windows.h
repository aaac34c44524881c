// Dialogs and controls on Qt widgets (see wnd.h and dialog.h for the contracts).
#pragma once

#include "platform/wnd.h"

class QWidget;
class QFont;

class QtWindowSystem : public IWindowSystem {
public:
    IWindowImpl* CreateDialogWindow(HWND dialog, const DlgTemplate& tmpl, HWND owner, bool modal,
                                    std::vector<ControlHandle>& controls) override;
    void SetApplicationIcon(UINT iconId) override;
};

// The handle of the dialog a top-level widget belongs to, 0 when none.
HWND QtDialogHandleOf(QWidget* topLevel);
// The top-level widget of a dialog handle, null when none.
QWidget* QtWidgetOfHandle(HWND hwnd);
// The font dialogs are laid out with.
const QFont& QtDialogFont();
int QtBaseUnitX();
int QtBaseUnitY();
