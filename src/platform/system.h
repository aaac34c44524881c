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
// - DeleteFile and FileExists work on paths; FALSE on failure / absence.
#pragma once

#include "platform/wintypes.h"

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
// TRUE when a file can be created in the folder.
BOOL FolderWritable(const char* folder);
