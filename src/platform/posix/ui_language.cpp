// The POSIX twin of the user's language: the locale variables, in the order the C
// library reads them for messages.
#include "platform/ui_language.h"

#include <cstdlib>

std::string GetUserUiLanguage()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}
