// The window system on Qt: dialogs made from their templates, their handles, the
// dialog font's base units, and what every dialog and control shares (show, focus,
// destroy). The controls themselves are in qt_controls.cpp.
#include "platform/qt/qt_windows.h"

#include "platform/msgqueue.h"
#include "platform/qt/qt_controls.h"
#include "platform/resources.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>

#include <cmath>
#include <map>
#include <memory>

namespace {

// Marks a control whose accessible name is its dialog's caption (a progress bar without
// a label of its own): it follows the caption when the program changes it.
constexpr const char* kNamedByCaption = "qbxNamedByCaption";

// The offscreen platform cannot raise windows and says so each time.
void Raise(QWidget* w)
{
    static const bool canRaise = QGuiApplication::platformName() != QLatin1String("offscreen");
    if (canRaise) w->raise();
}

std::map<QWidget*, HWND>& DialogHandles()
{
    static std::map<QWidget*, HWND> map;
    return map;
}

std::map<HWND, QPointer<QWidget>>& HandleWidgets()
{
    static std::map<HWND, QPointer<QWidget>> map;
    return map;
}

}  // namespace

namespace qtwin {

int ScaleX(int du) { return static_cast<int>(std::lround(du * QtBaseUnitX() / 4.0)); }
int ScaleY(int du) { return static_cast<int>(std::lround(du * QtBaseUnitY() / 8.0)); }

bool Focusable(const DlgItemTemplate& it)
{
    return it.cls == DlgItemClass::Edit || it.cls == DlgItemClass::ListBox || it.cls == DlgItemClass::ComboBox ||
           (it.cls == DlgItemClass::Button && (it.style & 0x0F) != BS_GROUPBOX);
}

}  // namespace qtwin

namespace {

using namespace qtwin;

class QbxDialog : public QDialog {
public:
    QbxDialog(HWND hwnd, std::shared_ptr<bool> alive) : m_hwnd(hwnd), m_alive(std::move(alive)) {}

    void reject() override { Command(IDCANCEL); }
    void accept() override {}

protected:
    void closeEvent(QCloseEvent* e) override
    {
        e->ignore();
        Command(IDCANCEL);
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_Escape) {
            Command(IDCANCEL);
            return;
        }
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            // A focused push button takes Enter; else the default button; a dialog
            // without one gets IDOK.
            auto* focused = qobject_cast<QPushButton*>(focusWidget());
            if (focused && focused->isVisible()) {
                if (focused->isEnabled()) focused->click();
                return;
            }
            for (QPushButton* pb : findChildren<QPushButton*>()) {
                if (pb->isDefault() && pb->isVisible()) {
                    if (pb->isEnabled()) pb->click();
                    return;
                }
            }
            Command(IDOK);
            return;
        }
        QDialog::keyPressEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && *m_alive) {
            QPoint p = e->position().toPoint();
            LPARAM lp = static_cast<LPARAM>((p.x() & 0xFFFF) | ((p.y() & 0xFFFF) << 16));
            ::SendMessage(m_hwnd, WM_LBUTTONDOWN, 1, lp);
            return;
        }
        QDialog::mousePressEvent(e);
    }

private:
    void Command(int id)
    {
        if (*m_alive) ::SendMessage(m_hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), 0);
    }
    HWND m_hwnd;
    std::shared_ptr<bool> m_alive;
};

class QtDialogImpl final : public QtWidgetImpl {
public:
    explicit QtDialogImpl(HWND hwnd) : QtWidgetImpl(hwnd, true) {}

protected:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        QWidget* w = m_w;
        return TextMessage(
            message, wParam, lParam, [w] { return w->windowTitle(); },
            [w](const QString& t) {
                w->setWindowTitle(t);
                // A control named after the caption is announced with the caption shown
                // now: the progress bar as "Retrieving File:  1234(001)….TIF".
                for (QWidget* c : w->findChildren<QWidget*>())
                    if (c->property(kNamedByCaption).toBool()) c->setAccessibleName(t);
            });
    }
};

}  // namespace

