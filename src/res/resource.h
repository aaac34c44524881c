// Resource ids of the program: templates, icons, strings and control ids.
#pragma once

// Dialog templates.
constexpr unsigned IDD_ABOUTBOX = 100;
constexpr unsigned IDD_QUILLBOX_DIALOG = 102;
constexpr unsigned IDD_RETRIEVE = 129;
constexpr unsigned IDD_PROGRESS = 130;
constexpr unsigned IDD_CONFIRM_DELETE = 132;
constexpr unsigned IDD_FIND_PRINTER = 133;

// The frame's resource: application icon and the menu that is never shown.
constexpr unsigned IDR_MAINFRAME = 128;
constexpr unsigned ID_FILE_EXIT_ITEM = 32774;

// Animation frames of the About box.
constexpr unsigned IDI_ANIM_FIRST = 140;  // 140..145

// Strings.
constexpr unsigned IDS_APP_TITLE = 102;
constexpr unsigned IDS_SOCKETS_INIT_FAILED = 103;
constexpr unsigned IDS_SOCKET_CREATE_ERROR = 104;
constexpr unsigned IDS_VIEW_NAME = 105;
constexpr unsigned IDS_VIEW_SIZE = 106;
constexpr unsigned IDS_VIEW_DATE = 107;
constexpr unsigned IDS_SOCKET_CONNECT_ERROR = 108;
constexpr unsigned IDS_SOCKET_SEND_ERROR = 109;
constexpr unsigned IDS_UNABLE_TO_OPEN = 110;
constexpr unsigned IDS_SOCKET_RECEIVE_ERROR = 111;
constexpr unsigned IDS_MEMORY_ERROR = 112;
constexpr unsigned IDS_NO_DIRECTORY_MEMORY = 113;
constexpr unsigned IDS_WAITING_FOR_DATA = 114;
constexpr unsigned IDS_PROGRESS_STATUS = 115;
constexpr unsigned IDS_RETRIEVING_FILE = 116;
constexpr unsigned IDS_FILE_NOT_FOUND = 119;
constexpr unsigned IDS_NO_MATCHING_FILES = 120;
constexpr unsigned IDS_OVERWRITE_QUESTION = 123;
constexpr unsigned IDS_ALREADY_EXISTS = 124;
constexpr unsigned IDS_CONNECTING = 125;
// A copy that is not the printer's whole file: caption, and one text per reason
// (each takes the file's name on the printer, then the local path).
constexpr unsigned IDS_COPY_FAILED = 150;
constexpr unsigned IDS_NOT_ON_PRINTER = 151;
constexpr unsigned IDS_CHANGED_ON_PRINTER = 152;
constexpr unsigned IDS_TRANSFER_ENDED_EARLY = 153;
constexpr unsigned IDS_ANSWER_NOT_A_FILE = 154;
// A file whose name on the printer cannot be put into an upload request (name only).
constexpr unsigned IDS_NAME_NOT_SENDABLE = 155;
// The printer answered the upload with a file of another name (name, local path).
constexpr unsigned IDS_OTHER_FILE = 156;
// A file larger than one upload answer can carry (name only).
constexpr unsigned IDS_TOO_LARGE = 157;
// The listing did not come through (caption, then the texts; see directory/ListingText.h).
constexpr unsigned IDS_LISTING_STOPPED = 160;
constexpr unsigned IDS_LISTING_PRINTER_ERROR = 161;  // the printer's error (%s), then a hint (%s)
constexpr unsigned IDS_HINT_ACCESS_OFF = 162;
constexpr unsigned IDS_HINT_TRY_AGAIN = 163;
constexpr unsigned IDS_LISTING_PRINTER_GAVE_UP = 164;  // the printer's words (%s), then a hint (%s)
constexpr unsigned IDS_NOT_A_LISTING = 165;            // address (%s) and port (%d)
constexpr unsigned IDS_OTHER_VOLUME = 166;             // number of files (%d)
// Local files (formats: %s is the file or the system's account of the failure).
constexpr unsigned IDS_FOLDER_UNUSABLE = 170;
constexpr unsigned IDS_NAME_TOO_LONG = 171;
constexpr unsigned IDS_DEST_IS_FOLDER = 172;
constexpr unsigned IDS_SAVE_FAILED = 173;
constexpr unsigned IDS_PARTIAL_NOT_REMOVED = 174;
constexpr unsigned IDS_UNABLE_TO_SAVE = 175;
constexpr unsigned IDS_OPEN_FAILED = 176;
constexpr unsigned IDS_DEST_APPEARED = 177;
constexpr unsigned IDS_WAITING_FOR_SCAN = 178;
constexpr unsigned IDS_RETRIEVING_FILE_OF = 190;    // "Retrieving File:  %s%s": user ID, name
constexpr unsigned IDS_ALREADY_EXISTS_OF = 191;     // "%s:  Already exists": the file's name
constexpr unsigned IDS_NETWORK_ERROR_NUMBER = 192;  // a network error without a text of its own
constexpr unsigned IDS_LIST_DATE_LAYOUT = 193;      // "MM/DD/YY": the file list's date form
// The printers found (Find Printer): the status line while looking and after, and
// where a printer was found.
constexpr unsigned IDS_FIND_LOOKING = 180;
constexpr unsigned IDS_FIND_FOUND_ONE = 181;
constexpr unsigned IDS_FIND_FOUND_N = 182;  // %d
constexpr unsigned IDS_FIND_NONE = 183;
constexpr unsigned IDS_FOUND_NETWORK = 184;
constexpr unsigned IDS_FOUND_INSTALLED = 185;
constexpr unsigned IDS_FOUND_BOTH = 186;
// The main dialog's status line while the first connection waits for the printer saved
// by its name (%s: that name).
constexpr unsigned IDS_LOOKING_FOR_SAVED = 187;
// Scans saved as PDF: the box at the end of a batch about the scans kept as TIFF
// (%s: one line per file, its name and the reason), its caption, and the reason
// for a scan too large to convert.
constexpr unsigned IDS_NOT_PDF = 194;
constexpr unsigned IDS_NOT_PDF_CAPTION = 195;
constexpr unsigned IDS_TOO_LARGE_TO_CONVERT = 196;
constexpr unsigned IDS_ABOUT_CAPTION = 11005;
constexpr unsigned IDS_VERSION_LINE = 11006;

