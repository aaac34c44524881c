#include "platform/prompts.h"

#include <cstring>
#include <string>

namespace {
IPrompts* g_prompts = nullptr;
}

std::string WithDefaultExtension(const std::string& path, const char* ext)
{
    if (ext == nullptr || *ext == '\0') return path;
    const std::size_t sep = path.find_last_of("/\\");
    const std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
    if (name.empty()) return path;
    if (name.back() == '.') return path + ext;
    if (name.find('.') != std::string::npos) return path;
    return path + "." + ext;
}

void SetPrompts(IPrompts* prompts) { g_prompts = prompts; }

IPrompts* GetPrompts() { return g_prompts; }

int MessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    if (g_prompts) return g_prompts->MessageBox(owner, text ? text : "", caption ? caption : "", type);
    return (type & 0x0F) == MB_YESNOCANCEL ? IDCANCEL : IDOK;
}

BOOL GetSaveFileName(OPENFILENAME* ofn)
{
    if (!ofn) return FALSE;
    if (!g_prompts) return FALSE;
    // The default extension is added here, the same way on every system, never by
    // the system's dialog (Windows' may add it in its own letter case).
    if (!g_prompts->GetSaveFileName(ofn)) return FALSE;
    if (ofn->lpstrFile == nullptr) return TRUE;
    const std::string path = WithDefaultExtension(ofn->lpstrFile, ofn->lpstrDefExt);
    if (path.size() + 1 > ofn->nMaxFile) return FALSE;  // never cut a path
    std::memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
    return TRUE;
}
