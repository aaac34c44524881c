// How the Qt back end draws: the dialog font and its units, where controls sit, the
// list box's tab stops, and a dialog's picture. (The Win32 back end leaves all of this
// to the window system's own dialog manager.)
#include "platform_fixture.h"

#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_windows.h"

#include <QFontInfo>
#include <QImage>
#include <QListWidget>
#include <QWidget>

#include <cmath>

// The Qt widget of a dialog's control (user_input_qt.cpp).
QWidget* ControlWidget(CWnd* dlg, int id);

namespace {

class QtDrawing : public PlatformTest {
protected:
    SampleResources res;
};

// Where the text of a list line has ink: the left edge of the last glyph run, in
// viewport pixels (the last column's text starts there).
int LastRunStart(const QImage& img, const QRect& row)
{
    int start = -1;
    bool inRun = false;
    for (int x = row.left() + 1; x < row.right(); ++x) {
        bool ink = false;
        for (int y = row.top() + 1; y < row.bottom() && !ink; ++y) ink = qGray(img.pixel(x, y)) < 110;
        if (ink && !inRun) start = x;
        inRun = ink;
    }
    return start;
}

TEST_F(QtDrawing, TabsExpandToTheTabStops)
{
    SampleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    auto* lb = qobject_cast<QListWidget*>(ControlWidget(&dlg, IDC_FILES));
    ASSERT_NE(lb, nullptr);
    dlg.m_files.AddString("A\tB");
    dlg.m_files.AddString("AAAAAAA\tB");
    dlg.m_files.AddString("AAAAAAAAAAAAA\tB");  // wider than one stop: the next one
    dlg.m_name.SetFocus();                      // no focus frame in the list

    auto columnOfB = [&](int stopDu) {
        dlg.m_files.SetTabStops(stopDu);
        QImage img = lb->viewport()->grab().toImage();
        std::vector<int> r;
        for (int i = 0; i < 3; ++i) r.push_back(LastRunStart(img, lb->visualItemRect(lb->item(i))));
        return r;
    };
    const int textLeft = lb->visualItemRect(lb->item(0)).left();
    for (int du : {40, 48}) {
        const int stopPx = static_cast<int>(std::lround(du * QtPlatform::BaseUnitX() / 4.0));
        std::vector<int> b = columnOfB(du);
        ASSERT_GT(b[0], 0);
        EXPECT_EQ(b[0], b[1]) << "B must start at the same x after a short and a longer first column (stop " << du
                              << " du)";
        // Text starts a couple of pixels into the line; B's own side bearing is 0 to 2 px.
        EXPECT_GE(b[0] - textLeft, stopPx) << du;
        EXPECT_LE(b[0] - textLeft, stopPx + 5) << du;
        EXPECT_EQ(b[2] - b[0], stopPx) << "a first column wider than a stop goes to the next one";
    }
}

TEST_F(QtDrawing, DialogFontIsDejaVuSansWithItsBaseUnits)
{
    EXPECT_STREQ(QtPlatform::ResolvedDialogFontFamily(), "DejaVu Sans") << "fonts missing: install fonts-dejavu-core";
    EXPECT_EQ(QtPlatform::BaseUnitX(), 7);
    EXPECT_EQ(QtPlatform::BaseUnitY(), 13);
    SampleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    for (int id : {IDC_NAME, IDC_FILES, IDOK})
        EXPECT_EQ(QFontInfo(ControlWidget(&dlg, id)->font()).family(), "DejaVu Sans") << "control " << id;
}

TEST_F(QtDrawing, ControlsSitAtTheirDialogUnitsMappedThroughTheFontMetrics)
{
    const int bx = QtPlatform::BaseUnitX(), by = QtPlatform::BaseUnitY();
    auto px = [bx](int du) { return static_cast<int>(std::lround(du * bx / 4.0)); };
    auto py = [by](int du) { return static_cast<int>(std::lround(du * by / 8.0)); };
    SampleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    const DlgTemplate& t = SampleTemplate();
    QWidget* top = QtWidgetOfHandle(dlg.m_hWnd);
    EXPECT_EQ(top->size(), QSize(px(t.cx), py(t.cy)));
    for (int i = 0; i < t.itemCount; ++i) {
        const DlgItemTemplate& it = t.items[i];
        QWidget* w = ControlWidget(&dlg, it.id);
        ASSERT_NE(w, nullptr) << "control " << it.id;
        QRect g = w->geometry();
        EXPECT_EQ(g.x(), px(it.x)) << "control " << it.id;
        EXPECT_EQ(g.y(), py(it.y)) << "control " << it.id;
        EXPECT_EQ(g.width(), px(it.cx)) << "control " << it.id;
        // A drop-down list is as tall as its closed box, whatever the template says.
        if (it.cls != DlgItemClass::ComboBox) {
            EXPECT_EQ(g.height(), py(it.cy)) << "control " << it.id;
        }
    }
    // Spot checks with the numbers worked out by hand (bx 7, by 13).
    EXPECT_EQ(ControlWidget(&dlg, IDC_FILES)->geometry(), QRect(23, 57, 224, 81));
    EXPECT_EQ(ControlWidget(&dlg, IDOK)->geometry(), QRect(285, 59, 88, 23));
}

TEST_F(QtDrawing, SampleRendersToAPicture)
{
    SampleDlg dlg;
    dlg.onInit = [&] {
        dlg.m_name.SetWindowText("Alice");
        dlg.m_files.SetTabStops(60);
        dlg.m_files.AddString("scan1.tif\t12 KB");
        dlg.m_files.AddString("longer-name.tif\t3 KB");
        dlg.m_files.AddString("x.tif\t980 KB");
        dlg.m_files.SetSel(1);
        dlg.m_sort.AddString("Name");
        dlg.m_sort.AddString("Date");
        dlg.m_sort.SetCurSel(1);
        dlg.m_progress.SetPos(40);
        dlg.m_icon.SetIcon(IDI_SAMPLE);
    };
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    EXPECT_EQ(dlg.m_icon.GetIcon(), IDI_SAMPLE);
    const std::string path = std::string(QBX_TEST_OUTPUT_DIR) + "/platform-sample.png";
    ASSERT_TRUE(dlg.SaveScreenshot(path.c_str()));
    QImage img(QString::fromStdString(path));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QtWidgetOfHandle(dlg.m_hWnd)->size());
    // The icon's blue shows where the icon static sits (x 280, y 11 and on).
    QColor c = img.pixelColor(280 + 16, 11 + 16);
    EXPECT_GT(c.blue(), 150);
    EXPECT_LT(c.red(), 100);
}

}  // namespace
