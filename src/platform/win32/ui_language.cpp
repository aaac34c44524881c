// The Windows twin of the user's language: the user's display language (what Windows
// shows its own menus in), not the format settings.
#include "platform/ui_language.h"

#include "platform/win32/utf16.h"

#include <windows.h>

std::string GetUserUiLanguage()
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = L"";
    if (::LCIDToLocaleName(MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) <= 0)
        return {};
    return Narrow(name);
}
