// Dialogs created from templates, modeless (Create) or modal (DoModal).
//
// Contract:
// - The same object can create and destroy its window again and again; every Create
//   runs OnInitDialog.
// - Enter clicks the default button (IDOK by default), Esc and the title-bar close box
//   send IDCANCEL; both reach OnOK / OnCancel through the message map and the dialog
//   does not close unless a handler ends it (EndDialog or DestroyWindow).
// - A modeless dialog ended with EndDialog is hidden, as the framework does; its
//   window stays until DestroyWindow. A modal dialog's DoModal returns the EndDialog
//   result after its window is destroyed; while it runs, the thread's queue keeps
//   running (posted messages and timers of every window are dispatched).
// - Commands the dialog does not handle go on to its owner window, and from a frame to
//   the application.
#pragma once

#include "platform/wnd.h"

class CDialog : public CWnd {
public:
    CDialog() = default;
    explicit CDialog(UINT templateId) : m_nIDTemplate(templateId) {}
    ~CDialog() override;

    // Creates the window from the template. parent null: the application's main window
    // is the owner. FALSE when the template is missing or the window system fails.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Runs the dialog modally; returns the EndDialog result, or -1 on failure.
    int DoModal();
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX) { (void)pDX; }
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    BOOL DestroyWindow() override;
    BOOL OnCmdMsg(UINT id, UINT code, WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // While a blocking socket call holds user input back, Esc or the close box of this
    // dialog posts (target, message, wParam, lParam) instead of waiting.
    void SetBlockingCloseRequest(HWND target, UINT message, WPARAM wParam, LPARAM lParam);

    // Saves a picture of the dialog. For tests.
    bool SaveScreenshot(const char* path);

    static const MsgMap* GetThisMessageMap();
    const MsgMap* GetMessageMap() const override;

protected:
    UINT m_nIDTemplate = 0;
    bool m_bModal = false;
    bool m_bEnded = false;
    int m_nModalResult = 0;

private:
    BOOL CreateFromTemplate(UINT templateId, CWnd* parent, bool modal);
    void DestroyChildren();
};

// The close request a dialog registered, looked up by the window system during
// blocking calls. FALSE when the dialog registered none.
BOOL PlatformGetBlockingCloseRequest(HWND dialog, MSG* request);
