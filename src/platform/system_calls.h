// What the system services (platform/system.h) ask of the system, with standard types
// only: twins platform/posix/system_calls.cpp and platform/win32/system_calls.cpp. Paths are UTF-8
// (the Windows twin converts to and from UTF-16); folders come back with a trailing
// separator where the contract says so.
#pragma once

#include <cstdint>
#include <string>

// The running executable's path; false when the system cannot tell.
bool SysExecutablePath(std::string* out);
// The temporary folder, with a trailing separator.
std::string SysTempFolder();
// The system folder where INI files named without a folder are looked up (no trailing
// separator): $QUILLBOX_SYSTEM_DIR when set, else /etc on POSIX and the Windows folder
// on Windows.
std::string SysSystemFolder();
bool SysDeleteFile(const char* path);
// A regular file, reached through links.
bool SysIsRegularFile(const char* path);
enum class SysEntry { None, Directory, Link, Other };
// What is at the path itself, never looking through a link.
SysEntry SysLookAt(const char* path);
// The longest file name the folder's file system takes; 0 when it cannot tell.
unsigned SysMaxComponentLength(const char* folder);
bool SysFolderWritable(const char* folder);
// platform/system.h's IsSystemProgramFolder; folder ends in "/".
bool SysIsSystemProgramFolder(const std::string& folder);
// What path leads to (through links): false when nothing; else whether it is a folder
// and its size in bytes.
bool SysStat(const char* path, bool* isFolder, std::uint64_t* size);
// The user's settings folder of the application app, with a trailing separator.
std::string SysUserConfigFolder(const char* app);
// The folder where the user keeps pictures, with a trailing separator (the contract is
// GetUserPicturesFolder's in platform/system.h); empty when there is none.
std::string SysUserPicturesFolder();
// Creates folder (ending in a separator) and its parent where missing, for the user
// alone. Best effort.
void SysCreateUserFolder(const std::string& folder);
// platform/system.h's FileNameKey.
std::string SysFileNameKey(const std::string& name);
// The separator of folders the system's own programs write: '\\' on Windows, '/' else.
char SysSeparator();
// A folder named relative to a drive's current folder ("C:", "C:scans") as a full path;
// any other folder as it is. POSIX has no such folders.
std::string SysDriveRelativeResolved(const std::string& folder);
