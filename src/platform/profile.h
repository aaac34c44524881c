// INI files with the private-profile semantics the program expects.
//
// File format: "[section]" lines, each followed by "key=value" lines. Section and
// key names compare case-insensitively (ASCII); blanks (space, tab) around names
// and values are ignored; a value enclosed in matching double (or single) quotes
// loses them; lines whose first non-blank character is ";" are comments. LF and
// CR LF line ends are both read; a UTF-8 byte order mark at the start is skipped.
// When a section or key occurs twice, the first occurrence counts.
//
// A file named without a folder ("Halvern.ini") is looked for in the system
// folder set with SetProfileSystemFolder; while none is set it is taken
// relative to the current directory. Any name with a "/" is used as it is.
#pragma once

#include "platform/wintypes.h"

// Reads section/key of file into out (size characters including the NUL).
// Returns the number of characters copied, the NUL excluded. A missing file,
// section or key (or a null section or key) gives def (null def: the empty
// text). The value is cut to size - 1 characters. A null out or a size of 0
// copies nothing and returns 0.
DWORD GetPrivateProfileString(const char* section, const char* key, const char* def, char* out, DWORD size,
                              const char* file);

// Writes section/key = value into file. Creates the file when missing and the
// section (at the end of the file) when missing; an existing key keeps its
// place and its spelling and gets the new value; every other line (sections,
// keys, comments, blank lines, line ends) stays as it was. A null value
// deletes the key; a null key deletes the whole section. The file is written
// to a temporary file in the same folder and renamed over the old one, so a
// reader sees the old or the new file, never a half-written one.
// Returns FALSE when section or file is null, when a name or value would break
// the file's structure (a line break in any of them, "=" in the key, "]" in the
// section), or when the file cannot be read or the folder cannot be written.
BOOL WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file);

// The folder where files named without a folder are looked for (copied; null
// or empty: none, the current directory).
void SetProfileSystemFolder(const char* folder);
