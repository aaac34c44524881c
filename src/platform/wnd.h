// Windows: handles, the window object, controls, and the window system behind them.
//
// Contract:
// - A CWnd is attached to at most one handle. Handles come from the layer and are
//   never reused; FromHandle returns the object attached to a handle, or null.
// - A window with a visible presence has an IWindowImpl supplied by the window system
//   (the Qt part of the layer). A window without one (the hidden frame) still has a
//   handle, receives messages and owns timers.
// - DestroyWindow may be called from inside the window's own handlers: the handle is
//   released at once (later messages to it are dropped, its timers stop), the visible
//   window is hidden at once and freed when the outermost loop runs again.
// - The CWnd object is never deleted by the layer; its owner deletes it.
#pragma once

#include "platform/msgmap.h"
#include "platform/wintypes.h"

#include <memory>
#include <string>
#include <vector>

// Control messages understood by the window system's controls.
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT EM_LIMITTEXT = 0x00C5;
constexpr UINT STM_SETICON = 0x0170;
constexpr UINT STM_GETICON = 0x0171;
constexpr UINT CB_GETCOUNT = 0x0146;
constexpr UINT CB_ADDSTRING = 0x0143;
constexpr UINT CB_GETCURSEL = 0x0147;
constexpr UINT CB_GETLBTEXT = 0x0148;
constexpr UINT CB_RESETCONTENT = 0x014B;
constexpr UINT CB_SETCURSEL = 0x014E;
constexpr UINT CB_GETITEMDATA = 0x0150;
constexpr UINT CB_SETITEMDATA = 0x0151;
constexpr UINT LB_ADDSTRING = 0x0180;
constexpr UINT LB_RESETCONTENT = 0x0184;
constexpr UINT LB_SETSEL = 0x0185;
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;
constexpr UINT LB_GETSEL = 0x0187;
constexpr UINT LB_GETTEXT = 0x0189;
constexpr UINT LB_GETCOUNT = 0x018B;
constexpr UINT LB_GETSELCOUNT = 0x0190;
constexpr UINT LB_SETTABSTOPS = 0x0192;
constexpr UINT LB_GETITEMDATA = 0x0199;
constexpr UINT LB_SETITEMDATA = 0x019A;
constexpr UINT PBM_SETPOS = 0x0402;
constexpr UINT PBM_GETPOS = 0x0408;
constexpr LRESULT LB_ERR = -1;
constexpr LRESULT CB_ERR = -1;

// The window-system side of one window or control.
class IWindowImpl {
public:
    virtual ~IWindowImpl() = default;
    // Texts and control messages (WM_SETTEXT, WM_GETTEXT, LB_*, CB_*, PBM_*, STM_*, ...).
    virtual LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual void Enable(bool enable) = 0;
    virtual bool IsEnabled() const = 0;
    virtual void Show(bool show) = 0;
    virtual bool IsVisible() const = 0;
    virtual void SetFocus() = 0;
    virtual bool HasFocus() const = 0;
    virtual void BringToTop() = 0;
    // Hides now and frees the visible window later; the impl object must not be used after.
    virtual void Destroy() = 0;
    // Saves a picture of the window (tests and documentation). False when it cannot.
    virtual bool SaveScreenshot(const char* path)
    {
        (void)path;
        return false;
    }
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    static const MsgMap* GetThisMessageMap();
    virtual const MsgMap* GetMessageMap() const;
    // Routes a command (control id and notification code) through the message maps.
    // TRUE when a handler took it.
    virtual BOOL OnCmdMsg(UINT id, UINT code, WPARAM wParam, LPARAM lParam);

protected:
    // Looks a message up in this object's maps; TRUE and *result when handled.
    BOOL LookupMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    BOOL LookupCommand(UINT id, UINT code, WPARAM wParam, LPARAM lParam);
};

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = 0;
    IWindowImpl* m_pImpl = nullptr;  // owned by the window system

    static CWnd* FromHandle(HWND hwnd);

    // The window procedure: commands go to OnCommand, other messages to the maps.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Makes a handle for a window without visible presence (the hidden frame).
    BOOL CreateHandleOnly(HWND owner = 0);
    virtual BOOL DestroyWindow();

    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs, void* unused = nullptr);
    BOOL KillTimer(UINT_PTR id);

    void SetWindowText(const char* text);
    int GetWindowText(char* buffer, int maxCount) const;
    std::string GetWindowTextString() const;
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int cmd);
    BOOL IsWindowVisible() const;
    CWnd* SetFocus();
    BOOL HasFocus() const;
    void BringWindowToTop();

    CWnd* GetDlgItem(int id) const;
    void SetDlgItemText(int id, const char* text);
    UINT GetDlgItemText(int id, char* buffer, int maxCount) const;
    int GetDlgCtrlID() const { return m_nCtrlID; }
    CWnd* GetParent() const;
    HWND GetOwnerHwnd() const { return m_hWndOwner; }

    // Attaches this object to the control with the given id of parent (subclassing).
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    // Window-system side, for the layer.
    void PlatformAttach(HWND hwnd, IWindowImpl* impl, HWND owner, int ctrlId);
    void PlatformDetach();

