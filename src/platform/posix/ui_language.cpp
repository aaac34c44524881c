// The POSIX twin of the user's language: the locale variables, in the order the C
// library reads them for messages, and LANGUAGE as gettext reads it.
#include "platform/ui_language.h"

#include <cstdlib>

std::string GetUserUiLanguage()
{
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            locale = value;
            break;
        }
    }
    // LANGUAGE, the user's list of languages in order, counts over the locale as it does
    // for every program translated with gettext: only when the locale is not C or POSIX.
    const std::string base = locale.substr(0, locale.find('.'));
    const char* languages = std::getenv("LANGUAGE");
    if (!locale.empty() && base != "C" && base != "POSIX" && languages && *languages) return languages;
    return locale;
}
