// Private messages, operation codes and timer ids shared by the frame and its dialogs
// (control ids live with the other resource ids in res/resource.h).
#pragma once

#include "platform/wintypes.h"

// Private messages, always posted to the application's main window (the frame).
constexpr UINT WM_QBX_START = WM_USER + 10;        // 1034
constexpr UINT WM_QBX_MAINDLG = WM_USER + 11;      // 1035: lParam QBX_MAINDLG_OK or QBX_MAINDLG_EXIT
constexpr UINT WM_QBX_CANCEL_XFER = WM_USER + 12;  // 1036: lParam 2 Cancel, 1033 Cancel All
constexpr UINT WM_QBX_CONFIRM = WM_USER + 13;      // 1037: lParam 1012 No, 1013 Yes, 1014 Yes to All
constexpr UINT WM_QBX_RETRIEVE = WM_USER + 14;     // 1038: lParam 1 Close, 1003 Delete, 1004 Retrieve
constexpr UINT WM_QBX_IP_OP = WM_USER + 16;        // 1040: operation code in wParam
constexpr UINT WM_QBX_FINDER = WM_USER + 17;       // 1041: the saved printer's finder has news

// lParam of WM_QBX_MAINDLG: OK pressed (list the files), or close the program.
constexpr LPARAM QBX_MAINDLG_OK = 1;
constexpr LPARAM QBX_MAINDLG_EXIT = 2;

// Operation codes (wParam of WM_QBX_IP_OP).
constexpr int QBX_DIR = 1;
constexpr int QBX_GET = 2;
constexpr int QBX_DEL = 3;
constexpr int QBX_CONNECT = 4;
constexpr int QBX_CANCEL = 5;
constexpr int QBX_DIR_RESUME = 6;
constexpr int QBX_GET_RESUME = 7;
constexpr int QBX_DEL_RESUME = 8;

// lParam of QBX_CANCEL: the current file only, or every file left in the batch.
constexpr LPARAM QBX_CANCEL_THIS_FILE = 0;
constexpr LPARAM QBX_CANCEL_ALL_FILES = 1;

// Kinds of job end.
constexpr int QBX_JE_DIRGET = 1;
constexpr int QBX_JE_FILEGET = 2;
constexpr int QBX_JE_FILEDEL = 3;

// Window timers on the frame.
constexpr UINT_PTR SOCKET_TIMER_ID = 1;
constexpr UINT_PTR TIMER_CONNECT = 2;
constexpr UINT_PTR TIMER_CLOSE = 3;
constexpr UINT_PTR TIMER_FIND_SAVED = 4;  // the end of the wait for the saved printer

// Socket error numbers with a meaning of their own.
constexpr int QBX_WSAEINTR = 10004;
constexpr int QBX_WSAEISCONN = 10056;
constexpr int QBX_WSAETIMEDOUT = 10060;
