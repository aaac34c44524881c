// The About box on offscreen Qt: its version line, the animation it plays, the ways it
// ends, its icons, and its icon timer meeting a blocking socket receive.
#include "about_pump.h"
#include "app_harness.h"

#include "app/Globals.h"
#include "link/PrinterSocket.h"
#include "platform/app.h"
#include "platform/clock.h"
#include "platform/msgqueue.h"
#include "platform/qt/qt_windows.h"
#include "platform/resources.h"
#include "platform/socket.h"
#include "platform/system.h"
#include "res/resource.h"
#include "ui/AboutDlg.h"

#include <QBuffer>
#include <QApplication>
#include <QByteArray>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

// A window without a visible presence whose timers run test code inside a modal loop.
class CActionWnd : public CWnd {
public:
    std::function<void()> m_action;  // timer 1
    std::function<void()> m_rescue;  // timer 2: ends a box that did not close
    void OnTimer(UINT_PTR id)
    {
        KillTimer(id);
        if (id == 1 && m_action) m_action();
        if (id == 2 && m_rescue) m_rescue();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CActionWnd, CWnd)
    ON_WM_TIMER()
END_MESSAGE_MAP()

QWidget* DialogWidget(CWnd& dlg) { return QtWidgetOfHandle(dlg.m_hWnd); }

QWidget* ControlWidget(CWnd& dlg, int id)
{
    QWidget* top = DialogWidget(dlg);
    CWnd* item = dlg.GetDlgItem(id);
    if (!top || !item) return nullptr;
    for (QWidget* w : top->findChildren<QWidget*>())
        if (w->property("qbxHwnd").toULongLong() == item->m_hWnd) return w;
    return nullptr;
}

std::string VersionLine(CWnd& dlg)
{
    char text[256] = "";
    dlg.GetDlgItemText(IDC_VERSION, text, sizeof text);
    return text;
}

std::string Screenshot(CDialog& dlg, const std::string& name)
{
    std::string path = AppHarness::Screenshot(&dlg, name);
    EXPECT_FALSE(path.empty()) << name;
    return path;
}

// The image of exactly size pixels in the icon resource id, or a null image.
QImage IcoImage(UINT id, int size)
{
    const IconRes* res = FindIcon(id);
    if (!res) return {};
    QByteArray bytes(reinterpret_cast<const char*>(res->data), static_cast<int>(res->size));
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf, "ICO");
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (i > 0 && !reader.jumpToImage(i)) break;
        QImage img = reader.read();
        if (img.width() == size) return img.convertToFormat(QImage::Format_ARGB32);
    }
    return {};
}

class AboutBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetMessageQueue();
        SetClock(&m_clock);
        SetModuleFileNameOverride(nullptr);
        QbxRegisterResources(true);
        // Registering the resources starts in English; a run in another language
        // (QBX_TEST_LANGUAGE, the pictures in the pseudo-language) goes back to it.
        if (const char* language = std::getenv("QBX_TEST_LANGUAGE")) SetResourceLanguage(language);
        g_szPlatform[0] = '\0';
    }
    void TearDown() override
    {
        ResetMessageQueue();
        SetClock(nullptr);
        QbxRegisterResources(true);
    }
    ManualClock m_clock;
};

// ---------------------------------------------------------------------------
// The version line

// The system the build is for, as the line names it.
#ifdef _WIN32
#define BUILT_FOR "Windows"
#else
#define BUILT_FOR "Linux"
#endif

TEST_F(AboutBoxTest, ShowsCaptionAndVersionLineWithAnEmptyPlatformText)
{
    CAboutDlg about;
    ASSERT_TRUE(about.Create(IDD_ABOUTBOX));
    EXPECT_EQ(about.GetWindowTextString(), "About Quillbox");
    EXPECT_EQ(VersionLine(about), "Version 1.13 for " BUILT_FOR " ");
    about.DestroyWindow();

    // An executable without a version resource: the version text stays empty.
    QbxRegisterResources(false);
    ASSERT_TRUE(about.Create(IDD_ABOUTBOX));
    EXPECT_EQ(VersionLine(about), "Version  for " BUILT_FOR " ");
    about.DestroyWindow();
}

// ---------------------------------------------------------------------------
// The animation

