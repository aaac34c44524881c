#include "platform_fixture.h"

#include <algorithm>
#include <ostream>
#include <vector>

namespace {

const DlgItemTemplate kSampleItems[] = {
    {DlgItemClass::Static, "&Name:", IDC_NAME_LABEL, 7, 9, 30, 8, SS_LEFT},
    {DlgItemClass::Edit, "", IDC_NAME, 40, 7, 100, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {DlgItemClass::Button, "Files", IDC_GROUP, 7, 24, 140, 82, BS_GROUPBOX},
    {DlgItemClass::ListBox, "", IDC_FILES, 13, 35, 128, 50,
     LBS_NOTIFY | LBS_MULTIPLESEL | LBS_USETABSTOPS | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
    {DlgItemClass::ComboBox, "", IDC_SORT, 13, 88, 80, 60, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
    {DlgItemClass::Progress, "", IDC_PROGRESS, 7, 112, 140, 10, PBS_BORDER},
    {DlgItemClass::Static, "", IDC_ICON, 160, 7, 21, 20, SS_ICON},
    {DlgItemClass::Button, "OK", IDOK, 163, 36, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {DlgItemClass::Button, "Cancel", IDCANCEL, 163, 54, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {DlgItemClass::Button, "&Apply", IDC_APPLY, 163, 72, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

const DlgTemplate kSample = {
    IDD_SAMPLE,
    "Sample",
    220,
    130,
    "MS Sans Serif",
    8,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE,
    kSampleItems,
    static_cast<int>(sizeof kSampleItems / sizeof kSampleItems[0]),
};

// A 32x32 icon made at run time, kept for the whole process as resources are: a blue
// disc with a dark rim on a transparent ground, as a 32-bit image in an .ico file.
const std::vector<unsigned char>& SampleIconBytes()
{
    static const std::vector<unsigned char> bytes = [] {
        constexpr int kSize = 32;
        std::vector<unsigned char> out;
        auto put16 = [&out](unsigned v) {
            out.push_back(static_cast<unsigned char>(v & 0xFF));
            out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
        };
        auto put32 = [&](unsigned v) {
            put16(v & 0xFFFF);
            put16(v >> 16);
        };
        const unsigned pixelBytes = kSize * kSize * 4, maskBytes = kSize * 4;
        const unsigned imageBytes = 40 + pixelBytes + maskBytes;
        put16(0), put16(1), put16(1);                          // icon directory, one image
        out.push_back(kSize), out.push_back(kSize), put16(0);  // width, height, colours
        put16(1), put16(32), put32(imageBytes), put32(6 + 16);
        put32(40), put32(kSize), put32(kSize * 2), put16(1), put16(32);  // bitmap header, image and mask
        for (int i = 0; i < 6; ++i) put32(0);
        for (int y = kSize - 1; y >= 0; --y) {  // bottom row first
            for (int x = 0; x < kSize; ++x) {
                const double dx = x - 15.5, dy = y - 15.5, r = dx * dx + dy * dy;
                const bool inside = r <= 13.5 * 13.5, rim = inside && r >= 12.5 * 12.5;
                const unsigned char b = rim ? 0 : 200, g = rim ? 0 : 90, red = rim ? 0 : 30;
                out.insert(out.end(), {b, g, red, static_cast<unsigned char>(inside ? 255 : 0)});
            }
        }
        out.insert(out.end(), maskBytes, 0);
        return out;
    }();
    return bytes;
}

}  // namespace

const DlgTemplate& SampleTemplate() { return kSample; }

SampleResources::SampleResources() : m_previous(GetResourceModule())
{
    static IconRes icon;
    icon.id = IDI_SAMPLE;
    icon.data = SampleIconBytes().data();
    icon.size = static_cast<std::size_t>(SampleIconBytes().size());
    static ResourceModule module{};
    module.dialogs = &kSample;
    module.dialogCount = 1;
    module.icons = &icon;
    module.iconCount = 1;
    SetResourceModule(&module);
}

SampleResources::~SampleResources() { SetResourceModule(m_previous); }

namespace {

// Counts every message the queue dispatches while a PumpPending runs (the platform tests
// leave the queue's single observer to it). A PumpPending inside a handler adds to the
// count of the one outside.
class DispatchCount : public IMessageObserver {
public:
    void OnDispatched(const MSG&) override { ++dispatched; }
    int dispatched = 0;
    int depth = 0;
};

}  // namespace

int PumpPending()
{
    static DispatchCount count;
    if (count.depth++ == 0) SetMessageObserver(&count);
    const int before = count.dispatched;
    PumpUntil(PumpRules{});  // no wait: back as soon as nothing is waiting, or at WM_QUIT
    const int n = count.dispatched - before;
    if (--count.depth == 0) SetMessageObserver(nullptr);
    if (DispatchDepth() == 0) GetEventBackend()->ProcessEvents(true);
    return n;
}

void PumpFor(int ms)
{
    IClock* clock = GetClock();
    const std::int64_t end = clock->NowMs() + ms;
    for (;;) {
        PumpPending();
        std::int64_t left = end - clock->NowMs();
        if (left <= 0) break;
        int next = MsUntilNextTimer();
        int wait = static_cast<int>(next < 0 ? left : std::min<std::int64_t>(next, left));
        GetEventBackend()->WaitForEvents(wait);
    }
}

BEGIN_MESSAGE_MAP(SampleDlg, CDialog)
    ON_BN_CLICKED(IDC_APPLY, OnApply)
    ON_EN_CHANGE(IDC_NAME, OnNameChange)
    ON_LBN_SELCHANGE(IDC_FILES, OnFileSelChange)
    ON_CBN_SELCHANGE(IDC_SORT, OnSortSelChange)
END_MESSAGE_MAP()

void SampleDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_NAME, m_name);
    DDX_Control(pDX, IDC_FILES, m_files);
    DDX_Control(pDX, IDC_SORT, m_sort);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_ICON, m_icon);
}

BOOL SampleDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ++inits;
    if (onInit) onInit();
    return TRUE;
}

void SampleDlg::OnOK()
{
    ++oks;
    if (onOk)
        onOk();
    else
        CDialog::OnOK();
}

void SampleDlg::OnCancel()
{
    ++cancels;
    if (onCancel)
        onCancel();
    else
        CDialog::OnCancel();
}

void SampleDlg::OnApply()
{
    ++applies;
    if (onApply) onApply();
}

void SampleDlg::OnNameChange()
{
    ++nameChanges;
    namesSeen.push_back(m_name.GetWindowTextString());
    if (onNameChange) onNameChange();
}

void SampleDlg::OnFileSelChange()
{
    ++fileSelChanges;
    if (onFileSelChange) onFileSelChange();
}

void SampleDlg::OnSortSelChange()
{
    ++sortSelChanges;
    if (onSortSelChange) onSortSelChange();
}

std::ostream& operator<<(std::ostream& os, const Seen& s)
{
    return os << "{hwnd " << s.hwnd << ", msg 0x" << std::hex << s.message << std::dec << ", w " << s.wParam << ", l "
              << s.lParam << "}";
}
