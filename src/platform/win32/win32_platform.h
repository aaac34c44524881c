// The Win32 part of the platform layer: the window system, the event backend and the
// prompts, installed together.
//
// Contract: construct one Win32Platform on the user-interface thread before any window
// is created; it registers the common controls and installs itself as window system,
// event backend and prompts. The destructor uninstalls everything.
#pragma once

#include <memory>

class Win32Platform {
public:
    Win32Platform();
    ~Win32Platform();
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // Dialog base units of the dialog font (pixels per 4 horizontal / 8 vertical units),
    // measured on a dialog of the given template; 0 when it cannot be made.
    static void BaseUnits(unsigned templateId, int* x, int* y);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