TEST_F(AboutBoxTest, IconIsEmptyUntilTheFirstFrameThenCyclesEveryTwoHundredMs)
{
    CAboutDlg about;
    ASSERT_TRUE(about.Create(IDD_ABOUTBOX));
    auto* label = qobject_cast<QLabel*>(ControlWidget(about, IDC_ANIM));
    ASSERT_NE(label, nullptr);
    ASSERT_EQ(about.GetDlgItem(IDC_ANIM), &about.m_anim) << "the icon control is the animated one";

    EXPECT_EQ(about.m_anim.GetIcon(), 0u);
    PumpManual(m_clock, 199);
    EXPECT_EQ(about.m_anim.GetIcon(), 0u) << "nothing before the first tick";
    EXPECT_TRUE(label->pixmap().isNull());

    std::vector<UINT> seen;
    for (int i = 0; i < 7; ++i) {
        PumpManual(m_clock, i == 0 ? 1 : 200);
        seen.push_back(static_cast<UINT>(about.m_anim.GetIcon()));
        QPixmap shown = label->pixmap();
        EXPECT_FALSE(shown.isNull()) << "frame " << i << " has no picture";
        // 32 pixels on the screen, drawn from the frame's own image for the screen's
        // scale (64 pixels at 2), not a smaller one blown up.
        EXPECT_EQ(shown.deviceIndependentSize(), QSizeF(32, 32)) << "frame " << i;
        const int pixels = qRound(32 * label->devicePixelRatioF());
        EXPECT_EQ(shown.toImage().convertToFormat(QImage::Format_ARGB32), IcoImage(seen.back(), pixels))
            << "frame " << i << " at " << pixels << " pixels";
        if (seen.back() == 140 && i == 0) Screenshot(about, "about-frame-140");
        if (seen.back() == 143) {
            Screenshot(about, "about-frame-143");
            EXPECT_FALSE(AppHarness::DocScreenshot(&about, "about").empty());
        }
    }
    EXPECT_EQ(seen, (std::vector<UINT>{140, 141, 142, 143, 144, 145, 140}));
    about.DestroyWindow();
    EXPECT_EQ(MsUntilNextTimer(), -1) << "the icon timer ends with the box";
}

TEST_F(AboutBoxTest, IconResourcesDecodeAtTheirSizesAndTheAppIconIsEveryWindowsIcon)
{
    struct Want {
        UINT id;
        std::vector<int> sizes;
        int bitsPerPixel;
    };
    // The application icon and the animation frames in full colour with alpha at every
    // size a scaled screen asks for.
    const std::vector<int> all = {16, 24, 32, 48, 64, 256};
    std::vector<Want> wants = {{128, all, 32}, {140, all, 32}, {141, all, 32}, {142, all, 32},
                               {143, all, 32}, {144, all, 32}, {145, all, 32}};
    std::vector<QImage> frames;
    for (const Want& w : wants) {
        const IconRes* res = FindIcon(w.id);
        ASSERT_NE(res, nullptr) << w.id;
        QByteArray bytes(reinterpret_cast<const char*>(res->data), static_cast<int>(res->size));
        // Icon directory entries, one per image: 16 colours at 4 bits per pixel, else
        // no palette.
        ASSERT_GE(bytes.size(), 6 + 16 * static_cast<int>(w.sizes.size()));
        ASSERT_EQ(static_cast<unsigned char>(bytes[4]), w.sizes.size()) << w.id;
        QBuffer buf(&bytes);
        buf.open(QIODevice::ReadOnly);
        QImageReader reader(&buf, "ICO");
        ASSERT_EQ(reader.imageCount(), static_cast<int>(w.sizes.size())) << w.id;
        for (std::size_t i = 0; i < w.sizes.size(); ++i) {
            const auto* entry = reinterpret_cast<const unsigned char*>(bytes.constData()) + 6 + 16 * i;
            EXPECT_EQ(entry[2], w.bitsPerPixel == 4 ? 16 : 0) << w.id << " colour count";
            EXPECT_EQ(entry[6] | (entry[7] << 8), w.bitsPerPixel) << w.id << " bits per pixel";
            if (i > 0) {
                ASSERT_TRUE(reader.jumpToImage(static_cast<int>(i)));
            }
            QImage img = reader.read();
            ASSERT_FALSE(img.isNull()) << w.id << ": " << reader.errorString().toStdString();
            EXPECT_EQ(img.size(), QSize(w.sizes[i], w.sizes[i])) << w.id;
            // Transparent around the picture, opaque in its middle.
            EXPECT_EQ(qAlpha(img.pixel(0, img.height() - 1)), 0) << w.id;
            EXPECT_EQ(qAlpha(img.pixel(img.width() / 2, img.height() / 2)), 255) << w.id;
            if (w.id >= 140 && w.sizes[i] == 32) frames.push_back(img);
        }
    }
    // An animation: every frame differs from the one before it.
    for (std::size_t i = 0; i < frames.size(); ++i)
        EXPECT_NE(frames[i], frames[(i + 1) % frames.size()]) << "frames " << 140 + i << " and the next";

    // The application icon, every size, on every window.
    ASSERT_NE(GetWindowSystem(), nullptr);
    GetWindowSystem()->SetApplicationIcon(IDR_MAINFRAME);
    QIcon icon = QApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    QList<QSize> sizes = icon.availableSizes();
    for (int n : {16, 24, 32, 48, 64, 256}) EXPECT_TRUE(sizes.contains(QSize(n, n))) << n;

    CAboutDlg about;
    ASSERT_TRUE(about.Create(IDD_ABOUTBOX));
    EXPECT_FALSE(DialogWidget(about)->windowIcon().isNull());
    about.DestroyWindow();
}

