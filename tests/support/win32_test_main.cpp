// GoogleTest main for tests that need the window system on Windows: the Win32 back end
// installed for the whole run.
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>

#include <filesystem>

int main(int argc, char** argv)
{
    std::error_code ignored;
    std::filesystem::create_directories(QBX_TEST_OUTPUT_DIR, ignored);
    testing::InitGoogleTest(&argc, argv);
    Win32Platform platform;
    return RUN_ALL_TESTS();
}
