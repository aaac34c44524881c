// CMainFrame: construction, start-up and the orderly exit.
#include "app/MainFrm.h"

#include "app/Globals.h"
#include "app/QuillboxDlg.h"
#include "directory/ConfirmDeleteDlg.h"
#include "directory/RetrieveDlg.h"
#include "platform/msgqueue.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/ProgressDlg.h"
#include "retrieval/ProgressMath.h"

#include <cstdlib>
#include <cstring>

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
    ON_WM_CREATE()
    ON_WM_CLOSE()
    ON_WM_TIMER()
    ON_MESSAGE(WM_QBX_START, OnStart)
    ON_MESSAGE(WM_QBX_MAINDLG, OnMainDlg)
    ON_MESSAGE(WM_QBX_CANCEL_XFER, OnCancelXfer)
    ON_MESSAGE(WM_QBX_CONFIRM, OnConfirmAnswer)
    ON_MESSAGE(WM_QBX_RETRIEVE, OnRetrieveCommand)
    ON_MESSAGE(WM_QBX_IP_OP, OnIpOp)
    ON_MESSAGE(WM_QBX_FINDER, OnFinderNews)
END_MESSAGE_MAP()

CMainFrame* GetMainFrame() { return dynamic_cast<CMainFrame*>(AfxGetMainWnd()); }

CMainFrame::CMainFrame()
{
    m_szRemoteIP[0] = m_szRemotePort[0] = m_szSaveDir[0] = m_szBindIP[0] = '\0';
    m_szServiceName[0] = m_szServiceUUID[0] = '\0';
    ReadConfiguration();

    m_pDirectory = nullptr;
    ResetTransferState();
    m_bSingleFile = FALSE;
    m_nCurrentOp = 0;
    m_nConnectTimer = 0;
    m_nFilesLeft = 0;
    m_bClosing = FALSE;
    std::memset(m_szIOBuffer, 0, sizeof m_szIOBuffer);
    m_msg = MSG{};
    m_bTransferActive = FALSE;
    m_bSocketResult = FALSE;
    m_pDirEntries = nullptr;
    m_pDirHeaderBlock = nullptr;
    m_bDirectoryFull = FALSE;
    m_nLastError = 0;
    m_bBusy = FALSE;
    m_szChosenPath[0] = '\0';
    m_szDestPath[0] = '\0';
    m_nCloseTimer = 0;
    m_bShowProgress = FALSE;
    m_bSettingsChanged = FALSE;
    m_pMainDlg = nullptr;
    m_pProgressDlg = nullptr;
    m_pConfirmDlg = nullptr;
    m_pRetrieveDlg = nullptr;
    m_szUserID[0] = '\0';
    m_bWriteFailed = FALSE;
}

void CMainFrame::ResetTransferState()
{
    m_bCancel = FALSE;
    m_bConnected = FALSE;
    m_nBlink = 0;
    m_bInHeader = TRUE;
    m_nHeaderLen = 0;
    m_nBytesReceived = 0;
    m_nCurrentFile = 0;
    std::memset(m_header, 0, sizeof m_header);
}

CMainFrame::~CMainFrame()
{
    // Normally FinalShutdown has released all of this; a frame destroyed another way
    // (a test) must not leak. A copy still open is discarded silently by its own
    // destructor: no box can be shown from here.
    m_pOutFile.reset();
    delete m_pProgressDlg;
    delete m_pRetrieveDlg;
    delete m_pConfirmDlg;
    delete m_pMainDlg;
    std::free(m_pDirEntries);
    std::free(m_pDirHeaderBlock);
    if (AfxGetApp() && AfxGetApp()->m_pMainWnd == this) AfxGetApp()->m_pMainWnd = nullptr;
}

int CMainFrame::OnCreate(void* createStruct)
{
    if (CFrameWnd::OnCreate(createStruct) == -1) return -1;
    const char* caption = GetStringRes(IDS_APP_TITLE);
    if (*caption) SetWindowText(caption);
    PostMessage(WM_QBX_START, 0, 0);
    return 0;
}

LRESULT CMainFrame::OnStart(WPARAM, LPARAM)
{
    m_socket.AttachToMainWindow();
    ShowMainDialog();
    FindSavedPrinter();
    return 1;
}

