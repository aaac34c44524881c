// What a screen reader is told a window is called: its MSAA name, read through the
// accessibility API as a client does. Standard types only: its half includes <windows.h>.
#pragma once

#include <string>

// The name (UTF-8) of window's client object; "(none)" when it has none, "(failed)"
// when the accessibility object could not be had.
std::string AccessibleNameOf(void* window);
