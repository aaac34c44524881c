#include "ui/AboutDlg.h"

#include "app/Globals.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "platform/version.h"
#include "res/resource.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {
constexpr UINT kFrameIntervalMs = 200;
constexpr int kVersionChars = 55;   // 54 characters and the NUL
constexpr int kPlatformChars = 16;  // 15 characters and the NUL
constexpr int kModulePathChars = 128;
}  // namespace

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
    ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

void CAboutDlg::DoDataExchange(CDataExchange* pDX) { CDialog::DoDataExchange(pDX); }

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    m_anim.SubclassDlgItem(IDC_ANIM, this);
    for (UINT id = IDI_ANIM_FIRST; id < IDI_ANIM_FIRST + 6; ++id) m_anim.AddIcon(id);
    m_anim.Start(kFrameIntervalMs);

    SetWindowText(GetStringRes(IDS_ABOUT_CAPTION));

    char version[kVersionChars] = "";
    GetVersionString(version, kVersionChars, 1, nullptr);
    char platform[kPlatformChars] = "";
    std::snprintf(platform, sizeof platform, "%s", g_szPlatform);

    char line[256];
    std::snprintf(line, sizeof line, GetStringRes(IDS_VERSION_LINE), version, platform);
    SetDlgItemText(IDC_VERSION, line);
    return TRUE;
}

void CAboutDlg::OnLButtonDown(UINT flags, POINT point)
{
    LPARAM lp =
        static_cast<LPARAM>((static_cast<DWORD>(point.x) & 0xFFFF) | ((static_cast<DWORD>(point.y) & 0xFFFF) << 16));
    DefWindowProc(WM_LBUTTONDOWN, flags, lp);
    // The statics and the group box pass their clicks on to the box, so a click anywhere
    // ends it, the same way OK does.
    OnOK();
}

int GetVersionString(char* buffer, int maxLength, int /*selector*/, void* /*instance*/)
{
    if (!buffer || maxLength < 1) return 0;

    char path[kModulePathChars] = "";
    GetModuleFileName(path, sizeof path);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSize(path, &handle);
    if (size == 0) return 1;  // no version resource: the text stays as it is

    std::vector<BYTE> block(size);
    if (GetFileVersionInfo(path, handle, size, block.data())) {
        void* value = nullptr;
        UINT length = 0;
        if (VerQueryValue(block.data(), "\\VarFileInfo\\Translation", &value, &length) && length != 0) {
            WORD pair[2];
            std::memcpy(pair, value, sizeof pair);
            char query[64];
            std::snprintf(query, sizeof query, "\\StringFileInfo\\%04X%04X\\ProductVersion", pair[0], pair[1]);
            if (VerQueryValue(block.data(), query, &value, &length)) {
                std::snprintf(buffer, static_cast<std::size_t>(maxLength), "%s", static_cast<const char*>(value));
            }
        }
    }
    return 1;
}
