#include "platform/resources.h"

#include <cstring>

namespace {
const ResourceModule* g_module = nullptr;
}

void SetResourceModule(const ResourceModule* module) { g_module = module; }

const ResourceModule* GetResourceModule() { return g_module; }

const DlgTemplate* FindDialogTemplate(UINT id)
{
    if (!g_module) return nullptr;
    for (int i = 0; i < g_module->dialogCount; ++i)
        if (g_module->dialogs[i].id == id) return &g_module->dialogs[i];
    return nullptr;
}

const char* GetStringRes(UINT id)
{
    if (!g_module) return "";
    for (int i = 0; i < g_module->stringCount; ++i)
        if (g_module->strings[i].id == id) return g_module->strings[i].text;
    return "";
}

int LoadString(UINT id, char* buffer, int maxCount)
{
    if (!buffer || maxCount < 1) return 0;
    const char* s = GetStringRes(id);
    std::size_t n = std::strlen(s);
    if (n > static_cast<std::size_t>(maxCount - 1)) n = static_cast<std::size_t>(maxCount - 1);
    std::memcpy(buffer, s, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

const IconRes* FindIcon(UINT id)
{
    if (!g_module) return nullptr;
    for (int i = 0; i < g_module->iconCount; ++i)
        if (g_module->icons[i].id == id) return &g_module->icons[i];
    return nullptr;
}
