#include "platform/app.h"

#include "platform/handles.h"
#include "platform/msgqueue.h"
#include "platform/resources.h"

namespace {
CWinApp* g_app = nullptr;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
    ON_COMMAND(ID_APP_EXIT, OnAppExit)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp()
{
    if (g_app == this) g_app = nullptr;
}

void CWinApp::OnAppExit()
{
    if (m_pMainWnd && m_pMainWnd->m_hWnd) m_pMainWnd->SendMessage(WM_CLOSE, 0, 0);
}

void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

int AfxRunApplication()
{
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    if (!app->InitInstance()) {
        app->ExitInstance();
        return 0;
    }
    int code = RunMessageLoop();
    app->ExitInstance();
    return code;
}

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
END_MESSAGE_MAP()

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, void* context)
{
    (void)style;
    (void)context;
    if (!CreateHandleOnly(parent ? parent->m_hWnd : 0)) return FALSE;
    m_strTitle = GetStringRes(resourceId);
    m_nMenuId = resourceId;
    if (SendMessage(WM_CREATE, 0, 0) == -1) {
        // Never fully made: the handle goes, the object stays for its creator to delete.
        PlatformReleaseHandle(m_hWnd);
        m_hWnd = 0;
        return FALSE;
    }
    return TRUE;
}

BOOL CFrameWnd::OnCmdMsg(UINT id, UINT code, WPARAM wParam, LPARAM lParam)
{
    if (LookupCommand(id, code, wParam, lParam)) return TRUE;
    if (CWinApp* app = AfxGetApp()) return app->OnCmdMsg(id, code, wParam, lParam);
    return FALSE;
}

LRESULT CFrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT) {
        m_strTitle = reinterpret_cast<const char*>(lParam) ? reinterpret_cast<const char*>(lParam) : "";
        return TRUE;
    }
    if (message == WM_CLOSE) {
        LRESULT r = 0;
        if (LookupMessage(message, wParam, lParam, &r)) return r;
        OnClose();
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CFrameWnd::OnClose() { DestroyWindow(); }

void CFrameWnd::PostNcDestroy()
{
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
    delete this;
}

BOOL CFrameWnd::DestroyWindow()
{
    bool isMain = AfxGetMainWnd() == this;
    BOOL r = CWnd::DestroyWindow();
    if (r && isMain) PostQuitMessage(0);
    return r;
}
