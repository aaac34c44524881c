// Where Windows dialogs open: as Windows programs place them, the first in the middle
// of the screen's work area, one opened from another over the middle of that one, and
// never partly off the screen.
#include "platform_fixture.h"

#include "platform/win32/win32_native.h"
#include "platform/win32/win32_windows.h"

#include <cstdlib>

namespace {

class DialogPlacement : public PlatformTest {
protected:
    SampleResources res;
};

struct Rect {
    int r[4] = {};
    int CentreX() const { return (r[0] + r[2]) / 2; }
    int CentreY() const { return (r[1] + r[3]) / 2; }
};

Rect WindowOf(const CDialog& dlg)
{
    Rect out;
    EXPECT_TRUE(native::WindowRectOf(Win32NativeOfHandle(dlg.m_hWnd), out.r));
    return out;
}

Rect WorkAreaOf(const CDialog& dlg)
{
    Rect out;
    EXPECT_TRUE(native::WorkAreaOf(Win32NativeOfHandle(dlg.m_hWnd), out.r));
    return out;
}

TEST_F(DialogPlacement, FirstOnTheScreenTheNextOverItsOwnerAlwaysOnTheScreen)
{
    SampleDlg first;
    ASSERT_TRUE(first.Create(IDD_SAMPLE));
    const Rect area = WorkAreaOf(first), at = WindowOf(first);
    // Integer halves of odd sizes: a pixel either way is the middle.
    EXPECT_LE(std::abs(at.CentreX() - area.CentreX()), 1) << at.r[0] << "," << at.r[1];
    EXPECT_LE(std::abs(at.CentreY() - area.CentreY()), 1) << at.r[0] << "," << at.r[1];

    // Away from the middle, the first dialog takes the next one along.
    native::MoveWindowTo(Win32NativeOfHandle(first.m_hWnd), area.r[0] + 40, area.r[1] + 30);
    const Rect moved = WindowOf(first);
    ASSERT_EQ(moved.r[0], area.r[0] + 40);
    SampleDlg second;
    ASSERT_TRUE(second.Create(IDD_SAMPLE, &first));
    const Rect over = WindowOf(second);
    EXPECT_LE(std::abs(over.CentreX() - moved.CentreX()), 1);
    EXPECT_LE(std::abs(over.CentreY() - moved.CentreY()), 1);

    // An owner in a corner: the dialog stays whole on the screen.
    second.DestroyWindow();
    native::MoveWindowTo(Win32NativeOfHandle(first.m_hWnd), area.r[0] - 200, area.r[1] - 150);
    SampleDlg third;
    ASSERT_TRUE(third.Create(IDD_SAMPLE, &first));
    const Rect kept = WindowOf(third);
    EXPECT_EQ(kept.r[0], area.r[0]);
    EXPECT_EQ(kept.r[1], area.r[1]);
    third.DestroyWindow();
    first.DestroyWindow();
}

}  // namespace
