// Entry point: the platform layer first, then the application object runs.
#include "app/Config.h"
#include "app/QuillboxApp.h"
#include "platform/app.h"
#include "platform/gui.h"

#include <cstdio>
#include <cstring>

// The one application object.
CQuillboxApp theApp;

int main(int argc, char** argv)
{
    // The one option of its own, for checking an installation without a display:
    // prints the settings file this copy uses and ends. Everything else goes to the
    // window system.
    if (argc == 2 && std::strcmp(argv[1], "--settings-path") == 0) {
        std::printf("%s\n", QuillboxIniPath().c_str());
        return 0;
    }
    if (const char* why = GuiPlatform::Unavailable()) {
        std::fprintf(stderr, "quillbox: %s\n", why);
        return 2;
    }
    GuiPlatform platform(argc, argv);
    return AfxRunApplication();
}