// Main dialog controls.
constexpr int IDC_USERID = 1001;
constexpr int IDC_REMOTEIP = 1002;
constexpr int IDC_REMOTEPORT = 1018;
constexpr int IDC_ABOUT = 1024;
constexpr int IDC_STATUS = 1035;
constexpr int IDC_HELPBTN = 57666;
constexpr int IDC_CLOSEBTN = 57665;

// Controls of the file list, progress, confirmation and About dialogs.
constexpr int IDC_DELETE = 1003;
constexpr int IDC_RETRIEVE = 1004;
constexpr int IDC_VIEWBY = 1005;
constexpr int IDC_FILELIST = 1006;
constexpr int IDC_PROGRESS = 1007;
constexpr int IDC_LOCATION = 1008;
constexpr int IDC_SAVING = 1009;
constexpr int IDC_XFER_STATUS = 1010;
constexpr int IDC_TIMELEFT = 1011;
constexpr int IDC_CONFIRM_NO = 1012;
constexpr int IDC_CONFIRM_YES = 1013;
constexpr int IDC_CONFIRM_YESTOALL = 1014;
constexpr int IDC_CONFIRM_FILENAME = 1015;
constexpr int IDC_LIST_USERID = 1017;
constexpr int IDC_VERSION = 1025;
constexpr int IDC_ANIM = 1029;
constexpr int IDC_CANCEL_ALL = 1033;
// The main dialog's Find Printer button and the Printers Found dialog.
constexpr int IDC_FIND_PRINTER = 1036;
constexpr int IDC_PRINTER_LIST = 1037;
constexpr int IDC_FIND_STATUS = 1038;

// Registers the program's resources with the platform layer. without version: the
// module carries no version resource (as an executable built without one).
void QbxRegisterResources(bool withVersion = true);
