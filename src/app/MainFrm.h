// CMainFrame: the hidden main window and the one object that does work. It owns the
// printer socket, the job and receive buffer, the directory table, the operation state,
// its timers and one pointer to each dialog. Its handlers are split by area:
// MainFrm.cpp (start-up and exit), Config.cpp (settings), link/ (dispatch, jobs, job
// end, transfer steps), directory/ (listing, file list commands), retrieval/ (file
// retrieval and progress).
#pragma once

#include "app/QbxMessages.h"
#include "directory/DirTable.h"
#include "link/PrinterSocket.h"
#include "platform/app.h"
#include "platform/localcopy.h"
#include "platform/printer_finder.h"
#include "retrieval/DestPath.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class CQuillboxDlg;
class CProgressDlg;
class CConfirmDeleteDlg;
class CRetrieveDlg;
enum class UploadVerdict;

class CMainFrame : public CFrameWnd {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Fields, in declaration order.
    DirHeader* m_pDirectory;
    int m_nBlink;
    BOOL m_bSingleFile;
    char m_szSaveDir[MAX_PATH];
    BOOL m_bCancel;
    int m_nCurrentOp;
    BOOL m_bConnected;
    UINT_PTR m_nConnectTimer;
    int m_nFilesLeft;
    BOOL m_bClosing;
    // Reads the listing line by line across receives (markers, messages, records).
    CListingReader m_listing;
    // Bytes the latest receive put into m_szIOBuffer.
    int m_nReceived = 0;
    char m_szIOBuffer[2048];
    char m_header[128];
    MSG m_msg;
    BOOL m_bTransferActive;
    BOOL m_bSocketResult;
    CPrinterSocket m_socket;
    DirEntry* m_pDirEntries;
    DirHeader* m_pDirHeaderBlock;
    // File bytes of the current copy, at full width.
    std::uint64_t m_nBytesReceived;
    // The copy being written (a temporary file until CommitOutFile), or null.
    std::unique_ptr<LocalCopy> m_pOutFile;
    BOOL m_bInHeader;
    int m_nHeaderLen;
    BOOL m_bDirectoryFull;
    int m_nLastError;
    BOOL m_bBusy;
    char m_szChosenPath[MAX_PATH];
    char m_szDestPath[MAX_PATH];
    std::string m_strDestName;
    // The user agreed to overwrite what is at m_szDestPath.
    BOOL m_bMayReplace = FALSE;
    // Destinations of the current retrieval batch by record index (empty for a record
    // not in it), worked out once by ChooseSaveFile so that no two files share a name;
    // RemoveEntry moves them along with the records.
    std::vector<DestFile> m_batchDest;
    // The files this batch put in place: none of them is replaced by a later file of
    // the batch, even under a name the user agreed to overwrite.
    CopyRun m_batchRun;
    int m_nCurrentFile;
    UINT_PTR m_nCloseTimer;
    char m_szRemotePort[12];
    BOOL m_bShowProgress;
    BOOL m_bSettingsChanged;
    CQuillboxDlg* m_pMainDlg;
    CProgressDlg* m_pProgressDlg;
    CConfirmDeleteDlg* m_pConfirmDlg;
    CRetrieveDlg* m_pRetrieveDlg;
    char m_szRemoteIP[128];
    char m_szBindIP[128];
    char m_szServiceName[128];  // the chosen printer's DNS-SD name, empty when typed by hand
    char m_szServiceUUID[64];   // and its UUID, when it announces one
    int m_nRemotePort;
    char m_szUserID[12];
    // A write to the local file failed: the copy is not complete.
    BOOL m_bWriteFailed;
    // A scan is deleted automatically only when the printer reported one size for it
    // twice, at least m_nSettleMs apart: in the listing (complete at m_nListedAtMs, a
    // time of GetClock()) and in the answer to the upload.
    int m_nSettleMs = 10000;
    std::int64_t m_nListedAtMs = 0;
    // Saving scans as PDF (retrieval/PdfSave.cpp): the batch saves PDFs; the current
    // file's answer is being gathered in m_scanBytes to be converted once it is whole;
    // the files of the batch kept as their TIFF, with the reason, for one box at its end.
    BOOL m_bSavePdf = FALSE;
    BOOL m_bGatheringScan = FALSE;
    std::string m_scanBytes;
    std::vector<std::string> m_notConverted;

