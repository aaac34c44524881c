#include "platform/qt/qt_windows.h"

#include "platform/msgqueue.h"
#include "platform/resources.h"

#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTextOption>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>

namespace {

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

QString FromText(const char* s) { return QString::fromUtf8(s ? s : ""); }

// Copies text into a caller's buffer of size bytes (at most size-1 bytes and a NUL).
LRESULT CopyText(const QString& text, WPARAM size, LPARAM buffer)
{
    char* out = reinterpret_cast<char*>(buffer);
    if (!out || size == 0) return 0;
    QByteArray bytes = text.toUtf8();
    std::size_t n = static_cast<std::size_t>(bytes.size());
    if (n > size - 1) n = size - 1;
    std::memcpy(out, bytes.constData(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

// "&&" stands for one "&", a single "&" marks the mnemonic and is not shown.
QString StripMnemonic(const QString& s)
{
    QString r;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('&')) {
            if (i + 1 < s.size() && s[i + 1] == QLatin1Char('&')) { r += QLatin1Char('&'); ++i; }
            continue;
        }
        r += s[i];
    }
    return r;
}

std::map<UINT, QPixmap>& IconCache()
{
    static std::map<UINT, QPixmap> map;
    return map;
}

// The image of an icon resource at the wanted size (the nearest one it holds).
QPixmap IconPixmap(UINT id, int size)
{
    auto key = id * 1000u + static_cast<UINT>(size);
    auto it = IconCache().find(key);
    if (it != IconCache().end()) return it->second;
    QPixmap best;
    if (const IconRes* res = FindIcon(id)) {
        QByteArray data(reinterpret_cast<const char*>(res->data), static_cast<int>(res->size));
        QBuffer buf(&data);
        buf.open(QIODevice::ReadOnly);
        QImageReader reader(&buf, "ICO");
        int bestDiff = 1 << 30;
        for (int i = 0; i < reader.imageCount(); ++i) {
            if (i > 0 && !reader.jumpToImage(i)) break;
            QImage img = reader.read();
            if (img.isNull()) continue;
            int diff = std::abs(img.width() - size);
            if (diff < bestDiff) {
                bestDiff = diff;
                best = QPixmap::fromImage(img);
            }
        }
    }
    IconCache()[key] = best;
    return best;
}

// Draws list lines with one tab-stop distance, as the window system's list box does.
class TabStopDelegate : public QStyledItemDelegate {
public:
    explicit TabStopDelegate(QObject* parent) : QStyledItemDelegate(parent) {}
    int tabPixels = 64;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        QString text = opt.text;
        opt.text.clear();
        const QWidget* w = opt.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, w);
        QRect r = opt.rect.adjusted(2, 0, -2, 0);
        painter->save();
        painter->setFont(opt.font);
        bool selected = opt.state & QStyle::State_Selected;
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        QTextOption to(Qt::AlignLeft | Qt::AlignVCenter);
        to.setTabStopDistance(tabPixels);
        to.setWrapMode(QTextOption::NoWrap);
        painter->drawText(QRectF(r), text, to);
        painter->restore();
    }
};

class QbxDialog;

// The Qt side of one dialog or control.
class QtWidgetImpl : public IWindowImpl {
public:
    QtWidgetImpl(QWidget* w, DlgItemClass cls, bool isDialog, HWND hwnd)
        : m_w(w), m_cls(cls), m_isDialog(isDialog), m_hwnd(hwnd) {}

    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Enable(bool enable) override { if (m_w) m_w->setEnabled(enable); }
    bool IsEnabled() const override { return m_w && m_w->isEnabled(); }
    void Show(bool show) override;
    bool IsVisible() const override { return m_w && m_w->isVisible(); }
    void SetFocus() override;
    bool HasFocus() const override;
    void BringToTop() override;
    void Destroy() override;
    bool SaveScreenshot(const char* path) override
    {
        if (!m_w || !path) return false;
        return m_w->grab().save(QString::fromUtf8(path), "PNG");
    }

