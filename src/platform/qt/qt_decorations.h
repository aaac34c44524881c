// The buttons a window manager gives a dialog's frame.
#pragma once

class QWidget;

// Tells the window manager that the top-level dialog may be moved, and closed only
// when closeBox is set; never minimised, maximised or resized. Qt states the
// decorations itself but leaves every function open when a dialog asks for no
// button at all, so a dialog without a close box would get one anyway. Creates the
// native window when it does not exist yet. Does nothing off X11 (offscreen,
// Wayland) or when the build has no XCB.
void SetDialogFrameFunctions(QWidget* dialog, bool closeBox);
