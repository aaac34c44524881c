#include "platform/prompts.h"

namespace {
IPrompts* g_prompts = nullptr;
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
    if (g_prompts) return g_prompts->GetSaveFileName(ofn);
    return FALSE;
}
