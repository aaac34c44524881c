#include "app_harness.h"

#include "app/Globals.h"
#include "platform/clock.h"
#include "platform/msgqueue.h"
#include "platform/system.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

QWidget* QtWidgetOfHandle(HWND hwnd);

std::string MakeTempFolder(const std::string& tag)
{
    std::string tmpl = std::string(QBX_TEST_OUTPUT_DIR) + "/" + tag + "-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    char* made = mkdtemp(buf.data());
    return made ? std::string(made) : std::string("/tmp");
}

AppHarness::AppHarness(const std::string& iniText)
{
    m_folder = MakeTempFolder("app");
    std::string exe = m_folder + "/quillbox";
    SetModuleFileNameOverride(exe.c_str());
    setenv("QUILLBOX_SYSTEM_DIR", m_folder.c_str(), 1);
    if (!iniText.empty()) {
        std::ofstream(IniPath()) << iniText;
    }
    m_iniText = iniText;
    // A fresh program: globals as at process start.
    g_bAutoDelete = TRUE;
    g_szSortBy[0] = '\0';
    g_bSortByChanged = FALSE;
    g_bDirectoryLoaded = FALSE;
    g_szPlatform[0] = '\0';
    ResetMessageQueue();
    SetTraceSink([this](const std::string& s) { traces.push_back(s); });
    m_app = std::make_unique<CQuillboxApp>();
}

