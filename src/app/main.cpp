// Entry point: the platform layer first, then the application object runs.
#include "app/Config.h"
#include "app/QuillboxApp.h"
#include "platform/app.h"
#include "platform/gui.h"
#include "platform/version.h"
#include "res/resource.h"
#include "ui/AboutDlg.h"

#include <cstdio>
#include <cstring>

// The one application object.
CQuillboxApp theApp;

int main(int argc, char** argv)
{
    // Its own options need no display: each prints and ends. Everything else goes to
    // the window system.
    if (argc == 2 && std::strcmp(argv[1], "--settings-path") == 0) {
        std::printf("%s\n", QuillboxIniPath().c_str());
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        QbxRegisterResources();
        char version[55] = "";
        GetVersionString(version, sizeof version, 1, nullptr);
        std::printf("Quillbox %s for %s\n", version, QBX_BUILT_FOR);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("Usage: quillbox                   start the dialogs (needs a display)\n"
                    "       quillbox --settings-path   print the settings file this copy uses\n"
                    "       quillbox --version         print the version\n"
                    "See quillbox(1); quillbox-cli(1) works without a display.\n");
        return 0;
    }
    if (const char* why = GuiPlatform::Unavailable()) {
        std::fprintf(stderr, "quillbox: %s\n", why);
        return 2;
    }
    GuiPlatform platform(argc, argv);
    return AfxRunApplication();
}