    // Start-up and exit.
    int OnCreate(void* createStruct);
    LRESULT OnStart(WPARAM wParam, LPARAM lParam);
    void ShowMainDialog();
    void RequestExit();
    void OnClose();
    void OnTimer(UINT_PTR id);
    void FinalShutdown();

    // Configuration.
    void ReadConfiguration();
    void WriteSettings();

    // Dispatch (link/).
    LRESULT OnMainDlg(WPARAM wParam, LPARAM lParam);
    LRESULT OnIpOp(WPARAM wParam, LPARAM lParam);
    // The printer saved by its DNS-SD name is looked for from the start; when it answers
    // at another address, the fields take the new address as if it had been typed.
    void FindSavedPrinter();
    LRESULT OnFinderNews(WPARAM wParam, LPARAM lParam);
    void StopFindingSavedPrinter();
    // OK pressed while the saved printer is still looked for (and the address is not the
    // user's own): the first connection waits for its answer until kSavedPrinterWaitMs
    // after the search began, saying so in the status line. TRUE when it waits; the
    // listing then starts from EndSavedPrinterWait (an answer, the search over, or the
    // time up), at the address the fields hold by then.
    BOOL WaitForSavedPrinter();
    void EndSavedPrinterWait();
    // Takes the address the fields hold and starts the listing (OK, or the wait's end).
    void StartListing();
    std::unique_ptr<CPrinterFinder> m_pFinder;
    CPrinterList m_foundPrinters;
    std::int64_t m_nFindUntilMs = 0;  // a time of GetClock()
    BOOL m_bWaitingForSaved = FALSE;
    UINT_PTR m_nFindTimer = 0;
    LRESULT OnCancelXfer(WPARAM wParam, LPARAM lParam);
    BOOL SendJob(int jobKind);
    void JobEnd(int kind);
    // The socket error report: the text numbered like the error under a caption string.
    void ReportSocketError(UINT captionId);
    // Makes the socket for the next connection (bound to m_szBindIP); a failure is
    // reported under "Socket Creation Error" and ends the program.
    BOOL CreateJobSocket();
    // Shuts the connection down in both directions and closes it.
    void CloseConnection();
    // The frame's own wait loops: dispatches every message waiting in the queue except
    // the operation steps (WM_QBX_IP_OP), which stay queued for the outer loop. With
    // stopAtCancel it stops as soon as a QBX_CANCEL waits. TRUE when one waits.
    BOOL PumpWaitingMessages(BOOL stopAtCancel = FALSE);
    // A QBX_CANCEL is the first operation step waiting in the queue.
    BOOL CancelWaiting();
    // Lets ms pass while handling every message (a wait loop whose connection was
    // closed by the printer); returns early when the program is closing.
    void WaitWithoutData(int ms);
    // Status texts: the main dialog's status line, or the progress dialog's Status field.
    void SetMainStatus(const char* text);
    void SetProgressStatus(const char* text);
    void BlinkStatus(UINT stringId);

