#include "platform/qt/qt_platform.h"

#include "platform/msgqueue.h"
#include "platform/prompts.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/qt_windows.h"
#include "platform/resources.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QStyleFactory>
#include <QTranslator>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Runs the thread's queue until done is set: the prompt is modal, yet the program's
// timers and posted messages go on, as with the window system's own message boxes.
void PumpUntilAnswered(const bool& done)
{
    PumpUntil({.done = [&done] { return done; }, .hold = nullptr, .wait = true});
}

// Makes box at least as wide as its caption needs on the window's frame. A message
// box is as narrow as its text, and a window manager then cuts the caption short
// ("Socket Co…ction Error"). Qt's own allowance for the title is measured with the
// dialogs' small font and leaves no room for the frame's buttons.
void WidenForCaption(QMessageBox& box, const char* caption)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid || !caption || !*caption) return;
    int width = QtCaptionWidth(caption);
    // A caption longer than the screen is wide (a long path) is cut whatever the box does.
    if (const QScreen* screen = box.screen()) width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    // The layout's margins come on top of its items: take them off the spacer.
    QMargins m = grid->contentsMargins();
    grid->addItem(new QSpacerItem(width - m.left() - m.right(), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

// Qt's own texts (the message boxes' buttons, the Save As dialog) in the language of
// the program's texts, from the Qt translations the system has (Debian's
// qt6-translations-l10n); English when it has none for that language.
void FollowResourceLanguage()
{
    static std::string installed = "en";
    static QTranslator translator;
    const std::string wanted = GetResourceLanguage();
    if (wanted == installed) return;
    QCoreApplication::removeTranslator(&translator);
    installed = wanted;
    if (wanted == "en") return;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator.load(QStringLiteral("qtbase_") + QString::fromStdString(wanted), folder))
        QCoreApplication::installTranslator(&translator);
}

class QtPrompts : public IPrompts {
public:
    int MessageBox(HWND owner, const char* text, const char* caption, UINT type) override
    {
        FollowResourceLanguage();
        QMessageBox box(QtWidgetOfHandle(owner));
        box.setWindowTitle(QString::fromUtf8(caption));
        box.setText(QString::fromUtf8(text));
        box.setTextFormat(Qt::PlainText);
        box.setFont(QtDialogFont());
        bool question = (type & 0x0F) == MB_YESNOCANCEL;
        if (question) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::Cancel);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
        }
        if (type & MB_ICONQUESTION) box.setIcon(QMessageBox::Question);
        WidenForCaption(box, caption);
        box.setWindowModality(Qt::ApplicationModal);
        bool done = false;
        QObject::connect(&box, &QMessageBox::finished, [&done] { done = true; });
        box.show();
        PumpUntilAnswered(done);
        if (!done) return question ? IDCANCEL : IDOK;
        QAbstractButton* clicked = box.clickedButton();
        if (!question) return IDOK;
        if (clicked == box.button(QMessageBox::Yes)) return IDYES;
        if (clicked == box.button(QMessageBox::No)) return IDNO;
        return IDCANCEL;
    }

    BOOL GetSaveFileName(OPENFILENAME* ofn) override
    {
        FollowResourceLanguage();
        QFileDialog dlg(QtWidgetOfHandle(ofn->hwndOwner));
        dlg.setOption(QFileDialog::DontUseNativeDialog, true);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setWindowTitle(QCoreApplication::translate("QFileDialog", "Save As"));
        if (ofn->lpstrInitialDir && *ofn->lpstrInitialDir) dlg.setDirectory(QString::fromUtf8(ofn->lpstrInitialDir));
        // The default extension is the layer's to add (GetSaveFileName in prompts.cpp).
        if (ofn->lpstrFilter && *ofn->lpstrFilter) {
            // The filter is pairs of texts: a description and its pattern.
            QStringList filters;
            const char* p = ofn->lpstrFilter;
            while (*p) {
                QString desc = QString::fromUtf8(p);
                p += std::strlen(p) + 1;
                QString pat = *p ? QString::fromUtf8(p) : desc;
                if (*p) p += std::strlen(p) + 1;
                filters << (desc == pat ? pat : desc + QStringLiteral(" (") + pat + QStringLiteral(")"));
            }
            dlg.setNameFilters(filters);
        }
        if (ofn->lpstrFile && *ofn->lpstrFile) dlg.selectFile(QString::fromUtf8(ofn->lpstrFile));
        dlg.setWindowModality(Qt::ApplicationModal);
        bool done = false;
        QObject::connect(&dlg, &QFileDialog::finished, [&done] { done = true; });
        dlg.show();
        PumpUntilAnswered(done);
        if (!done || dlg.result() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return FALSE;
        QByteArray path = dlg.selectedFiles().first().toUtf8();
        if (!ofn->lpstrFile || static_cast<DWORD>(path.size()) + 1 > ofn->nMaxFile) return FALSE;  // never cut a path
        std::memcpy(ofn->lpstrFile, path.constData(), static_cast<std::size_t>(path.size()));
        ofn->lpstrFile[path.size()] = '\0';
        return TRUE;
    }
};

}  // namespace

struct QtPlatform::Impl {
    std::unique_ptr<QApplication> ownedApp;
    std::unique_ptr<QtEventBackend> backend;
    QtWindowSystem windows;
    QtPrompts prompts;
};

QtPlatform::QtPlatform(int& argc, char** argv) : d(std::make_unique<Impl>())
{
    if (!QApplication::instance()) d->ownedApp = std::make_unique<QApplication>(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(QtDialogFont());
    QApplication::setQuitOnLastWindowClosed(false);
#ifdef QBX_APP_ID
    // Lets the desktop match the windows with the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QBX_APP_ID));
#endif
    d->backend = std::make_unique<QtEventBackend>();
    SetEventBackend(d->backend.get());
    SetWindowSystem(&d->windows);
    SetPrompts(&d->prompts);
}

QtPlatform::~QtPlatform()
{
    if (GetPrompts() == &d->prompts) SetPrompts(nullptr);
    if (GetWindowSystem() == &d->windows) SetWindowSystem(nullptr);
    if (GetEventBackend() == d->backend.get()) SetEventBackend(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    d->backend.reset();
}

int QtPlatform::BaseUnitX() { return QtBaseUnitX(); }

int QtPlatform::BaseUnitY() { return QtBaseUnitY(); }

const char* QtPlatform::ResolvedDialogFontFamily()
{
    static QByteArray family;
    family = QFontInfo(QtDialogFont()).family().toUtf8();
    return family.constData();
}

int QtCaptionWidth(const char* caption)
{
    // Window managers draw captions in their own title font, mostly bold and larger
    // than the dialogs' text; Qt's title font is the best guess of it there is.
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    if (font.pointSizeF() > 0 && font.pointSizeF() < kCaptionMinPoints) font.setPointSizeF(kCaptionMinPoints);
    QFontMetrics fm(font);
    // Beside the caption: the window menu's icon and up to three buttons, each about
    // as wide as the title bar is high, and the frame's borders.
    const int button = fm.height() + 10;
    return fm.horizontalAdvance(QString::fromUtf8(caption ? caption : "")) + 4 * button + 2 * 8;
}

bool QtPlatformDisplayAvailable()
{
    auto set = [](const char* v) {
        const char* s = std::getenv(v);
        return s && *s;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}
