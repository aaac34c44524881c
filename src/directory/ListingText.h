// What the dialogs and quillbox-cli say when a listing did not come through whole,
// in the program's own words from the string table.
#pragma once

#include <string>

// The printer refused the listing; message is what it said on its back channel
// ("Error: invalidaccess; OffendingCommand: filenameforall").
std::string ListingRefusalText(const std::string& message);
// The connection to host:port ended before the listing's end marker.
std::string NotAListingText(const std::string& host, int port);
// count files of the user lie on a volume the program cannot name safely.
std::string OtherVolumeText(int count);