namespace qtwin {

void QtWidgetImpl::Show(bool show)
{
    if (!m_w) return;
    if (show) {
        m_w->show();
        if (m_isDialog) {
            Raise(m_w);
            m_w->activateWindow();
        }
    } else {
        m_w->hide();
    }
}

void QtWidgetImpl::SetFocus()
{
    if (!m_w) return;
    if (m_isDialog) {
        m_w->activateWindow();
        Raise(m_w);
        if (!m_w->focusWidget()) {
            for (QWidget* c : m_w->findChildren<QWidget*>()) {
                if (c->focusPolicy() & Qt::TabFocus && c->isEnabled() && c->isVisibleTo(m_w)) {
                    c->setFocus(Qt::TabFocusReason);
                    break;
                }
            }
        }
        return;
    }
    if (QWidget* top = m_w->window()) top->activateWindow();
    m_w->setFocus(Qt::OtherFocusReason);
}

bool QtWidgetImpl::HasFocus() const
{
    if (!m_w) return false;
    if (m_isDialog) return m_w->isActiveWindow();
    QWidget* top = m_w->window();
    return top && top->focusWidget() == m_w.data();
}

void QtWidgetImpl::BringToTop()
{
    if (!m_w) return;
    QWidget* top = m_w->window();
    Raise(top);
    top->activateWindow();
}

void QtWidgetImpl::Destroy()
{
    *m_alive = false;
    if (m_isDialog && m_w) {
        QWidget* w = m_w;
        DialogHandles().erase(w);
        HandleWidgets().erase(m_hwnd);
        w->hide();
        // Freed by the outermost loop: a handler of one of its widgets may still run.
        w->deleteLater();
        m_w = nullptr;
    }
    // The impl objects themselves stay until the dialog's impl is deleted; keep them
    // reachable by nobody. A dialog impl deletes itself (and its controls) here.
    if (m_isDialog) delete this;
}

}  // namespace qtwin

using namespace qtwin;

const QFont& QtDialogFont()
{
    static QFont font = [] {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPointSize(8);
        f.setStyleHint(QFont::SansSerif);
        return f;
    }();
    return font;
}

static void ComputeBaseUnits(int* bx, int* by)
{
    QFontMetrics fm(QtDialogFont());
    int cx = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    *bx = (cx / 26 + 1) / 2;
    *by = fm.height();
}

int QtBaseUnitX()
{
    static int bx = [] {
        int x, y;
        ComputeBaseUnits(&x, &y);
        return x;
    }();
    return bx;
}

int QtBaseUnitY()
{
    static int by = [] {
        int x, y;
        ComputeBaseUnits(&x, &y);
        return y;
    }();
    return by;
}

HWND QtDialogHandleOf(QWidget* topLevel)
{
    auto it = DialogHandles().find(topLevel);
    return it == DialogHandles().end() ? 0 : it->second;
}

QWidget* QtWidgetOfHandle(HWND hwnd)
{
    auto it = HandleWidgets().find(hwnd);
    return it == HandleWidgets().end() ? nullptr : it->second.data();
}

