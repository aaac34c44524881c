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

std::string TypeExtension(const char* filter, DWORD index)
{
    if (!filter || index == 0) return std::string();
    const char* p = filter;
    for (DWORD i = 1; *p; ++i) {
        p += std::strlen(p) + 1;  // the description
        if (!*p) break;
        if (i == index) {
            std::string pattern = p;
            pattern = pattern.substr(0, pattern.find(';'));
            if (pattern.size() < 3 || pattern.compare(0, 2, "*.") != 0) return std::string();
            std::string ext = pattern.substr(2);
            return ext.find_first_of("*?") == std::string::npos ? ext : std::string();
        }
        p += std::strlen(p) + 1;  // the pattern
    }
    return std::string();
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
    // The chosen type's extension ("*.pdf": "pdf") when its pattern names one.
    const std::string typeExt = TypeExtension(ofn->lpstrFilter, ofn->nFilterIndex);
    const std::string path = WithDefaultExtension(ofn->lpstrFile, typeExt.empty() ? ofn->lpstrDefExt : typeExt.c_str());
    if (path.size() + 1 > ofn->nMaxFile) return FALSE;  // never cut a path
    std::memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
    return TRUE;
}
