#include "directory/ListingText.h"

#include "directory/DirTable.h"
#include "platform/resources.h"
#include "res/resource.h"

#include <cstdio>

namespace {

// The string-table text fmt with its arguments filled in.
template <typename... Args>
std::string Format(unsigned id, Args... args)
{
    char text[1024];
    std::snprintf(text, sizeof text, GetStringRes(id), args...);
    return text;
}

}  // namespace

std::string ListingRefusalText(const std::string& message)
{
    const std::string what = DescribePrinterError(message);
    // The key in any case: "Error:", "error:", "ERROR:".
    std::string key = message.substr(0, 5);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const bool isError = key == "ERROR";
    const bool accessOff = what.compare(0, 13, "invalidaccess") == 0;
    const char* hint = GetStringRes(accessOff ? IDS_HINT_ACCESS_OFF : IDS_HINT_TRY_AGAIN);
    return Format(isError ? IDS_LISTING_PRINTER_ERROR : IDS_LISTING_PRINTER_GAVE_UP, what.c_str(), hint);
}

std::string NotAListingText(const std::string& host, int port) { return Format(IDS_NOT_A_LISTING, host.c_str(), port); }

std::string OtherVolumeText(int count) { return Format(IDS_OTHER_VOLUME, count); }
