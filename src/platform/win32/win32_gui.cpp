#include "platform/gui.h"

#include "platform/win32/win32_platform.h"

struct GuiPlatform::Impl {
    Win32Platform platform;
};

GuiPlatform::GuiPlatform(int&, char**) : d(std::make_unique<Impl>()) {}

GuiPlatform::~GuiPlatform() = default;

// A Windows session always has its desktop.
const char* GuiPlatform::Unavailable() { return nullptr; }
