#include "platform/wnd.h"

#include "platform/handles.h"
#include "platform/msgqueue.h"

#include <cstring>
#include <unordered_map>

namespace {

std::unordered_map<HWND, CWnd*>& Registry()
{
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

HWND g_nextHandle = 0x100;

IWindowSystem* g_windowSystem = nullptr;

}  // namespace

HWND PlatformAllocHandle(CWnd* wnd)
{
    HWND h = g_nextHandle;
    g_nextHandle += 4;
    Registry()[h] = wnd;
    return h;
}

void PlatformRebindHandle(HWND hwnd, CWnd* wnd) { Registry()[hwnd] = wnd; }

void PlatformReleaseHandle(HWND hwnd)
{
    Registry().erase(hwnd);
    PlatformKillWindowTimers(hwnd);
}

void SetWindowSystem(IWindowSystem* ws) { g_windowSystem = ws; }

IWindowSystem* GetWindowSystem() { return g_windowSystem; }

// ---------------------------------------------------------------------------
// Message maps

const MsgMap* CCmdTarget::GetThisMessageMap()
{
    static const MsgMapEntry entries[] = {{MsgMapKind::Message, 0, 0, nullptr}};
    static const MsgMap map = {nullptr, entries};
    return &map;
}

const MsgMap* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

BOOL CCmdTarget::LookupMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    for (const MsgMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const MsgMapEntry* e = map->entries; e->handler; ++e) {
            if (e->kind == MsgMapKind::Command || e->kind == MsgMapKind::Notify) continue;
            if (e->message != message) continue;
            LRESULT r = e->handler(this, wParam, lParam);
            if (result) *result = r;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CCmdTarget::LookupCommand(UINT id, UINT code, WPARAM wParam, LPARAM lParam)
{
    for (const MsgMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const MsgMapEntry* e = map->entries; e->handler; ++e) {
            if (e->message != id) continue;
            // A command entry takes plain commands and button clicks (code 0).
            if (e->kind == MsgMapKind::Command && code == 0) {
                e->handler(this, wParam, lParam);
                return TRUE;
            }
            if (e->kind == MsgMapKind::Notify && e->code == code) {
                e->handler(this, wParam, lParam);
                return TRUE;
            }
        }
    }
    return FALSE;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, UINT code, WPARAM wParam, LPARAM lParam)
{
    return LookupCommand(id, code, wParam, lParam);
}

// ---------------------------------------------------------------------------
// CWnd

CWnd::~CWnd()
{
    if (m_hWnd) {
        // An object that goes away with its window still alive: release everything.
        if (m_pImpl && m_nCtrlID == 0) m_pImpl->Destroy();
        PlatformReleaseHandle(m_hWnd);
        m_hWnd = 0;
        m_pImpl = nullptr;
    }
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    if (hwnd == 0) return nullptr;
    auto& reg = Registry();
    auto it = reg.find(hwnd);
    return it == reg.end() ? nullptr : it->second;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) return OnCommand(wParam, lParam) ? 1 : 0;
    LRESULT result = 0;
    if (LookupMessage(message, wParam, lParam, &result)) return result;
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) { return OnCmdMsg(LOWORD(wParam), HIWORD(wParam), wParam, lParam); }

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Controls pass their own messages to the window system.
    if (m_pImpl && m_nCtrlID != 0 && message >= WM_SETTEXT) return m_pImpl->Send(message, wParam, lParam);
    if (m_pImpl && (message == WM_SETTEXT || message == WM_GETTEXT || message == WM_GETTEXTLENGTH))
        return m_pImpl->Send(message, wParam, lParam);
    return 0;
}

BOOL CWnd::CreateHandleOnly(HWND owner)
{
    if (m_hWnd) return FALSE;
    m_hWnd = PlatformAllocHandle(this);
    m_hWndOwner = owner;
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd) return FALSE;
    HWND h = m_hWnd;
    SendMessage(WM_DESTROY, 0, 0);
    if (m_pImpl) m_pImpl->Destroy();
    m_pImpl = nullptr;
    PlatformReleaseHandle(h);
    m_hWnd = 0;
    PostNcDestroy();
    return TRUE;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessage(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_hWnd) return 0;
    return ::SendMessage(m_hWnd, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs, void*) { return ::SetTimer(m_hWnd, id, elapseMs); }

BOOL CWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

void CWnd::SetWindowText(const char* text)
{
    if (m_pImpl)
        m_pImpl->Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : ""));
    else if (m_hWnd)
        SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : ""));
}