    // Directory (directory/).
    // Receives the listing into the table: QBX_LIST_NO_FILES, QBX_LIST_COMPLETE,
    // QBX_LIST_REFUSED (the printer's error message), QBX_LIST_ENDED_EARLY (the
    // connection ended before the end marker), or QBX_LIST_FAILED (reported already,
    // or the program is closing).
    int GetDirectory();
    // Reads the latest receive (m_nReceived bytes of m_szIOBuffer).
    int ParseBuffer();
    bool ReportListingProblem(int result);
    void ParseDirectory();
    void RemoveEntry();
    void ShowFileList();
    LRESULT OnRetrieveCommand(WPARAM wParam, LPARAM lParam);
    // Retrieve and Delete of the file list; TRUE when the list is to be closed.
    bool OnRetrieveRequest();
    bool OnDeleteRequest();
    LRESULT OnConfirmAnswer(WPARAM wParam, LPARAM lParam);
    int ChooseSaveFile();
    // Works out the batch's destinations from m_szChosenPath into m_batchDest and checks
    // that they can be written: 1 when one of them exists (m_szDestPath and
    // m_strDestName name the first, to be asked about), 0 when none exists, -1 when the
    // choice cannot be used (a name too long, a folder at a destination, a folder that
    // takes no file): the box has said why.
    int CheckBatchDestinations();
    // Asks "Do you wish to overwrite this file?" about each destination of m_batchDest
    // that exists, in batch order, until one answer is not Yes: IDYES when every one was
    // agreed to, else the answer that ended the questions (IDNO, IDCANCEL).
    int AskAboutEachExisting();
    // Before a transfer whose file is deleted afterwards: lets the listing grow as old
    // as the settle time (the progress dialog says why), so that the size the upload
    // answer reports is a second report at least that much later. FALSE when the exit
    // or a cancel came meanwhile (its QBX_CANCEL is queued).
    BOOL WaitForSettledListing();
    // A box about a local file: the string textId with %s replaced by subject.
    void ReportLocalFile(UINT textId, const std::string& subject, UINT captionId);
    void NextDeletion(int yesToAll);
    void AskAboutEntry(int index);

    // Retrieval (retrieval/).
    void BeginFileRetrieval();
    int RetrieveFile();
    // The end of one file's answer: a whole copy is made final (1); anything else
    // removes the partial file, says why and stops the batch (0).
    int FinishRetrieval(UploadVerdict verdict);
    void ShowFileStart();
    void UpdateProgress();
    // The local file of the current copy (m_szDestPath), written to a temporary file in
    // its folder. Each failure shows its own box saying what failed and why (the caller
    // shows none). OpenOutFile: the temporary file cannot be made. WriteOutFile writes
    // every byte or fails (it may buffer, so a failure may only show at the commit). A
    // copy is good only when CommitOutFile returns TRUE: complete, synced, closed and
    // renamed over m_szDestPath; on FALSE nothing of the copy remains and the
    // destination is as it was. DiscardOutFile removes a copy that is not good (nothing
    // when none is open); a temporary file that cannot be removed is named in a box.
    BOOL OpenOutFile();
    BOOL WriteOutFile(const char* data, std::size_t len);
    BOOL CommitOutFile();
    void DiscardOutFile();
    BOOL OutFileOpen() const;
    // The box for a copy that is not the printer's file: reasonId is the text.
    void ReportCopyNotMade(UINT reasonId);
    // Saving as PDF. ChosePdf: after Save As, whether the batch saves PDFs (the PDF type
    // or a name ending in .pdf; the chosen name then takes ".pdf"). BeginScanGathering:
    // at OpenOutFile, TRUE when the current file's answer is gathered in memory;
    // FALSE when it is written as a TIFF instead (too large to convert: m_szDestPath
    // then names the TIFF and the box at the batch's end says so). CommitScan: the
    // whole answer made into the PDF, or kept as the TIFF when it cannot be one,
    // through the local copy; TRUE as CommitOutFile. ReportNotConverted: the one box
    // at the end of the batch naming the files kept as TIFF and why.
    BOOL ChosePdf(DWORD filterIndex);
    BOOL BeginScanGathering();
    BOOL CommitScan();
    void ReportNotConverted();

    DirEntry* CurrentEntry();

    DECLARE_MESSAGE_MAP()

private:
    void OpDir();
    void OpConnect();
    void OpDirResume();
    void OpGet();
    // The current file is too large for one upload answer: says so, leaves it on the
    // printer and goes on with the batch. FALSE when the file may be fetched.
    BOOL RefuseTooLarge();
    // Clears what one retrieval leaves behind: cancel, connection flag, blink phase,
    // header reader, byte count, current file.
    void ResetTransferState();
    void OpDel();
    void OpCancel(LPARAM lParam);
    void OpGetResume();
    void OpDelResume();
    void OnConnectTimer();
};

// The frame of the running program (the application's main window), or null.
CMainFrame* GetMainFrame();