namespace {

// The dialog's own window, sized and flagged as its template says.
QbxDialog* MakeDialogWidget(HWND dialog, const DlgTemplate& tmpl, bool modal, std::shared_ptr<bool> alive)
{
    auto* dlg = new QbxDialog(dialog, std::move(alive));
    dlg->setAttribute(Qt::WA_DeleteOnClose, false);
    dlg->setFont(QtDialogFont());
    dlg->setWindowTitle(FromText(tmpl.caption));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (tmpl.style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    dlg->setWindowFlags(flags);
    dlg->setFixedSize(ScaleX(tmpl.cx), ScaleY(tmpl.cy));
    dlg->setSizeGripEnabled(false);
    if (modal) dlg->setWindowModality(Qt::ApplicationModal);
    if (!QApplication::windowIcon().isNull()) dlg->setWindowIcon(QApplication::windowIcon());
    return dlg;
}

// A label's mnemonic moves the focus to the next control that can take it.
void SetBuddies(const DlgTemplate& tmpl, const std::vector<IWindowSystem::ControlHandle>& controls,
                const std::vector<QWidget*>& widgets)
{
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const DlgItemTemplate& it = tmpl.items[controls[i].index];
        if (it.cls != DlgItemClass::Static || (it.style & SS_NOPREFIX) || (it.style & 0x1F) == SS_ICON) continue;
        QString text = FromText(it.text);
        auto* l = static_cast<QLabel*>(widgets[i]);
        if (text.contains(QLatin1Char('&'))) {
            for (std::size_t k = i + 1; k < controls.size(); ++k) {
                if (Focusable(tmpl.items[controls[k].index])) {
                    l->setBuddy(widgets[k]);
                    break;
                }
            }
        }
        // A caption without a key ("Status:") names the value the program shows right of
        // it on the same line: a screen reader reads the two together.
        if (!l->buddy() && text.endsWith(QLatin1Char(':'))) {
            for (std::size_t k = 0; k < controls.size(); ++k) {
                const DlgItemTemplate& v = tmpl.items[controls[k].index];
                if (v.cls == DlgItemClass::Static && v.id != -1 && !*v.text && v.y == it.y && v.x > it.x) {
                    l->setBuddy(widgets[k]);
                    break;
                }
            }
        }
        l->setText(l->buddy() ? text : StripMnemonic(text));
    }
}

// Tab order is the template's order.
void SetTabOrder(const std::vector<QWidget*>& widgets)
{
    QWidget* prev = nullptr;
    for (QWidget* w : widgets) {
        if (w->focusPolicy() == Qt::NoFocus) continue;
        if (prev) QWidget::setTabOrder(prev, w);
        prev = w;
    }
}

}  // namespace

IWindowImpl* QtWindowSystem::CreateDialogWindow(HWND dialog, const DlgTemplate& tmpl, HWND owner, bool modal,
                                                std::vector<ControlHandle>& controls)
{
    (void)owner;
    auto* impl = new QtDialogImpl(dialog);
    QbxDialog* dlg = MakeDialogWidget(dialog, tmpl, modal, impl->m_alive);
    impl->m_w = dlg;

    std::vector<QWidget*> widgets;
    std::vector<QWidget*> groupBoxes;
    for (auto& ch : controls) {
        const DlgItemTemplate& it = tmpl.items[ch.index];
        HWND h = ch.hwnd;
        int id = it.id;
        auto alive = impl->m_alive;
        auto notify = [dialog, id, h, alive](UINT code) {
            if (*alive)
                ::SendMessage(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)),
                              static_cast<LPARAM>(h));
        };
        std::unique_ptr<QtWidgetImpl> ctl = MakeControl(ControlDesc{it, dlg, h, FromText(it.text), notify});
        QWidget* w = ctl->m_w;
        PlaceControl(w, it, h);
        if (IsGroupBox(it)) groupBoxes.push_back(w);
        ch.impl = ctl.get();
        widgets.push_back(w);
        impl->m_controls.push_back(std::move(ctl));
    }
    SetBuddies(tmpl, controls, widgets);
    // A screen reader names a control without text of its own after the label before
    // it, as on Windows (a list or a drop-down list would otherwise have no name).
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (const char* label = ControlLabel(tmpl, controls[i].index)) {
            widgets[i]->setAccessibleName(StripMnemonic(FromText(label)));
            if (label == tmpl.caption) widgets[i]->setProperty(kNamedByCaption, true);
        }
    for (QWidget* gb : groupBoxes) gb->lower();
    SetTabOrder(widgets);
    DialogHandles()[dlg] = dialog;
    HandleWidgets()[dialog] = dlg;
    return impl;
}

void QtWindowSystem::SetApplicationIcon(UINT iconId)
{
    // Every size the icon has, so a scaled screen gets a sharp one rather than a
    // blown-up 32-pixel picture.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 256}) {
        QPixmap p = IconPixmap(iconId, size);
        if (!p.isNull() && p.width() == size) icon.addPixmap(p);
    }
    if (icon.isNull())
        if (QPixmap p = IconPixmap(iconId, 32); !p.isNull()) icon.addPixmap(p);
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
}
