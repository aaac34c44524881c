#include "platform/gui.h"

#include "platform/qt/qt_platform.h"

struct GuiPlatform::Impl {
    Impl(int& argc, char** argv) : platform(argc, argv) {}
    QtPlatform platform;
};

GuiPlatform::GuiPlatform(int& argc, char** argv) : d(std::make_unique<Impl>(argc, argv)) {}

GuiPlatform::~GuiPlatform() = default;

const char* GuiPlatform::Unavailable()
{
    if (QtPlatformDisplayAvailable()) return nullptr;
    return "no display found; run it on a desktop, under xvfb-run, or with QT_QPA_PLATFORM=offscreen";
}