AppHarness::~AppHarness()
{
    // A program that did not finish its exit is torn down here.
    if (CWnd* main = AfxGetMainWnd()) {
        if (main->m_hWnd) main->DestroyWindow();
    }
    PumpPending();
    SetTraceSink({});
    ResetMessageQueue();
    m_app.reset();
    SetModuleFileNameOverride(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool AppHarness::Start()
{
    if (!m_app->InitInstance()) return false;
    // Most tests list and retrieve at once; the wait for a scan to settle before its
    // automatic deletion is tested by the rows whose settings name a SettleTime.
    if (m_iniText.find("SettleTime") == std::string::npos && Frame()) Frame()->m_nSettleMs = 0;
    PumpPending();
    return MainDlg() && MainDlg()->m_hWnd;
}

CMainFrame* AppHarness::Frame() const { return GetMainFrame(); }

CQuillboxDlg* AppHarness::MainDlg() const
{
    CMainFrame* f = Frame();
    return f ? f->m_pMainDlg : nullptr;
}

void AppHarness::PumpPending()
{
    MSG msg;
    for (int guard = 0; guard < 100000; ++guard) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) break;
        if (msg.message == WM_QUIT) {
            m_exited = true;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    if (!AfxGetMainWnd()) m_exited = true;
    if (DispatchDepth() == 0) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void AppHarness::PumpFor(int ms)
{
    IClock* clock = GetClock();
    std::int64_t end = clock->NowMs() + ms;
    while (clock->NowMs() < end && !m_exited) {
        PumpPending();
        std::int64_t left = end - clock->NowMs();
        if (left <= 0) break;
        int next = MsUntilNextTimer();
        int wait = static_cast<int>(next < 0 ? left : std::min<std::int64_t>(next, left));
        if (PostedMessageCount() > 0) wait = 0;
        GetEventBackend()->WaitForEvents(wait);
    }
    PumpPending();
}

bool AppHarness::PumpUntil(const std::function<bool()>& pred, int timeoutMs)
{
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (pred()) return true;
        if (m_exited) return pred();
        auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        if (elapsed > timeoutMs) return pred();
        PumpPending();
        if (pred()) return true;
        int next = MsUntilNextTimer();
        int wait = next < 0 ? 50 : std::min(next, 50);
        if (PostedMessageCount() > 0) wait = 0;
        GetEventBackend()->WaitForEvents(wait);
    }
}

bool AppHarness::PumpUntilExit(int timeoutMs)
{
    return PumpUntil([this] { return m_exited || !AfxGetMainWnd(); }, timeoutMs);
}

std::string AppHarness::ReadIni() const
{
    std::ifstream in(IniPath());
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

QWidget* AppHarness::ControlWidget(CWnd* dlg, int id)
{
    if (!dlg || !dlg->m_hWnd) return nullptr;
    QWidget* top = QtWidgetOfHandle(dlg->m_hWnd);
    CWnd* item = dlg->GetDlgItem(id);
    if (!top || !item) return nullptr;
    // Find the child widget whose geometry matches the item: ask each child by handle.
    for (QWidget* w : top->findChildren<QWidget*>()) {
        if (w->property("qbxHwnd").toULongLong() == item->m_hWnd) return w;
    }
    return nullptr;
}

void AppHarness::TypeInto(CWnd* dlg, int id, const std::string& text)
{
    QWidget* w = ControlWidget(dlg, id);
    if (!w) return;
    w->setFocus();
    QTest::keyClicks(w, QString::fromUtf8(text.c_str()));
}

void AppHarness::Click(CWnd* dlg, int id)
{
    QWidget* w = ControlWidget(dlg, id);
    if (auto* b = qobject_cast<QPushButton*>(w)) QTest::mouseClick(b, Qt::LeftButton);
}

void AppHarness::PressKey(CWnd* dlg, int qtKey, int qtModifiers)
{
    if (!dlg || !dlg->m_hWnd) return;
    QWidget* top = QtWidgetOfHandle(dlg->m_hWnd);
    if (!top) return;
    QWidget* target = top->focusWidget() ? top->focusWidget() : top;
    QTest::keyClick(target, static_cast<Qt::Key>(qtKey), Qt::KeyboardModifiers(qtModifiers));
}

void AppHarness::ClickListLine(CWnd* dlg, int id, int row)
{
    auto* lb = qobject_cast<QListWidget*>(ControlWidget(dlg, id));
    if (!lb || row < 0 || row >= lb->count()) return;
    QListWidgetItem* item = lb->item(row);
    lb->scrollToItem(item);
    QTest::mouseClick(lb->viewport(), Qt::LeftButton, Qt::NoModifier, lb->visualItemRect(item).center());
}

void AppHarness::ChooseComboItem(CWnd* dlg, int id, int index)
{
    auto* cb = qobject_cast<QComboBox*>(ControlWidget(dlg, id));
    if (!cb || index < 0 || index >= cb->count()) return;
    cb->setCurrentIndex(index);
    emit cb->activated(index);
}

void AppHarness::CloseBox(CWnd* dlg)
{
    if (!dlg || !dlg->m_hWnd) return;
    if (QWidget* top = QtWidgetOfHandle(dlg->m_hWnd)) top->close();
}

namespace {

// A run in another language (QBX_TEST_LANGUAGE=qps) or on a scaled screen
// (QT_SCALE_FACTOR=2) keeps its pictures beside the others, named "NAME-qps" or
// "NAME@2x", and leaves the README's alone.
std::string ScaleSuffix()
{
    std::string suffix;
    const char* language = std::getenv("QBX_TEST_LANGUAGE");
    if (language && *language) suffix += std::string("-") + language;
    const char* scale = std::getenv("QT_SCALE_FACTOR");
    if (scale && *scale && std::string(scale) != "1") suffix += std::string("@") + scale + "x";
    return suffix;
}

// A run on a scaled screen checks its pictures for cut texts (the pseudo-language's are
// there to show where a text would be cut).
bool Scaled()
{
    const char* scale = std::getenv("QT_SCALE_FACTOR");
    return scale && *scale && std::string(scale) != "1";
}

}  // namespace

std::string AppHarness::DocScreenshot(CWnd* dlg, const std::string& name)
{
    if (!ScaleSuffix().empty()) return Screenshot(dlg, name);
    auto* d = dynamic_cast<CDialog*>(dlg);
    std::string shot = std::string(QBX_TEST_OUTPUT_DIR) + "/" + name + ".png";
    if (!d || !d->SaveScreenshot(shot.c_str())) return std::string();
    // A source tree that cannot be written (a read-only checkout) keeps its pictures.
    QDir().mkpath(QStringLiteral(QBX_DOCS_DIR));
    std::string doc = std::string(QBX_DOCS_DIR) + "/" + name + ".png";
    if (!d->SaveScreenshot(doc.c_str())) std::fprintf(stderr, "note: could not update %s\n", doc.c_str());
    return shot;
}

std::string AppHarness::Screenshot(CWnd* dlg, const std::string& name)
{
    std::string path = std::string(QBX_TEST_OUTPUT_DIR) + "/" + name + ScaleSuffix() + ".png";
    if (auto* d = dynamic_cast<CDialog*>(dlg)) d->SaveScreenshot(path.c_str());
    if (Scaled() && dlg && dlg->m_hWnd)
        if (QWidget* w = QtWidgetOfHandle(dlg->m_hWnd)) ExpectNoTextCut(w, name);
    return path;
}

std::string AppHarness::ScreenshotOf(QWidget* window, const std::string& name)
{
    std::string path = std::string(QBX_TEST_OUTPUT_DIR) + "/" + name + ScaleSuffix() + ".png";
    if (!window) return std::string();
    window->grab().save(QString::fromStdString(path));
    if (Scaled()) ExpectNoTextCut(window, name);
    return path;
}

void AppHarness::ExpectNoTextCut(QWidget* window, const std::string& name)
{
    // A label's text is drawn dark on the dialog's light face: a dark pixel in its last
    // column or row means a glyph went on past the edge. Icons and empty labels have
    // nothing to cut.
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty()) continue;
        const QImage img = label->grab().toImage();
        if (img.isNull()) continue;
        auto dark = [&](int x, int y) { return qGray(img.pixel(x, y)) < 96; };
        int edgeX = 0, edgeY = 0;
        for (int y = 0; y < img.height(); ++y) edgeX += dark(img.width() - 1, y);
        for (int x = 0; x < img.width(); ++x) edgeY += dark(x, img.height() - 1);
        EXPECT_EQ(edgeX + edgeY, 0) << name << ": \"" << label->text().toStdString() << "\" is cut at its "
                                    << (edgeX ? "right" : "bottom") << " edge (" << img.width() << "x" << img.height()
                                    << " device pixels)";
    }
}
