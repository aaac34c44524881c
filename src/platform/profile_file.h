// The INI files' reading and writing on the system (platform/profile.cpp keeps the
// format). Standard types only; twins platform/posix/profile_file.cpp and
// platform/win32/profile_file.cpp. Paths are UTF-8.
#pragma once

#include <string>

// The characters that separate folders in a path on this system ("/", or "\\/").
extern const char kPathSeparators[];

enum class ProfileRead { Ok, Missing, Failed };
// Reads the whole file into content (empty unless Ok).
ProfileRead ReadProfileFile(const std::string& path, std::string* content);
// Writes content to a new file beside path, synced, and renames it over path, so a reader
// sees the old or the new file, never half of one. A link at path: the file it leads to
// is replaced. An existing file keeps its permissions. false on any failure, with path
// as it was.
bool ReplaceProfileFile(const std::string& path, const std::string& content);
