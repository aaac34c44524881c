// The application object and the frame window.
//
// Contract:
// - One CWinApp exists per process; AfxGetApp returns it. RunApplication calls its
//   InitInstance and, when that returns TRUE, runs the message loop until the main
//   window is destroyed (which posts WM_QUIT).
// - CWinApp's command map handles ID_APP_EXIT (sends WM_CLOSE to the main window) and
//   routes ID_HELP to a help handler that shows nothing (the program ships no help).
// - CFrameWnd::LoadFrame makes a frame from a resource id: its handle, caption and menu
//   (kept, never shown). The frame has no visible window of its own. Its default
//   OnClose destroys it; destroying the application's main window ends the message
//   loop, and a destroyed frame deletes itself (it must have been made with new); the
//   application then has no main window (AfxGetMainWnd returns null).
#pragma once

#include "platform/wnd.h"

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;

    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return 0; }
    void OnAppExit();
    void OnHelp();

    CWnd* m_pMainWnd = nullptr;

    static const MsgMap* GetThisMessageMap();
    const MsgMap* GetMessageMap() const override;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// Calls InitInstance and runs the loop; returns the process exit code.
int AfxRunApplication();

class CFrameWnd : public CWnd {
public:
    // Creates the frame from resource id (caption from the string of the same id when
    // present, the menu kept). Sends WM_CREATE; FALSE when OnCreate returns -1.
    BOOL LoadFrame(UINT resourceId, DWORD style, CWnd* parent = nullptr, void* context = nullptr);
    BOOL OnCmdMsg(UINT id, UINT code, WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL DestroyWindow() override;

    // Base handlers the program's frame may call.
    int OnCreate(void* createStruct)
    {
        (void)createStruct;
        return 0;
    }
    void OnClose();

    std::string m_strTitle;
    UINT m_nMenuId = 0;

    static const MsgMap* GetThisMessageMap();
    const MsgMap* GetMessageMap() const override;

protected:
    // A frame is created with new and deletes itself when its window is destroyed; the
    // application forgets it first when it was the main window.
    void PostNcDestroy() override;
};
