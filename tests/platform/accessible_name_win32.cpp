#include "accessible_name_win32.h"

#include <windows.h>

#include <oleacc.h>

std::string AccessibleNameOf(void* window)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(static_cast<HWND>(window), static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible), reinterpret_cast<void**>(&acc))) ||
        !acc)
        return "(failed)";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT hr = acc->get_accName(self, &name);
    acc->Release();
    if (hr != S_OK || !name) return "(none)";
    const int n = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<std::size_t>(n - 1) : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, name, -1, out.data(), n, nullptr, nullptr);
    SysFreeString(name);
    return out;
}
