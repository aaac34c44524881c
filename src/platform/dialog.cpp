#include "platform/dialog.h"

#include "platform/app.h"
#include "platform/handles.h"
#include "platform/msgqueue.h"
#include "platform/resources.h"

#include <map>

namespace {
std::map<HWND, MSG>& CloseRequests()
{
    static std::map<HWND, MSG> map;
    return map;
}
}  // namespace

BOOL PlatformGetBlockingCloseRequest(HWND dialog, MSG* request)
{
    auto& map = CloseRequests();
    auto it = map.find(dialog);
    if (it == map.end()) return FALSE;
    if (request) *request = it->second;
    return TRUE;
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::~CDialog()
{
    if (m_hWnd) DestroyWindow();
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) { return CreateFromTemplate(templateId, parent, false); }

int CDialog::DoModal()
{
    m_bEnded = false;
    m_nModalResult = -1;
    if (!CreateFromTemplate(m_nIDTemplate, nullptr, true)) return -1;
    // Our own nested loop: the queue keeps running while the dialog is up. The dialog
    // may also be ended by input the window system delivers while the loop waits (Enter,
    // Esc, a click), which leaves no message behind: so the loop looks at m_bEnded after
    // every wait instead of sleeping until some other message comes.
    PumpUntil({.done = [this] { return m_bEnded || !m_hWnd; }, .hold = nullptr, .wait = true});
    if (m_hWnd) DestroyWindow();
    m_bModal = false;
    return m_nModalResult;
}

void CDialog::EndDialog(int result)
{
    m_nModalResult = result;
    m_bEnded = true;
    if (!m_bModal) {
        // A modeless dialog is hidden; its window lives until DestroyWindow.
        ShowWindow(SW_HIDE);
    } else {
        GetEventBackend()->Wake();
    }
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    if (!m_hWnd) return FALSE;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnCmdMsg(UINT id, UINT code, WPARAM wParam, LPARAM lParam)
{
    if (LookupCommand(id, code, wParam, lParam)) return TRUE;
    // Plain commands the dialog does not take go on to its owner (and from a frame to
    // the application).
    if (code != 0) return FALSE;
    CWnd* owner = GetParent();
    if (!owner) owner = AfxGetMainWnd();
    if (owner && owner != this) return owner->OnCmdMsg(id, code, wParam, lParam);
    if (CWinApp* app = AfxGetApp()) return app->OnCmdMsg(id, code, wParam, lParam);
    return FALSE;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) return OnInitDialog();
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::CreateFromTemplate(UINT templateId, CWnd* parent, bool modal)
{
    if (m_hWnd) return FALSE;
    const DlgTemplate* tmpl = FindDialogTemplate(templateId);
    IWindowSystem* ws = GetWindowSystem();
    if (!tmpl || !ws) return FALSE;
    m_nIDTemplate = templateId;
    m_bModal = modal;
    m_bEnded = false;

    CWnd* owner = parent ? parent : AfxGetMainWnd();
    HWND ownerHwnd = owner ? owner->m_hWnd : 0;
    m_hWnd = PlatformAllocHandle(this);
    m_hWndOwner = ownerHwnd;
    m_nCtrlID = 0;

    std::vector<IWindowSystem::ControlHandle> handles;
    m_children.clear();
    for (int i = 0; i < tmpl->itemCount; ++i) {
        ChildControl c;
        c.id = tmpl->items[i].id;
        c.generic = std::make_unique<CWnd>();
        c.hwnd = PlatformAllocHandle(c.generic.get());
        handles.push_back({i, c.hwnd, nullptr});
        m_children.push_back(std::move(c));
    }
    m_pImpl = ws->CreateDialogWindow(m_hWnd, *tmpl, ownerHwnd, modal, handles);
    if (!m_pImpl) {
        DestroyChildren();
        PlatformReleaseHandle(m_hWnd);
        m_hWnd = 0;
        return FALSE;
    }
    for (std::size_t i = 0; i < handles.size(); ++i) {
        int id = m_children[i].id;
        m_children[i].generic->PlatformAttach(handles[i].hwnd, handles[i].impl, m_hWnd, id > 0 ? id : 0xFFFF);
    }
    SendMessage(WM_INITDIALOG, 0, 0);
    if (m_hWnd && m_pImpl && (tmpl->style & WS_VISIBLE) && !m_bEnded) m_pImpl->Show(true);
    return m_hWnd != 0;
}

void CDialog::DestroyChildren()
{
    for (auto& c : m_children) {
        CWnd* w = CWnd::FromHandle(c.hwnd);
        if (w && w != c.generic.get()) w->PlatformDetach();  // a subclassed member control
        PlatformReleaseHandle(c.hwnd);
    }
    m_children.clear();
}

BOOL CDialog::DestroyWindow()
{
    if (!m_hWnd) return FALSE;
    HWND h = m_hWnd;
    SendMessage(WM_DESTROY, 0, 0);
    DestroyChildren();
    if (m_pImpl) m_pImpl->Destroy();
    m_pImpl = nullptr;
    PlatformReleaseHandle(h);
    CloseRequests().erase(h);
    m_hWnd = 0;
    if (m_bModal) m_bEnded = true;
    PostNcDestroy();
    return TRUE;
}

void CDialog::SetBlockingCloseRequest(HWND target, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_hWnd) return;
    MSG m;
    m.hwnd = target;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    CloseRequests()[m_hWnd] = m;
}

bool CDialog::SaveScreenshot(const char* path) { return m_pImpl && m_pImpl->SaveScreenshot(path); }
