// Prompts: message boxes and the Save As dialog, behind one replaceable interface.
//
// Contract: the Qt part of the layer installs the real prompts (Qt dialogs run modally
// while the thread's queue keeps running). Tests install a scripted IPrompts that
// records every call and answers as told. Without any installed prompts, MessageBox
// answers IDOK (or IDCANCEL for a question) and GetSaveFileName answers FALSE.
#pragma once

#include "platform/wintypes.h"

#include <string>

// Save As options.
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOTESTFILECREATE = 0x00010000;
constexpr DWORD OFN_NONETWORKBUTTON = 0x00020000;
constexpr DWORD OFN_LONGNAMES = 0x00200000;

struct OPENFILENAME {
    HWND hwndOwner = 0;
    const char* lpstrFilter = nullptr;  // pairs of NUL-terminated texts, ended by an empty one
    char* lpstrFile = nullptr;          // in: initial name; out: the chosen path
    DWORD nMaxFile = 0;                 // size of lpstrFile including the NUL
    const char* lpstrInitialDir = nullptr;
    const char* lpstrDefExt = nullptr;  // without the dot
    DWORD Flags = 0;
};

class IPrompts {
public:
    virtual ~IPrompts() = default;
    virtual int MessageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;
    virtual BOOL GetSaveFileName(OPENFILENAME* ofn) = 0;
};

void SetPrompts(IPrompts* prompts);  // not owned; null removes
IPrompts* GetPrompts();

int MessageBox(HWND owner, const char* text, const char* caption, UINT type);
// The installed prompts' Save As, then the default extension (lpstrDefExt) added to a
// chosen name that has none, by WithDefaultExtension, on every system alike. The
// real prompts do not hand lpstrDefExt to the system's dialog.
BOOL GetSaveFileName(OPENFILENAME* ofn);
// path with ".ext" added when its file name has no extension ("job" gives "job.TIF",
// "job." gives "job.TIF"); a name with one ("job.tif", "a.b") is the user's choice and
// stays as it is. ext is without its dot; null or empty adds nothing.
std::string WithDefaultExtension(const std::string& path, const char* ext);