// ---------------------------------------------------------------------------
// Ending the box

struct CloseCase {
    const char* name;
    std::function<void(CAboutDlg&)> act;
    int result;
};

void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class AboutBoxCloseTest : public AboutBoxTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(AboutBoxCloseTest, EndsTheModalLoop)
{
    const CloseCase& c = GetParam();
    CAboutDlg about;
    CActionWnd actor;
    ASSERT_TRUE(actor.CreateHandleOnly());
    UINT_PTR iconAtAction = 99;
    actor.m_action = [&] {
        iconAtAction = about.m_anim.GetIcon();
        c.act(about);
    };
    actor.m_rescue = [&] { about.EndDialog(-99); };
    actor.SetTimer(1, 300);
    actor.SetTimer(2, 5000);

    int result = about.DoModal();
    EXPECT_EQ(iconAtAction, 140u) << "the action ran while the box was up, after the first frame";
    EXPECT_EQ(result, c.result) << c.name;
    EXPECT_EQ(about.m_hWnd, 0u);
    actor.DestroyWindow();
    EXPECT_EQ(MsUntilNextTimer(), -1) << "the icon timer ends with the box";
}

INSTANTIATE_TEST_SUITE_P(
    Ways, AboutBoxCloseTest,
    ::testing::Values(
        CloseCase{"ClickOnTheIcon", [](CAboutDlg& d) { QTest::mouseClick(ControlWidget(d, IDC_ANIM), Qt::LeftButton); },
                  IDOK},
        CloseCase{"ClickOnTheVersionLine",
                  [](CAboutDlg& d) { QTest::mouseClick(ControlWidget(d, IDC_VERSION), Qt::LeftButton); }, IDOK},
        CloseCase{"ClickInACorner",
                  [](CAboutDlg& d) { QTest::mouseClick(DialogWidget(d), Qt::LeftButton, {}, QPoint(3, 3)); }, IDOK},
        CloseCase{"Enter", [](CAboutDlg& d) { QTest::keyClick(DialogWidget(d), Qt::Key_Return); }, IDOK},
        CloseCase{"Escape", [](CAboutDlg& d) { QTest::keyClick(DialogWidget(d), Qt::Key_Escape); }, IDCANCEL},
        CloseCase{"CloseBox", [](CAboutDlg& d) { DialogWidget(d)->close(); }, IDCANCEL}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The icon timer and a blocking receive

class CAboutTestApp : public CWinApp {};

// A loopback port that accepts connections into its backlog and never answers.
class SilentListener {
public:
    SilentListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 || ::listen(m_fd, 4) < 0) return;
        socklen_t len = sizeof a;
        if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) m_port = ntohs(a.sin_port);
    }
    ~SilentListener()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    unsigned Port() const { return m_port; }

private:
    int m_fd = -1;
    unsigned m_port = 0;
};

TEST_F(AboutBoxTest, IconTimerEndsABlockingReceiveEarlyAsATimeOut)
{
    SetClock(nullptr);  // real sockets, real time
    CAboutTestApp app;
    CWnd frame;
    ASSERT_TRUE(frame.CreateHandleOnly());
    app.m_pMainWnd = &frame;
    ASSERT_TRUE(AfxSocketInit());
    SilentListener printer;
    ASSERT_NE(printer.Port(), 0u);

    CAboutDlg about;
    ASSERT_TRUE(about.Create(IDD_ABOUTBOX));
    CPrinterSocket socket;
    socket.AttachToMainWindow();
    ASSERT_EQ(socket.m_pTimerWnd, &frame);
    ASSERT_TRUE(socket.Create(0, SOCK_STREAM, ""));
    ASSERT_TRUE(socket.ConnectWithTimeout("127.0.0.1", printer.Port(), 2000));

    char buf[2048];
    auto t0 = std::chrono::steady_clock::now();
    int n = socket.ReceiveWithTimeout(buf, sizeof buf, 5000, 0);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(n, -1);
    EXPECT_EQ(WSAGetLastError(), 10060);
    EXPECT_LT(ms, 4000) << "the icon's tick, not the 5000 ms time-out, ended the wait";

    // The box goes on playing: the first frame, then the next one.
    ASSERT_TRUE(about.m_hWnd);
    EXPECT_TRUE(PumpRealUntil([&] { return about.m_anim.GetIcon() == 140; }, 3000));
    EXPECT_TRUE(PumpRealUntil([&] { return about.m_anim.GetIcon() == 141; }, 3000));
    EXPECT_EQ(VersionLine(about), "Version 1.13 for " BUILT_FOR " ");

    socket.ShutDown(2);
    socket.Close();
    about.DestroyWindow();
    frame.DestroyWindow();
    app.m_pMainWnd = nullptr;
}

}  // namespace
