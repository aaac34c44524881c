// Entry point: the platform layer first, then the application object runs.
#include "app/Config.h"
#include "app/QuillboxApp.h"
#include "platform/app.h"
#include "platform/qt/qt_platform.h"

#include <cstdio>
#include <cstring>

// The one application object.
CQuillboxApp theApp;

int main(int argc, char** argv)
{
    // The one option of its own, for checking an installation without a display:
    // prints the settings file this copy uses and ends. Everything else goes to Qt.
    if (argc == 2 && std::strcmp(argv[1], "--settings-path") == 0) {
        std::printf("%s\n", QuillboxIniPath().c_str());
        return 0;
    }
    if (!QtPlatformDisplayAvailable()) {
        std::fprintf(stderr, "quillbox: no display found; run it on a desktop, under xvfb-run, or with "
                             "QT_QPA_PLATFORM=offscreen\n");
        return 2;
    }
    QtPlatform platform(argc, argv);
    return AfxRunApplication();
}