protected:
    // Called after the handle was released by DestroyWindow.
    virtual void PostNcDestroy() {}
    // Handles of this window's controls by id (dialogs).
    struct ChildControl {
        int id;
        HWND hwnd;
        std::unique_ptr<CWnd> generic;  // the plain object that stands for it unless subclassed
    };
    std::vector<ChildControl> m_children;

    HWND m_hWndOwner = 0;
    int m_nCtrlID = 0;

    friend class CDialog;
};

// Controls: thin wrappers that talk to their window through control messages.
class CButton : public CWnd {};
class CEdit : public CWnd {};

class CStatic : public CWnd {
public:
    // icon: an icon id from the resources, as a handle (see LoadIconRes); 0 clears.
    UINT_PTR SetIcon(UINT_PTR icon) { return static_cast<UINT_PTR>(SendMessage(STM_SETICON, icon, 0)); }
    UINT_PTR GetIcon() { return static_cast<UINT_PTR>(SendMessage(STM_GETICON, 0, 0)); }
};

class CListBox : public CWnd {
public:
    int AddString(const char* text)
    {
        return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    void ResetContent() { SendMessage(LB_RESETCONTENT, 0, 0); }
    int GetCount() { return static_cast<int>(SendMessage(LB_GETCOUNT, 0, 0)); }
    int GetSelCount() { return static_cast<int>(SendMessage(LB_GETSELCOUNT, 0, 0)); }
    int GetSel(int index) { return static_cast<int>(SendMessage(LB_GETSEL, static_cast<WPARAM>(index), 0)); }
    int SetSel(int index, BOOL select = TRUE)
    {
        return static_cast<int>(SendMessage(LB_SETSEL, static_cast<WPARAM>(select), index));
    }
    LRESULT GetItemData(int index) { return SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index), 0); }
    int SetItemData(int index, LRESULT data)
    {
        return static_cast<int>(SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), data));
    }
    // The selection of a single-selection list (LB_ERR: none; -1 clears it).
    int GetCurSel() { return static_cast<int>(SendMessage(LB_GETCURSEL, 0, 0)); }
    int SetCurSel(int index) { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index), 0)); }
    // Text of a line into buffer (at most maxCount-1 characters); length or LB_ERR.
    int GetText(int index, char* buffer, int maxCount);
    // One tab-stop distance in dialog units.
    BOOL SetTabStops(int dialogUnits)
    {
        int du = dialogUnits;
        return SendMessage(LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&du)) != 0;
    }
};

class CComboBox : public CWnd {
public:
    int AddString(const char* text)
    {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    void ResetContent() { SendMessage(CB_RESETCONTENT, 0, 0); }
    int GetCount() { return static_cast<int>(SendMessage(CB_GETCOUNT, 0, 0)); }
    int GetCurSel() { return static_cast<int>(SendMessage(CB_GETCURSEL, 0, 0)); }
    int SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index), 0)); }
    LRESULT GetItemData(int index) { return SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index), 0); }
    int SetItemData(int index, LRESULT data)
    {
        return static_cast<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), data));
    }
    int GetLBText(int index, char* buffer, int maxCount);
};

class CProgressCtrl : public CWnd {
public:
    int SetPos(int pos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos), 0)); }
    int GetPos() { return static_cast<int>(SendMessage(PBM_GETPOS, 0, 0)); }
};

// Dialog data exchange: binds controls of a dialog to member objects.
class CDataExchange {
public:
    CDataExchange(CWnd* dlg, BOOL saveAndValidate) : m_pDlgWnd(dlg), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// Window-system services the layer needs from its Qt part.
struct DlgTemplate;
class CDialog;
class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;
    struct ControlHandle {
        int index;  // position in the template
        HWND hwnd;
        IWindowImpl* impl = nullptr;  // filled by the window system
    };
    // Creates a dialog window from a template. The dialog's handle and one handle per
    // template control are made by the caller; the window system fills the impls and
    // reports commands, notifications, Esc, close box and clicks back through
    // SendMessage on these handles. Returns the dialog's impl, or null on failure.
    virtual IWindowImpl* CreateDialogWindow(HWND dialog, const DlgTemplate& tmpl, HWND owner, bool modal,
                                            std::vector<ControlHandle>& controls) = 0;
    // Sets the application icon for every window.
    virtual void SetApplicationIcon(UINT iconId) { (void)iconId; }
};
void SetWindowSystem(IWindowSystem* ws);
IWindowSystem* GetWindowSystem();

// Release of a handle's timers (msgqueue.cpp).
void PlatformKillWindowTimers(HWND hwnd);
