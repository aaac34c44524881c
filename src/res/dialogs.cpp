// Dialog templates, in dialog units, controls in tab order.
#include "platform/resources.h"
#include "res/resource.h"

namespace {

constexpr DWORD kDialogStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kNoCloseStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME;
constexpr DWORD kEdit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kDefButton = BS_DEFPUSHBUTTON | WS_TABSTOP;

using C = DlgItemClass;

const DlgItemTemplate kMainItems[] = {
    {C::Static, "&User ID from Scanner:", -1, 18, 99, 182, 8, SS_LEFT},
    {C::Edit, "", 1001, 18, 111, 40, 14, kEdit},
    {C::Static, "&Printer IP Address:", -1, 18, 18, 182, 8, SS_LEFT},
    {C::Edit, "", 1002, 21, 29, 182, 14, kEdit},
    {C::Static, "&Virtual Printer Port:", -1, 18, 59, 182, 8, SS_LEFT},
    {C::Edit, "", 1018, 18, 70, 40, 14, kEdit},
    // Wide enough for a translation half as long again as "Find Printer…".
    {C::Button, "&Find Printer\u2026", IDC_FIND_PRINTER, 64, 70, 76, 14, kButton},
    {C::Button, "OK", 1, 15, 145, 50, 14, kDefButton},
    {C::Button, "&Close", 57665, 72, 145, 50, 14, kButton},
    {C::Button, "&About", 1024, 129, 145, 50, 14, kButton},
    {C::Button, "Enter Scanner Information", -1, 13, 6, 227, 129, BS_GROUPBOX},
    {C::Button, "&Help", 57666, 186, 145, 50, 14, kButton},
    {C::Static, "", 1035, 83, 117, 120, 8, SS_LEFT},
};

const DlgItemTemplate kRetrieveItems[] = {
    // The user ID comes before "Files:", so that "Files:" is the text right before the
    // list: a screen reader on Windows names a control after the text preceding it.
    {C::Static, "", IDC_LIST_USERID, 58, 8, 36, 8, SS_LEFT},
    {C::Static, "&Files:", -1, 18, 8, 38, 8, SS_LEFT},
    {C::ListBox, "", IDC_FILELIST, 18, 20, 171, 85,
     LBS_NOTIFY | LBS_MULTIPLESEL | LBS_USETABSTOPS | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
    {C::Static, "&View By:", -1, 18, 105, 100, 8, SS_LEFT},
    {C::ComboBox, "", IDC_VIEWBY, 18, 117, 73, 44, CBS_DROPDOWNLIST | WS_TABSTOP},
    {C::Button, "&Retrieve", IDC_RETRIEVE, 48, 161, 50, 14, kDefButton},
    {C::Button, "&Close", 1, 108, 161, 50, 14, kDefButton},
    {C::Button, "Dele&te", IDC_DELETE, 123, 116, 50, 14, kDefButton},
};

const DlgItemTemplate kProgressItems[] = {
    {C::Button, "&Cancel", 2, 112, 101, 60, 14, kDefButton},
    {C::Progress, "", IDC_PROGRESS, 7, 73, 206, 14, WS_BORDER},
    {C::Static, "Location:", -1, 7, 6, 56, 8, SS_LEFT},
    {C::Static, "Saving:", -1, 7, 22, 56, 8, SS_LEFT},
    {C::Static, "Status:", -1, 7, 38, 56, 8, SS_LEFT},
    {C::Static, "Time Left:", -1, 7, 54, 56, 8, SS_LEFT},
    // The captions have room for the longest translation ("Tiempo restante:"); the
    // values start right after them and run to the bar's right edge; Status has room
    // for a second line, so ten-digit counts with their throughput are never cut.
    {C::Static, "", IDC_LOCATION, 66, 6, 147, 8, SS_LEFT},
    {C::Static, "", IDC_SAVING, 66, 22, 147, 8, SS_LEFT},
    {C::Static, "", IDC_XFER_STATUS, 66, 38, 147, 16, SS_LEFT},
    {C::Static, "", IDC_TIMELEFT, 66, 54, 147, 8, SS_LEFT},
    {C::Button, "Cancel &All", IDC_CANCEL_ALL, 48, 101, 60, 14, kButton},
};

const DlgItemTemplate kConfirmItems[] = {
    {C::Button, "&No", IDC_CONFIRM_NO, 176, 77, 50, 14, kButton},
    {C::Button, "&Yes", IDC_CONFIRM_YES, 116, 77, 50, 14, kButton},
    {C::Button, "Yes to &All", IDC_CONFIRM_YESTOALL, 48, 77, 58, 14, kButton},
    // The question keeps its two lines in English; a longer translation wraps onto a
    // third line rather than being cut at the right.
    {C::Static, "Are you sure that you want to delete this\nscanned image file from the printer?", -1, 36, 21, 162, 26,
     SS_LEFT},
    {C::Static, "", IDC_CONFIRM_FILENAME, 58, 49, 77, 8, SS_LEFT},
};

const DlgItemTemplate kAboutItems[] = {
    {C::Static, "[Version x]", IDC_VERSION, 18, 21, 135, 8, SS_CENTER | SS_NOPREFIX},
    {C::Button, "", -1, 13, 10, 147, 50, BS_GROUPBOX},
    {C::Static, "", IDC_ANIM, 77, 35, 16, 16, SS_ICON},
};

// One line per printer: name, address and port, model and where it was found, at tab
// stops of 72 dialog units.
const DlgItemTemplate kFindPrinterItems[] = {
    {C::Static, "&Printers:", -1, 7, 6, 100, 8, SS_LEFT},
    {C::ListBox, "", IDC_PRINTER_LIST, 7, 17, 276, 92,
     LBS_NOTIFY | LBS_USETABSTOPS | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
    {C::Static, "", IDC_FIND_STATUS, 7, 113, 276, 8, SS_LEFT | SS_NOPREFIX},
    {C::Button, "&Use", 1, 177, 127, 50, 14, kDefButton},
    {C::Button, "Cancel", 2, 233, 127, 50, 14, kButton},
};

template <std::size_t N>
constexpr int Count(const DlgItemTemplate (&)[N])
{
    return static_cast<int>(N);
}

}  // namespace

extern const DlgTemplate g_qbxDialogs[] = {
    {IDD_ABOUTBOX, "About Quillbox", 174, 72, "MS Sans Serif", 8, kDialogStyle, kAboutItems, Count(kAboutItems)},
    {IDD_QUILLBOX_DIALOG, "Quillbox", 254, 170, "MS Sans Serif", 8, kDialogStyle, kMainItems, Count(kMainItems)},
    {IDD_RETRIEVE, "Retrieve Scanned Files", 206, 182, "MS Sans Serif", 8, kDialogStyle, kRetrieveItems,
     Count(kRetrieveItems)},
    {IDD_PROGRESS, "Retrieving File", 220, 122, "MS Sans Serif", 8, kNoCloseStyle, kProgressItems,
     Count(kProgressItems)},
    {IDD_CONFIRM_DELETE, "Confirm File Deletion", 233, 98, "MS Sans Serif", 8, kNoCloseStyle, kConfirmItems,
     Count(kConfirmItems)},
    {IDD_FIND_PRINTER, "Printers Found", 290, 148, "MS Sans Serif", 8, kDialogStyle, kFindPrinterItems,
     Count(kFindPrinterItems)},
};
extern const int g_qbxDialogCount = 6;