    QPointer<QWidget> m_w;
    DlgItemClass m_cls;
    bool m_isDialog;
    HWND m_hwnd;
    UINT m_icon = 0;
    bool m_prefix = true;
    TabStopDelegate* m_delegate = nullptr;
    std::vector<std::unique_ptr<QtWidgetImpl>> m_controls;  // a dialog's controls
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

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

LRESULT QtWidgetImpl::Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    QWidget* w = m_w;
    if (!w) return 0;
    if (m_isDialog) {
        switch (message) {
        case WM_SETTEXT: w->setWindowTitle(FromText(reinterpret_cast<const char*>(lParam))); return TRUE;
        case WM_GETTEXT: return CopyText(w->windowTitle(), wParam, lParam);
        case WM_GETTEXTLENGTH: return w->windowTitle().toUtf8().size();
        default: return 0;
        }
    }
    switch (m_cls) {
    case DlgItemClass::Button:
        if (auto* gb = qobject_cast<QGroupBox*>(w)) {
            if (message == WM_SETTEXT) { gb->setTitle(FromText(reinterpret_cast<const char*>(lParam))); return TRUE; }
            if (message == WM_GETTEXT) return CopyText(gb->title(), wParam, lParam);
            if (message == WM_GETTEXTLENGTH) return gb->title().toUtf8().size();
            return 0;
        } else {
            auto* pb = static_cast<QPushButton*>(w);
            if (message == WM_SETTEXT) { pb->setText(FromText(reinterpret_cast<const char*>(lParam))); return TRUE; }
            if (message == WM_GETTEXT) return CopyText(pb->text(), wParam, lParam);
            if (message == WM_GETTEXTLENGTH) return pb->text().toUtf8().size();
            return 0;
        }
    case DlgItemClass::Edit: {
        auto* e = static_cast<QLineEdit*>(w);
        switch (message) {
        case WM_SETTEXT: e->setText(FromText(reinterpret_cast<const char*>(lParam))); return TRUE;
        case WM_GETTEXT: return CopyText(e->text(), wParam, lParam);
        case WM_GETTEXTLENGTH: return e->text().toUtf8().size();
        case EM_LIMITTEXT: e->setMaxLength(wParam == 0 ? 32767 : static_cast<int>(wParam)); return 0;
        default: return 0;
        }
    }
    case DlgItemClass::Static: {
        auto* l = static_cast<QLabel*>(w);
        switch (message) {
        case WM_SETTEXT: {
            QString t = FromText(reinterpret_cast<const char*>(lParam));
            l->setProperty("qbxText", t);
            l->setText(m_prefix && !l->buddy() ? StripMnemonic(t) : t);
            return TRUE;
        }
        case WM_GETTEXT: return CopyText(l->property("qbxText").toString(), wParam, lParam);
        case WM_GETTEXTLENGTH: return l->property("qbxText").toString().toUtf8().size();
        case STM_SETICON: {
            UINT old = m_icon;
            m_icon = static_cast<UINT>(wParam);
            if (m_icon == 0) {
                l->clear();
            } else {
                // An icon static takes the size of its icon, whatever the template says.
                QPixmap pm = IconPixmap(m_icon, 32);
                l->setPixmap(pm);
                if (!pm.isNull()) l->resize(pm.size().expandedTo(l->size()));
            }
            return old;
        }
        case STM_GETICON: return m_icon;
        default: return 0;
        }
    }
    case DlgItemClass::ListBox: {
        auto* lb = static_cast<QListWidget*>(w);
        QSignalBlocker block(lb);  // the program's own changes notify nobody
        int count = lb->count();
        switch (message) {
        case LB_ADDSTRING: {
            auto* item = new QListWidgetItem(FromText(reinterpret_cast<const char*>(lParam)));
            item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(0));
            lb->addItem(item);
            return lb->count() - 1;
        }
        case LB_RESETCONTENT: lb->clear(); return 0;
        case LB_GETCOUNT: return count;
        case LB_GETSELCOUNT: return static_cast<LRESULT>(lb->selectedItems().size());
        case LB_GETSEL: {
            int i = static_cast<int>(wParam);
            if (i < 0 || i >= count) return LB_ERR;
            return lb->item(i)->isSelected() ? 1 : 0;
        }
        case LB_SETSEL: {
            int i = static_cast<int>(lParam);
            bool sel = wParam != 0;
            if (i == -1) {
                for (int k = 0; k < count; ++k) lb->item(k)->setSelected(sel);
                return 0;
            }
            if (i < 0 || i >= count) return LB_ERR;
            lb->item(i)->setSelected(sel);
            return 0;
        }
        case LB_GETITEMDATA: {
            int i = static_cast<int>(wParam);
            if (i < 0 || i >= count) return LB_ERR;
            return static_cast<LRESULT>(lb->item(i)->data(Qt::UserRole).toLongLong());
        }
        case LB_SETITEMDATA: {
            int i = static_cast<int>(wParam);
            if (i < 0 || i >= count) return LB_ERR;
            lb->item(i)->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(lParam));
            return 0;
        }
        case LB_GETTEXT: {
            int i = static_cast<int>(wParam & 0xFFFFFFFFu);
            WPARAM size = wParam >> 32;
            if (i < 0 || i >= count) return LB_ERR;
            return CopyText(lb->item(i)->text(), size == 0 ? 256 : size, lParam);
        }
        case LB_SETTABSTOPS: {
            int du = 32;
            if (wParam >= 1 && lParam) du = *reinterpret_cast<const int*>(lParam);
            if (m_delegate) m_delegate->tabPixels = std::max(1, static_cast<int>(std::lround(du * QtBaseUnitX() / 4.0)));
            lb->viewport()->update();
            return TRUE;
        }
        default: return 0;
        }
    }
    case DlgItemClass::ComboBox: {
        auto* cb = static_cast<QComboBox*>(w);
        QSignalBlocker block(cb);
        int count = cb->count();
        switch (message) {
        case CB_ADDSTRING:
            cb->addItem(FromText(reinterpret_cast<const char*>(lParam)), QVariant::fromValue<qlonglong>(0));
            if (cb->count() == 1) cb->setCurrentIndex(-1);  // adding selects nothing
            return cb->count() - 1;
        case CB_RESETCONTENT: cb->clear(); return 0;
        case CB_GETCOUNT: return count;
        case CB_GETCURSEL: return cb->currentIndex() < 0 ? CB_ERR : cb->currentIndex();
        case CB_SETCURSEL: {
            int i = static_cast<int>(wParam);
            if (i < 0 || i >= count) { cb->setCurrentIndex(-1); return CB_ERR; }
            cb->setCurrentIndex(i);
            return i;
        }
        case CB_GETITEMDATA: {
            int i = static_cast<int>(wParam);
            if (i < 0 || i >= count) return CB_ERR;
            return static_cast<LRESULT>(cb->itemData(i).toLongLong());
        }
        case CB_SETITEMDATA: {
            int i = static_cast<int>(wParam);
            if (i < 0 || i >= count) return CB_ERR;
            cb->setItemData(i, QVariant::fromValue<qlonglong>(lParam));
            return 0;
        }
        case CB_GETLBTEXT: {
            int i = static_cast<int>(wParam & 0xFFFFFFFFu);
            WPARAM size = wParam >> 32;
            if (i < 0 || i >= count) return CB_ERR;
            return CopyText(cb->itemText(i), size == 0 ? 256 : size, lParam);
        }
        default: return 0;
        }
    }
    case DlgItemClass::Progress: {
        auto* pb = static_cast<QProgressBar*>(w);
        if (message == PBM_SETPOS) {
            int old = pb->value();
            int v = static_cast<int>(static_cast<std::intptr_t>(wParam));
            pb->setValue(std::clamp(v, pb->minimum(), pb->maximum()));
            return old;
        }
        if (message == PBM_GETPOS) return pb->value();
        return 0;
    }
    }
    return 0;
}

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

