// System services: trace output, paths, files.
//
// Contract:
// - OutputDebugString writes the program's trace lines. Silent by default; written to
//   stderr when the environment variable QUILLBOX_TRACE is set; a test can install a
//   sink that receives every line (whether or not stderr gets it).
// - GetModuleFileName gives the executable's path (from /proc/self/exe), or the path a
//   test set with SetModuleFileNameOverride. Copies at most size-1 characters; returns
//   the length, 0 on failure.
// - GetTempPath gives the temporary folder ($TMPDIR, else /tmp) with a trailing "/".
// - GetWindowsDirectory is where INI files named without a folder are looked up:
//   $QUILLBOX_SYSTEM_DIR when set, else /etc.
// - DeleteFile and FileExists work on paths; FALSE on failure / absence. FileExists
//   counts only regular files (reached through links).
// - GetFileAttributes looks at the path itself, never through a link: it gives
//   INVALID_FILE_ATTRIBUTES when nothing is there (or the path cannot be examined),
//   FILE_ATTRIBUTE_DIRECTORY for a folder, FILE_ATTRIBUTE_REPARSE_POINT for a link
//   (whatever it leads to, if anything) and FILE_ATTRIBUTE_NORMAL for anything else
//   (a file, a device, a pipe).
// - GetMaxComponentLength gives the longest file name the folder's file system takes
//   (255 when it cannot tell).
#pragma once

#include "platform/wintypes.h"

#include <cstdint>
#include <functional>
#include <string>

void OutputDebugString(const char* text);
// Formats like printf and traces the result (at most 1023 characters).
void TraceF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Installs a sink that receives every trace text; an empty function removes it.
void SetTraceSink(std::function<void(const std::string&)> sink);

DWORD GetModuleFileName(char* buffer, DWORD size);
void SetModuleFileNameOverride(const char* path);  // null restores the real path

DWORD GetTempPath(DWORD size, char* buffer);
DWORD GetWindowsDirectory(char* buffer, DWORD size);

BOOL DeleteFile(const char* path);
BOOL FileExists(const char* path);

constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
DWORD GetFileAttributes(const char* path);
DWORD GetMaxComponentLength(const char* folder);
// TRUE when a file can be created in the folder.
BOOL FolderWritable(const char* folder);
// TRUE when folder (with a trailing "/") is, or on Windows lies within, one of the
// system's folders of installed programs: /bin/, /usr/bin/, /usr/local/bin/; on Windows
// the Program Files folders and the user's own (%LOCALAPPDATA%/Programs/). Letter case
// and "\\" for "/" do not count on Windows.
BOOL IsSystemProgramFolder(const char* folder);
// TRUE when path leads to a folder (through links).
BOOL FolderExists(const char* path);
// The size in bytes of what path leads to (through links); FALSE when nothing is there.
BOOL GetPathSize(const char* path, std::uint64_t* size);

// The user's settings folder of the application app, with a trailing "/":
// $XDG_CONFIG_HOME/app/, else $HOME/.config/app/, else .config/app/ in the home folder
// the user database names; empty when there is no home folder at all (never a shared
// folder such as /tmp).
std::string GetUserConfigFolder(const char* app);
// The folder where the user keeps pictures, with a trailing "/": the first Save As
// offers it, never a temporary folder (one the system empties at the next start).
// On Linux the XDG user folder PICTURES, as xdg-user-dir reports it (the line
// XDG_PICTURES_DIR="..." of $XDG_CONFIG_HOME/user-dirs.dirs, else of
// $HOME/.config/user-dirs.dirs); the home folder when that names none, names the home
// folder itself or a folder that is not there; empty when there is no home folder
// either. On Windows the Pictures known folder.
std::string GetUserPicturesFolder();
// Creates folder (a path ending in "/") and its parent where missing, readable by the
// user alone. Best effort: a folder that cannot be made shows when its file is written.
void CreateUserFolder(const std::string& folder);

// The key under which a folder's file system may take two names for one file: equal
// keys, possibly one file. On Windows the file system's own rule: the UTF-16 forms
// (bytes that are not UTF-8 each become U+FFFD, as every W call sees them) upper-cased
// ordinally by the system's invariant table. On POSIX, where a folder may lie on a
// file system that ignores case (exFAT, FAT, an SMB share), every letter upper-cased
// by Unicode's simple case mapping; bytes that are not UTF-8 stay as they are.
std::string FileNameKey(const std::string& name);
// The separator of folders the system's own programs write: '\\' on Windows, '/' else.
char NativeSeparator();
// path with its separators written as the system's own programs write them ("\\" on
// Windows, where "/" separates too; unchanged on POSIX).
std::string NativePath(const std::string& path);
// The folder as a prefix for the names of files in it: the folder with the system's
// separator at its end (none added after one already there). On Windows a folder
// relative to a drive's current folder ("C:", "C:scans") is made a full path first:
// "C:" alone names that folder, not the drive's root. An empty folder is ".".
std::string FolderPrefix(const std::string& folder);
// Where the documentation of program is, for the end of its --help: its manual page
// on POSIX ("See quillbox-cli(1)."), on Windows the README.txt beside the executable
// ("See README.txt in C:\\Program Files\\Quillbox.").
std::string DocumentationPointer(const char* program);
