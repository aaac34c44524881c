// The Qt part of the platform layer: the window system, the event backend and the
// prompts, installed together.
//
// Contract: construct one QtPlatform on the user-interface thread before any window is
// created; it makes the QApplication when none exists (argc and argv must outlive it),
// pins the style (Fusion) and the dialog font (DejaVu Sans 8 pt), and installs itself
// as window system, event backend and prompts. The destructor uninstalls everything.
#pragma once

#include <memory>

class QtPlatform {
public:
    QtPlatform(int& argc, char** argv);
    ~QtPlatform();
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    // Dialog base units of the pinned dialog font (pixels per 4 horizontal / 8 vertical units).
    static int BaseUnitX();
    static int BaseUnitY();
    // Family of the font that dialogs really use (tests check that fonts are installed).
    static const char* ResolvedDialogFontFamily();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The width in pixels a message box needs for its caption to show whole on a window
// manager's frame, beside the frame's buttons (the boxes are at least this wide).
int QtCaptionWidth(const char* caption);
// The smallest title font size assumed, in points.
constexpr double kCaptionMinPoints = 10.0;

// True when a window system is available (a display, or QT_QPA_PLATFORM chosen).
bool QtPlatformDisplayAvailable();
