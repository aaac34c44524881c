// Where the settings file lives.
//
// "Quillbox.ini" lies in the executable's folder. When that folder cannot be written
// (an installed program), the settings go to $XDG_CONFIG_HOME/quillbox/Quillbox.ini
// (~/.config/quillbox/ by default) instead, so they are never silently lost; until
// that per-user file exists, the values are read from the copy next to the executable.
#pragma once

#include <string>

// The file to read the settings from.
std::string QuillboxIniReadPath();
// The file to write the settings to (its folder is created when missing).
std::string QuillboxIniWritePath();
// Leading decimal number of a text after optional blanks and sign; 0 when none.
// Saturates instead of overflowing.
int LeadingNumber(const char* text);
// Writes "MiscData"/"SortBy" when the list was sorted (closing the file list).
void WriteSortBySetting();