int ScaleX(int du) { return static_cast<int>(std::lround(du * QtBaseUnitX() / 4.0)); }
int ScaleY(int du) { return static_cast<int>(std::lround(du * QtBaseUnitY() / 8.0)); }

bool Focusable(const DlgItemTemplate& it)
{
    return it.cls == DlgItemClass::Edit || it.cls == DlgItemClass::ListBox || it.cls == DlgItemClass::ComboBox ||
           (it.cls == DlgItemClass::Button && (it.style & 0x0F) != BS_GROUPBOX);
}

}  // namespace

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
    static int bx = [] { int x, y; ComputeBaseUnits(&x, &y); return x; }();
    return bx;
}

int QtBaseUnitY()
{
    static int by = [] { int x, y; ComputeBaseUnits(&x, &y); return y; }();
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

IWindowImpl* QtWindowSystem::CreateDialogWindow(HWND dialog, const DlgTemplate& tmpl, HWND owner, bool modal,
                                                std::vector<ControlHandle>& controls)
{
    (void)owner;
    auto* impl = new QtWidgetImpl(nullptr, DlgItemClass::Static, true, dialog);
    auto* dlg = new QbxDialog(dialog, impl->m_alive);
    impl->m_w = dlg;
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

    std::vector<QWidget*> widgets(controls.size(), nullptr);
    std::vector<QWidget*> groupBoxes;
    for (auto& ch : controls) {
        const DlgItemTemplate& it = tmpl.items[ch.index];
        QWidget* w = nullptr;
        HWND h = ch.hwnd;
        int id = it.id;
        auto alive = impl->m_alive;
        auto notify = [dialog, id, h, alive](UINT code) {
            if (*alive) ::SendMessage(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)), static_cast<LPARAM>(h));
        };
        QString text = FromText(it.text);
        auto ctl = std::make_unique<QtWidgetImpl>(nullptr, it.cls, false, h);
        switch (it.cls) {
        case DlgItemClass::Button:
            if ((it.style & 0x0F) == BS_GROUPBOX) {
                auto* gb = new QGroupBox(text, dlg);
                gb->setAttribute(Qt::WA_TransparentForMouseEvents);
                groupBoxes.push_back(gb);
                w = gb;
            } else {
                auto* pb = new QPushButton(text, dlg);
                pb->setAutoDefault(true);
                if ((it.style & 0x0F) == BS_DEFPUSHBUTTON) {
                    bool haveDefault = false;
                    for (QPushButton* other : dlg->findChildren<QPushButton*>())
                        if (other != pb && other->isDefault()) haveDefault = true;
                    if (!haveDefault) pb->setDefault(true);
                }
                QObject::connect(pb, &QPushButton::clicked, pb, [notify] { notify(BN_CLICKED); });
                w = pb;
            }
            break;
        case DlgItemClass::Edit: {
            auto* e = new QLineEdit(dlg);
            e->setMaxLength(32767);
            QObject::connect(e, &QLineEdit::textChanged, e, [notify] { notify(EN_CHANGE); });
            w = e;
            break;
        }
        case DlgItemClass::Static: {
            auto* l = new QLabel(dlg);
            l->setTextFormat(Qt::PlainText);
            l->setProperty("qbxText", text);
            DWORD ss = it.style & 0x1F;
            if (ss == SS_ICON) {
                l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            } else {
                l->setAlignment(((ss == SS_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
                l->setWordWrap(ss != SS_LEFTNOWORDWRAP && it.cy > 10);
            }
            ctl->m_prefix = !(it.style & SS_NOPREFIX);
            l->setAttribute(Qt::WA_TransparentForMouseEvents);
            w = l;
            break;
        }
        case DlgItemClass::ListBox: {
            auto* lb = new QListWidget(dlg);
            lb->setSelectionMode((it.style & LBS_MULTIPLESEL) ? QAbstractItemView::MultiSelection
                                                               : QAbstractItemView::SingleSelection);
            lb->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            lb->setVerticalScrollBarPolicy((it.style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
            lb->setUniformItemSizes(true);
            auto* del = new TabStopDelegate(lb);
            del->tabPixels = ScaleX(32);
            lb->setItemDelegate(del);
            ctl->m_delegate = del;
            if (it.style & LBS_NOTIFY)
                QObject::connect(lb, &QListWidget::itemSelectionChanged, lb, [notify] { notify(LBN_SELCHANGE); });
            w = lb;
            break;
        }
        case DlgItemClass::ComboBox: {
            auto* cb = new QComboBox(dlg);
            cb->setEditable(false);
            QObject::connect(cb, QOverload<int>::of(&QComboBox::activated), cb, [notify] { notify(CBN_SELCHANGE); });
            w = cb;
            break;
        }
        case DlgItemClass::Progress: {
            auto* pb = new QProgressBar(dlg);
            pb->setRange(0, 100);
            pb->setValue(0);
            pb->setTextVisible(false);
            w = pb;
            break;
        }
        }
        w->setFont(QtDialogFont());
        int x = ScaleX(it.x), y = ScaleY(it.y), cx = ScaleX(it.cx), cy = ScaleY(it.cy);
        if (it.cls == DlgItemClass::ComboBox) cy = std::max(w->sizeHint().height(), ScaleY(12));
        w->setGeometry(x, y, cx, cy);
        if (it.style & WS_DISABLED) w->setEnabled(false);
        if (it.cls != DlgItemClass::Static && !(it.cls == DlgItemClass::Button && (it.style & 0x0F) == BS_GROUPBOX))
            w->setFocusPolicy((it.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
        w->setProperty("qbxHwnd", QVariant::fromValue<qulonglong>(h));
        ctl->m_w = w;
        ch.impl = ctl.get();
        widgets[&ch - &controls[0]] = w;
        impl->m_controls.push_back(std::move(ctl));
    }
    // A label's mnemonic moves the focus to the next control that can take it.
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
        l->setText(l->buddy() ? text : StripMnemonic(text));
    }
    for (QWidget* gb : groupBoxes) gb->lower();
    // Tab order is the template's order.
    QWidget* prev = nullptr;
    for (QWidget* w : widgets) {
        if (w->focusPolicy() == Qt::NoFocus) continue;
        if (prev) QWidget::setTabOrder(prev, w);
        prev = w;
    }
    DialogHandles()[dlg] = dialog;
    HandleWidgets()[dialog] = dlg;
    return impl;
}

void QtWindowSystem::SetApplicationIcon(UINT iconId)
{
    QIcon icon;
    QPixmap big = IconPixmap(iconId, 32);
    QPixmap small = IconPixmap(iconId, 16);
    if (!big.isNull()) icon.addPixmap(big);
    if (!small.isNull()) icon.addPixmap(small);
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
}
