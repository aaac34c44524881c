// A control without a label of its own in the template (the sample's progress bar comes
// after a drop-down list) is known to a screen reader by the dialog's caption, and by
// the caption the program sets later: the progress dialog's bar is announced with the
// file it retrieves.
#include "accessible_name_win32.h"
#include "platform_fixture.h"

#include "platform/win32/win32_windows.h"

namespace {

using AccessibleNames = PlatformTest;

TEST_F(AccessibleNames, AProgressBarWithoutLabelFollowsTheCaption)
{
    SampleResources res;
    SampleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    void* bar = Win32NativeControl(dlg.m_hWnd, IDC_PROGRESS);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(AccessibleNameOf(bar), "Sample");
    for (const char* caption : {"Retrieving File:  1234(001)(20261207093000).TIF", "Datei wird abgerufen:  42Ä.TIF"}) {
        dlg.SetWindowText(caption);
        EXPECT_EQ(AccessibleNameOf(bar), caption);
    }
    dlg.DestroyWindow();
}

}  // namespace
