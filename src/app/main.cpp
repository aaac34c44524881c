// Entry point: the platform layer first, then the application object runs.
#include "app/QuillboxApp.h"
#include "platform/app.h"
#include "platform/qt/qt_platform.h"

#include <cstdio>

// The one application object.
CQuillboxApp theApp;

int main(int argc, char** argv)
{
    if (!QtPlatformDisplayAvailable()) {
        std::fprintf(stderr,
                     "quillbox: no display found; run it on a desktop, under xvfb-run, or with "
                     "QT_QPA_PLATFORM=offscreen\n");
        return 2;
    }
    QtPlatform platform(argc, argv);
    return AfxRunApplication();
}
