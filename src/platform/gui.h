// The window system the program runs on, as the build chose it (Qt on Linux, the
// Win32 back end on Windows): one name for the entry point, whatever the platform.
//
// Contract: check Unavailable() first; construct one GuiPlatform on the user-interface
// thread before any window is created (argc and argv must outlive it). It installs the
// window system, the event backend and the prompts; the destructor uninstalls them.
#pragma once

#include <memory>

class GuiPlatform {
public:
    GuiPlatform(int& argc, char** argv);
    ~GuiPlatform();
    GuiPlatform(const GuiPlatform&) = delete;
    GuiPlatform& operator=(const GuiPlatform&) = delete;

    // Why no window can be shown here and what to do, or null when windows can be shown.
    static const char* Unavailable();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
