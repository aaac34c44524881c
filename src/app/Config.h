// Where the settings file lives.
//
// "Quillbox.ini" lies in the executable's folder. When that folder cannot be written
// (an installed program), the settings go to $XDG_CONFIG_HOME/quillbox/Quillbox.ini
// (~/.config/quillbox/ by default) instead, so they are never silently lost; until
// that per-user file exists, the values are read from the copy next to the executable.
#pragma once

#include "platform/wintypes.h"

#include <string>

// The settings the program reads at start, as read (widths include the NUL).
struct QbxSettings {
    char szRemoteIP[128] = "";    // "NetInfo"/"RemoteIP": printer address or host name
    char szRemotePort[12] = "";   // "NetInfo"/"RemotePort", default "3102"
    BOOL bAutoDelete = TRUE;      // "QBXConfig"/"AutoDelete": off only for "no" in any case
    char szSortBy[5] = "";        // "MiscData"/"SortBy": the View By string id as text
    char szSaveDir[MAX_PATH] = "";  // "MiscData"/"SaveDir"
    char szBindIP[128] = "";      // "Halvern.ini" "IP"/"IP", read only when "IP"/"IPFROMINI" is not empty
    int nRemotePort = 0;          // leading number of szRemotePort
};

// Reads every setting from iniFile (missing file, section or key: the default) and
// the bind address from the sibling product's "Halvern.ini" in the system folder,
// in the order the program has always read them. Used by the frame and by the
// command-line tool, so both read the same file the same way.
void ReadQuillboxSettings(const char* iniFile, QbxSettings& out);

// The file to read the settings from.
std::string QuillboxIniReadPath();
// The file to write the settings to (its folder is created when missing).
std::string QuillboxIniWritePath();
// Leading decimal number of a text after optional blanks and sign; 0 when none.
// Saturates instead of overflowing.
int LeadingNumber(const char* text);
// Writes "MiscData"/"SortBy" when the list was sorted (closing the file list).
void WriteSortBySetting();
