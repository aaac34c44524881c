// Where the settings file lives.
//
// "Quillbox.ini" lies in the executable's folder. For an installed copy, or when that
// folder cannot be written, the settings go to $XDG_CONFIG_HOME/quillbox/Quillbox.ini
// (~/.config/quillbox/ by default) instead, so they are never silently lost. A copy
// that is not installed reads the copy next to it until that per-user file exists.
#pragma once

#include "platform/wintypes.h"

#include <string>

// An installed copy: exeFolder (the executable's folder) is a bin/ folder whose
// ../share/applications holds the program's desktop entry, or one of the system's
// program folders (/bin, /usr/bin, /usr/local/bin). Such a copy keeps its
// settings in the per-user file only and never writes beside its executable, even
// when it could (root). Null or empty: not installed.
bool IsInstalledCopy(const char* exeFolder);

// How long a scan must keep one size before it counts as finished and may be deleted
// on the printer, when the settings do not say; and the longest taken (an hour: a
// larger value is a mistake, not a wish).
constexpr int QBX_DEFAULT_SETTLE_SECONDS = 10;
constexpr int QBX_MAX_SETTLE_SECONDS = 3600;

// Reads a settle time in whole seconds ("10"); false for anything but 0 to
// QBX_MAX_SETTLE_SECONDS written as plain digits.
bool ParseSettleSeconds(const std::string& text, int& seconds);

// The settings the program reads at start, as read (widths include the NUL).
struct QbxSettings {
    char szRemoteIP[128] = "";      // "NetInfo"/"RemoteIP": printer address or host name
    char szRemotePort[12] = "";     // "NetInfo"/"RemotePort", default "3102"
    BOOL bAutoDelete = TRUE;        // "QBXConfig"/"AutoDelete": off only for "no" in any case
    char szSortBy[5] = "";          // "MiscData"/"SortBy": the View By string id as text
    char szSaveDir[MAX_PATH] = "";  // "MiscData"/"SaveDir"
    char szBindIP[128] = "";        // "Halvern.ini" "IP"/"IP", read only when "IP"/"IPFROMINI" is not empty
    int nRemotePort = 0;            // leading number of szRemotePort
    char szSettleTime[16] = "";     // "QBXConfig"/"SettleTime", seconds
    int nSettleSeconds = QBX_DEFAULT_SETTLE_SECONDS;  // szSettleTime, or the default when empty or bad
    BOOL bSettleTimeBad = FALSE;                      // szSettleTime is given but no settle time
    // The printer chosen from the network: its DNS-SD service name and UUID, so it is
    // found again when it moves to another address ("NetInfo"/"ServiceName" and
    // "NetInfo"/"ServiceUUID"; empty for an address typed by hand).
    char szServiceName[128] = "";
    char szServiceUUID[64] = "";
};

// Reads every setting from iniFile (missing file, section or key: the default) and
// the bind address from the sibling product's "Halvern.ini" in the system folder,
// in the order the program has always read them. Used by the frame and by the
// command-line tool, so both read the same file the same way.
void ReadQuillboxSettings(const char* iniFile, QbxSettings& out);

// Picks the language of the texts: language when not empty (the tool's --language),
// else "QBXConfig"/"Language" of iniFile, else the user's own. A language without a
// catalogue gives English.
void ApplyLanguageSetting(const char* iniFile, const char* language = nullptr);

// The file to read the settings from.
std::string QuillboxIniReadPath();
// The file the settings are kept in (written to at exit); creates nothing.
std::string QuillboxIniPath();
// The file to write the settings to (its folder is created when missing).
std::string QuillboxIniWritePath();
// Leading decimal number of a text after optional blanks and sign; 0 when none.
// Saturates instead of overflowing.
int LeadingNumber(const char* text);
// Writes "MiscData"/"SortBy" when the list was sorted (closing the file list).
void WriteSortBySetting();
