// The language the user reads, as the system's settings name it. Standard types only;
// twins platform/posix/ui_language.cpp and platform/win32/ui_language.cpp.
//
// Contract:
// - On POSIX the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty, as
//   written there ("de_DE.UTF-8", "C"); empty when none is. When that locale is
//   neither C nor POSIX and LANGUAGE is set and not empty, LANGUAGE instead, as
//   written there ("fr:de"): the user's languages in order, as gettext takes them.
// - On Windows the user's display language as a locale name ("de-DE"); empty when the
//   system cannot tell.
#pragma once

#include <string>

std::string GetUserUiLanguage();