void CMainFrame::ShowMainDialog()
{
    if (!m_pMainDlg) m_pMainDlg = new CQuillboxDlg;
    if (!m_pMainDlg->m_hWnd && !m_pMainDlg->Create(IDD_QUILLBOX_DIALOG, nullptr)) return;
    if (CWnd* help = m_pMainDlg->GetDlgItem(IDC_HELPBTN)) {
        help->ShowWindow(SW_HIDE);
        help->EnableWindow(FALSE);
    }
    m_pMainDlg->SetDlgItemText(IDC_REMOTEIP, m_szRemoteIP);
    m_pMainDlg->SetDlgItemText(IDC_REMOTEPORT, m_szRemotePort);
    // The two fills above count as edits; they are not the user's.
    m_pMainDlg->m_bAddressChanged = FALSE;
    m_pMainDlg->m_strServiceName = m_szServiceName;
    m_pMainDlg->m_strServiceUUID = m_szServiceUUID;
}

void CMainFrame::RequestExit()
{
    if (m_bClosing) return;
    m_bClosing = TRUE;
    HWND closeButton = 0;
    if (m_pMainDlg && m_pMainDlg->m_hWnd)
        if (CWnd* b = m_pMainDlg->GetDlgItem(IDC_CLOSEBTN)) closeButton = b->m_hWnd;
    PostMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(ID_APP_EXIT), 0), static_cast<LPARAM>(closeButton));
}

void CMainFrame::OnClose()
{
    m_bClosing = TRUE;
    EndSavedPrinterWait();
    StopFindingSavedPrinter();
    if (m_bConnected) {
        m_socket.ShutDown(2);
        m_socket.Close();
        m_bConnected = FALSE;
    }
    auto destroy = [](auto*& dlg) {
        if (!dlg) return;
        if (dlg->m_hWnd) dlg->DestroyWindow();
        delete dlg;
        dlg = nullptr;
    };
    destroy(m_pProgressDlg);
    destroy(m_pRetrieveDlg);
    destroy(m_pConfirmDlg);
    destroy(m_pMainDlg);
    m_nCloseTimer = SetTimer(TIMER_CLOSE, 1000, nullptr);
}

void CMainFrame::OnTimer(UINT_PTR id)
{
    if (id == TIMER_CONNECT) {
        OnConnectTimer();
    } else if (id == TIMER_FIND_SAVED) {
        if (m_bWaitingForSaved) TraceF("Saved printer %s did not answer in time\n", m_szServiceName);
        EndSavedPrinterWait();
    } else if (id == TIMER_CLOSE) {
        // The last stage deletes the frame: never while another handler is still on
        // the stack (a modal box opened inside a wait loop). The timer ticks again.
        if (DispatchDepth() > 1) return;
        KillTimer(m_nCloseTimer);
        FinalShutdown();
    }
}

void CMainFrame::FinalShutdown()
{
    // A copy that is not complete does not stay behind.
    if (m_bTransferActive && OutFileOpen()) {
        DirEntry* e = CurrentEntry();
        const std::int64_t expected = e ? ReadFileSize(FieldText(e->size).c_str()) : -1;
        if (m_bWriteFailed || expected < 0 || m_nBytesReceived != static_cast<std::uint64_t>(expected))
            DiscardOutFile();
        else
            CommitOutFile();
    }
    if (m_pDirEntries) {
        std::free(m_pDirEntries);
        m_pDirEntries = nullptr;
    }
    if (m_pDirHeaderBlock) {
        std::free(m_pDirHeaderBlock);
        m_pDirHeaderBlock = nullptr;
        m_pDirectory = nullptr;
    }
    if (m_bSettingsChanged) WriteSettings();
    CFrameWnd::OnClose();
}

DirEntry* CMainFrame::CurrentEntry()
{
    if (!m_pDirectory || !m_pDirectory->entries) return nullptr;
    if (m_nCurrentFile < 0 || m_nCurrentFile >= QBX_MAX_DIR_ENTRIES) return nullptr;
    return &m_pDirectory->entries[m_nCurrentFile];
}