int CWnd::GetWindowText(char* buffer, int maxCount) const
{
    if (!buffer || maxCount < 1) return 0;
    buffer[0] = '\0';
    if (!m_pImpl) return 0;
    return static_cast<int>(m_pImpl->Send(WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

std::string CWnd::GetWindowTextString() const
{
    if (!m_pImpl) return {};
    auto len = m_pImpl->Send(WM_GETTEXTLENGTH, 0, 0);
    std::string s(static_cast<std::size_t>(len) + 1, '\0');
    m_pImpl->Send(WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(s.data()));
    s.resize(std::strlen(s.c_str()));
    return s;
}

BOOL CWnd::EnableWindow(BOOL enable)
{
    if (!m_pImpl) return FALSE;
    BOOL wasDisabled = !m_pImpl->IsEnabled();
    m_pImpl->Enable(enable != FALSE);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const { return m_pImpl && m_pImpl->IsEnabled(); }

BOOL CWnd::ShowWindow(int cmd)
{
    if (!m_pImpl) return FALSE;
    BOOL was = m_pImpl->IsVisible();
    m_pImpl->Show(cmd != SW_HIDE);
    return was;
}

BOOL CWnd::IsWindowVisible() const { return m_pImpl && m_pImpl->IsVisible(); }

CWnd* CWnd::SetFocus()
{
    if (m_pImpl) m_pImpl->SetFocus();
    return nullptr;
}

BOOL CWnd::HasFocus() const { return m_pImpl && m_pImpl->HasFocus(); }

void CWnd::BringWindowToTop()
{
    if (m_pImpl) m_pImpl->BringToTop();
}

CWnd* CWnd::GetDlgItem(int id) const
{
    for (auto& c : m_children)
        if (c.id == id) return FromHandle(c.hwnd);
    return nullptr;
}

void CWnd::SetDlgItemText(int id, const char* text)
{
    if (CWnd* w = GetDlgItem(id)) w->SetWindowText(text);
}

UINT CWnd::GetDlgItemText(int id, char* buffer, int maxCount) const
{
    if (!buffer || maxCount < 1) return 0;
    buffer[0] = '\0';
    CWnd* w = GetDlgItem(id);
    return w ? static_cast<UINT>(w->GetWindowText(buffer, maxCount)) : 0;
}

CWnd* CWnd::GetParent() const { return FromHandle(m_hWndOwner); }

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    if (!parent || m_hWnd) return FALSE;
    for (auto& c : parent->m_children) {
        if (c.id != static_cast<int>(id)) continue;
        CWnd* current = FromHandle(c.hwnd);
        if (!current) return FALSE;
        PlatformAttach(c.hwnd, current->m_pImpl, parent->m_hWnd, c.id);
        PlatformRebindHandle(c.hwnd, this);
        if (current != this && c.generic.get() == current) {
            current->m_hWnd = 0;
            current->m_pImpl = nullptr;
        }
        return TRUE;
    }
    return FALSE;
}

void CWnd::PlatformAttach(HWND hwnd, IWindowImpl* impl, HWND owner, int ctrlId)
{
    m_hWnd = hwnd;
    m_pImpl = impl;
    m_hWndOwner = owner;
    m_nCtrlID = ctrlId;
}

void CWnd::PlatformDetach()
{
    m_hWnd = 0;
    m_pImpl = nullptr;
}

int CListBox::GetText(int index, char* buffer, int maxCount)
{
    if (!buffer || maxCount < 1) return static_cast<int>(LB_ERR);
    buffer[0] = '\0';
    // The window system copies at most maxCount-1 characters (wParam index, high bits: size).
    return static_cast<int>(SendMessage(LB_GETTEXT, static_cast<WPARAM>(index) | (static_cast<WPARAM>(maxCount) << 32),
                                        reinterpret_cast<LPARAM>(buffer)));
}

int CComboBox::GetLBText(int index, char* buffer, int maxCount)
{
    if (!buffer || maxCount < 1) return static_cast<int>(CB_ERR);
    buffer[0] = '\0';
    return static_cast<int>(SendMessage(CB_GETLBTEXT,
                                        static_cast<WPARAM>(index) | (static_cast<WPARAM>(maxCount) << 32),
                                        reinterpret_cast<LPARAM>(buffer)));
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (!pDX || !pDX->m_pDlgWnd) return;
    if (control.m_hWnd) return;  // bound already for this window
    control.SubclassDlgItem(static_cast<UINT>(id), pDX->m_pDlgWnd);
}
