#include "platform/win32/win32_platform.h"

#include "platform/msgqueue.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_native.h"
#include "platform/win32/win32_template.h"
#include "platform/win32/win32_windows.h"

#include <cstring>
#include <string>

namespace {

class Win32Prompts : public IPrompts {
public:
    int MessageBox(HWND owner, const char* text, const char* caption, UINT type) override
    {
        return native::ShowMessageBox(Win32NativeOfHandle(owner), text, caption, type);
    }

    BOOL GetSaveFileName(OPENFILENAME* ofn) override
    {
        native::SaveAsRequest request;
        request.owner = Win32NativeOfHandle(ofn->hwndOwner);
        if (ofn->lpstrFilter) {
            // Pairs of NUL-ended texts, ended by an empty one: kept with their NULs.
            const char* p = ofn->lpstrFilter;
            while (*p) p += std::strlen(p) + 1;
            request.filter.assign(ofn->lpstrFilter, static_cast<std::size_t>(p - ofn->lpstrFilter) + 1);
        }
        if (ofn->lpstrFile) request.initialName = ofn->lpstrFile;
        if (ofn->lpstrInitialDir) request.initialDir = ofn->lpstrInitialDir;
        // The default extension is the layer's to add (GetSaveFileName in prompts.cpp):
        // the system's dialog would add it in the letter case of its choosing.
        request.flags = ofn->Flags;
        std::string path;
        if (!native::ShowSaveAs(request, &path)) return FALSE;
        if (!ofn->lpstrFile || path.size() + 1 > ofn->nMaxFile) return FALSE;  // never cut a path
        std::memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
        return TRUE;
    }
};

}  // namespace

struct Win32Platform::Impl {
    Win32EventBackend backend;
    Win32WindowSystem windows;
    Win32Prompts prompts;
};

Win32Platform::Win32Platform()
{
    native::InitCommonControls();
    d = std::make_unique<Impl>();
    SetEventBackend(&d->backend);
    SetWindowSystem(&d->windows);
    SetPrompts(&d->prompts);
}

Win32Platform::~Win32Platform()
{
    if (GetPrompts() == &d->prompts) SetPrompts(nullptr);
    if (GetWindowSystem() == &d->windows) SetWindowSystem(nullptr);
    if (GetEventBackend() == &d->backend) SetEventBackend(nullptr);
    native::FreeDestroyedDialogs();
}

void Win32Platform::BaseUnits(unsigned templateId, int* x, int* y)
{
    *x = *y = 0;
    const DlgTemplate* tmpl = FindDialogTemplate(templateId);
    if (!tmpl) return;
    int defaultId = 0;
    void* window = native::CreateDialogFromTemplate(BuildDialogTemplate(*tmpl, &defaultId), nullptr, nullptr);
    if (!window) return;
    native::DialogBaseUnits(window, x, y);
    native::DestroyDialog(window);
    native::FreeDestroyedDialogs();
}
