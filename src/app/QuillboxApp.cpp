#include "app/QuillboxApp.h"

#include "app/Config.h"
#include "app/MainFrm.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/socket.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CQuillboxApp, CWinApp)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

BOOL CQuillboxApp::InitInstance()
{
    QbxRegisterResources();
    // Every text from here on is in the user's language.
    ApplyLanguageSetting(QuillboxIniReadPath().c_str());
    if (IWindowSystem* ws = GetWindowSystem()) ws->SetApplicationIcon(IDR_MAINFRAME);

    // 1. The sockets layer.
    if (!AfxSocketInit()) {
        MessageBox(0, GetStringRes(IDS_SOCKETS_INIT_FAILED), "", MB_OK);
        return FALSE;
    }
    // 2. Three-dimensional controls: the window system draws them that way already.
    // 3. The frame; its constructor reads the configuration.
    auto* frame = new CMainFrame;
    // 4. Loaded from the frame's resource, never shown.
    if (!frame->LoadFrame(IDR_MAINFRAME, 0x00C00000u /* caption */, nullptr, nullptr)) {
        delete frame;
        return FALSE;
    }
    // 5. The application's main window, hidden.
    m_pMainWnd = frame;
    frame->ShowWindow(SW_HIDE);
    return TRUE;
}
