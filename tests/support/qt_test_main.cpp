// GoogleTest main for tests that need the window system: Qt runs offscreen unless the
// caller chose a platform, with the fonts and style pinned so layouts are repeatable.
#include "platform/qt/qt_platform.h"
#include "platform/resources.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The tests compare English texts: the tester's own language does not count unless
    // a run asks for one (LC_ALL=de, or the pseudo-language LC_ALL=qps). A run of the
    // screenshot tests in another language names it in QBX_TEST_LANGUAGE: the dialogs
    // made directly by a test show it as well as those of a started program.
    const char* language = std::getenv("QBX_TEST_LANGUAGE");
    if (language && *language) setenv("LC_ALL", language, 1);
    if (!std::getenv("LC_ALL")) setenv("LC_ALL", "C.UTF-8", 1);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        std::string dir = "/tmp/qbx-runtime-" + std::to_string(getuid());
        mkdir(dir.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    mkdir(QBX_TEST_OUTPUT_DIR, 0755);
    testing::InitGoogleTest(&argc, argv);
    QtPlatform platform(argc, argv);
    if (language && *language) {
        QbxRegisterResources();
        SetResourceLanguage(language);
    }
    return RUN_ALL_TESTS();
}
