// The seven control kinds of a dialog on Qt widgets: group box, push button, edit, static
// (text or icon), list box, combo box and progress bar. Each answers its own messages.
#include "platform/qt/qt_controls.h"

#include "platform/qt/qt_windows.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace qtwin {

QString FromText(const char* s) { return QString::fromUtf8(s ? s : ""); }

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

QString StripMnemonic(const QString& s)
{
    QString r;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('&')) {
            if (i + 1 < s.size() && s[i + 1] == QLatin1Char('&')) {
                r += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        r += s[i];
    }
    return r;
}

namespace {

std::map<UINT, QPixmap>& IconCache()
{
    static std::map<UINT, QPixmap> map;
    return map;
}

}  // namespace

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
            // The exact size, else the nearest larger one (shrinking keeps it sharp),
            // else the largest there is.
            const int diff = img.width() >= size ? img.width() - size : (size - img.width()) * 1000;
            if (diff < bestDiff) {
                bestDiff = diff;
                best = QPixmap::fromImage(img);
            }
        }
    }
    IconCache()[key] = best;
    return best;
}

namespace {

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

// An item index in wParam, as the list and combo box messages carry it; -1 when it
// names no item of count.
int ItemIndex(WPARAM wParam, int count)
{
    const int i = static_cast<int>(wParam);
    return i >= 0 && i < count ? i : -1;
}

// LB_GETTEXT and CB_GETLBTEXT carry the index in the low half of wParam and the
// buffer's size in the high half (0: the framework's 256).
void SplitTextRequest(WPARAM wParam, int& index, WPARAM& size)
{
    index = static_cast<int>(wParam & 0xFFFFFFFFu);
    size = wParam >> 32;
    if (size == 0) size = 256;
}

class QtGroupBoxImpl final : public QtWidgetImpl {
public:
    explicit QtGroupBoxImpl(const ControlDesc& desc) : QtWidgetImpl(desc.hwnd, false)
    {
        m_box = new QGroupBox(desc.text, desc.dialog);
        m_box->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_w = m_box;
    }

protected:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        QGroupBox* gb = m_box;
        return TextMessage(
            message, wParam, lParam, [gb] { return gb->title(); }, [gb](const QString& t) { gb->setTitle(t); });
    }

private:
    QGroupBox* m_box;
};

class QtPushButtonImpl final : public QtWidgetImpl {
public:
    explicit QtPushButtonImpl(const ControlDesc& desc) : QtWidgetImpl(desc.hwnd, false)
    {
        auto* pb = new QPushButton(desc.text, desc.dialog);
        pb->setAutoDefault(true);
        if ((desc.item.style & 0x0F) == BS_DEFPUSHBUTTON) {
            bool haveDefault = false;
            for (QPushButton* other : desc.dialog->findChildren<QPushButton*>())
                if (other != pb && other->isDefault()) haveDefault = true;
            if (!haveDefault) pb->setDefault(true);
        }
        auto notify = desc.notify;
        QObject::connect(pb, &QPushButton::clicked, pb, [notify] { notify(BN_CLICKED); });
        m_button = pb;
        m_w = pb;
    }

protected:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        QPushButton* pb = m_button;
        return TextMessage(
            message, wParam, lParam, [pb] { return pb->text(); }, [pb](const QString& t) { pb->setText(t); });
    }

private:
    QPushButton* m_button;
};

class QtEditImpl final : public QtWidgetImpl {
public:
    explicit QtEditImpl(const ControlDesc& desc) : QtWidgetImpl(desc.hwnd, false)
    {
        m_edit = new QLineEdit(desc.dialog);
        m_edit->setMaxLength(kLimit);
        auto notify = desc.notify;
        QObject::connect(m_edit, &QLineEdit::textChanged, m_edit, [notify] { notify(EN_CHANGE); });
        m_w = m_edit;
    }

protected:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        QLineEdit* e = m_edit;
        if (message == EM_LIMITTEXT) {
            e->setMaxLength(wParam == 0 ? kLimit : static_cast<int>(wParam));
            return 0;
        }
        return TextMessage(
            message, wParam, lParam, [e] { return e->text(); }, [e](const QString& t) { e->setText(t); });
    }

private:
    static constexpr int kLimit = 32767;  // the window system's limit of an edit field
    QLineEdit* m_edit;
};

class QtStaticImpl final : public QtWidgetImpl {
public:
    explicit QtStaticImpl(const ControlDesc& desc) : QtWidgetImpl(desc.hwnd, false)
    {
        auto* l = new QLabel(desc.dialog);
        l->setTextFormat(Qt::PlainText);
        l->setProperty("qbxText", desc.text);
        const DWORD ss = desc.item.style & 0x1F;
        if (ss == SS_ICON) {
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        } else {
            l->setAlignment(((ss == SS_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
            l->setWordWrap(ss != SS_LEFTNOWORDWRAP && desc.item.cy > 10);
        }
        m_prefix = !(desc.item.style & SS_NOPREFIX);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_label = l;
        m_w = l;
    }

protected:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == STM_SETICON) return SetIcon(static_cast<UINT>(wParam));
        if (message == STM_GETICON) return m_icon;
        // The text as set is kept beside the label, which shows it without its mnemonic.
        QLabel* l = m_label;
        const bool prefix = m_prefix;
        return TextMessage(
            message, wParam, lParam, [l] { return l->property("qbxText").toString(); },
            [l, prefix](const QString& t) {
                l->setProperty("qbxText", t);
                l->setText(prefix && !l->buddy() ? StripMnemonic(t) : t);
            });
    }

private:
    UINT SetIcon(UINT icon)
    {
        const UINT old = m_icon;
        m_icon = icon;
        if (m_icon == 0) {
            m_label->clear();
        } else {
            // A 32-pixel icon drawn from the image made for the screen's scale (48 at
            // 1.5, 64 at 2), not a small one blown up. An icon static takes the size of
            // its icon, whatever the template says.
            const qreal scale = m_label->devicePixelRatioF();
            const int pixels = static_cast<int>(std::lround(32 * scale));
            QPixmap pm = IconPixmap(m_icon, pixels);
            if (!pm.isNull() && pm.width() != pixels)
                pm = pm.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            pm.setDevicePixelRatio(scale);
            m_label->setPixmap(pm);
            if (!pm.isNull()) m_label->resize(pm.deviceIndependentSize().toSize().expandedTo(m_label->size()));
        }
        return old;
    }

    QLabel* m_label;
    UINT m_icon = 0;
    bool m_prefix = true;
};

class QtListBoxImpl final : public QtWidgetImpl {
public:
    explicit QtListBoxImpl(const ControlDesc& desc) : QtWidgetImpl(desc.hwnd, false)
    {
        const DWORD style = desc.item.style;
        auto* lb = new QListWidget(desc.dialog);
        lb->setSelectionMode((style & LBS_MULTIPLESEL) ? QAbstractItemView::MultiSelection
                                                       : QAbstractItemView::SingleSelection);
        lb->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        lb->setVerticalScrollBarPolicy((style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        lb->setUniformItemSizes(true);
        m_delegate = new TabStopDelegate(lb);
        m_delegate->tabPixels = ScaleX(32);
        lb->setItemDelegate(m_delegate);
        if (style & LBS_NOTIFY) {
            auto notify = desc.notify;
            QObject::connect(lb, &QListWidget::itemSelectionChanged, lb, [notify] { notify(LBN_SELCHANGE); });
            QObject::connect(lb, &QListWidget::itemDoubleClicked, lb, [notify] { notify(LBN_DBLCLK); });
        }
        m_list = lb;
        m_w = lb;
    }

protected:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        QListWidget* lb = m_list;
        QSignalBlocker block(lb);  // the program's own changes notify nobody
        const int count = lb->count();
        switch (message) {
        case LB_ADDSTRING: {
            auto* item = new QListWidgetItem(FromText(reinterpret_cast<const char*>(lParam)));
            item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(0));
            lb->addItem(item);
            // The keyboard's place starts at the first line, as in the window system's
            // list box: Space there toggles it without an arrow key first.
            if (lb->count() == 1) lb->setCurrentRow(0, QItemSelectionModel::NoUpdate);
            return lb->count() - 1;
        }
        case LB_RESETCONTENT: lb->clear(); return 0;
        case LB_GETCOUNT: return count;
        case LB_GETSELCOUNT: return static_cast<LRESULT>(lb->selectedItems().size());
        case LB_GETSEL: {
            const int i = ItemIndex(wParam, count);
            return i < 0 ? LB_ERR : lb->item(i)->isSelected() ? 1 : 0;
        }
        case LB_SETSEL: return SetSel(static_cast<int>(lParam), wParam != 0);
        case LB_GETCURSEL: {
            const auto selected = lb->selectedItems();
            return selected.isEmpty() ? LB_ERR : static_cast<LRESULT>(lb->row(selected.first()));
        }
        case LB_SETCURSEL: {
            const int i = static_cast<int>(static_cast<std::intptr_t>(wParam));
            if (i < 0 || i >= count) {
                lb->clearSelection();
                return i == -1 ? 0 : LB_ERR;
            }
            lb->setCurrentRow(i);
            lb->item(i)->setSelected(true);
            return i;
        }
        case LB_GETITEMDATA: {
            const int i = ItemIndex(wParam, count);
            return i < 0 ? LB_ERR : static_cast<LRESULT>(lb->item(i)->data(Qt::UserRole).toLongLong());
        }
        case LB_SETITEMDATA: {
            const int i = ItemIndex(wParam, count);
            if (i < 0) return LB_ERR;
            lb->item(i)->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(lParam));
            return 0;
        }
        case LB_GETTEXT: {
            int i;
            WPARAM size;
            SplitTextRequest(wParam, i, size);
            if (i < 0 || i >= count) return LB_ERR;
            return CopyText(lb->item(i)->text(), size, lParam);
        }
        case LB_SETTABSTOPS: return SetTabStops(wParam, lParam);
        default: return 0;
        }
    }

private:
    // Line i, or every line for -1.
    LRESULT SetSel(int i, bool sel)
    {
        const int count = m_list->count();
        if (i == -1) {
            for (int k = 0; k < count; ++k) m_list->item(k)->setSelected(sel);
            return 0;
        }
        if (i < 0 || i >= count) return LB_ERR;
        m_list->item(i)->setSelected(sel);
        return 0;
    }

    LRESULT SetTabStops(WPARAM n, LPARAM stops)
    {
        int du = 32;
        if (n >= 1 && stops) du = *reinterpret_cast<const int*>(stops);
        m_delegate->tabPixels = std::max(1, static_cast<int>(std::lround(du * QtBaseUnitX() / 4.0)));
        m_list->viewport()->update();
        return TRUE;
    }

    QListWidget* m_list;
    TabStopDelegate* m_delegate;
};

class QtComboBoxImpl final : public QtWidgetImpl {
public:
    explicit QtComboBoxImpl(const ControlDesc& desc) : QtWidgetImpl(desc.hwnd, false)
    {
        auto* cb = new QComboBox(desc.dialog);
        cb->setEditable(false);
        auto notify = desc.notify;
        QObject::connect(cb, QOverload<int>::of(&QComboBox::activated), cb, [notify] { notify(CBN_SELCHANGE); });
        m_combo = cb;
        m_w = cb;
    }

protected:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        QComboBox* cb = m_combo;
        QSignalBlocker block(cb);
        const int count = cb->count();
        switch (message) {
        case CB_ADDSTRING:
            cb->addItem(FromText(reinterpret_cast<const char*>(lParam)), QVariant::fromValue<qlonglong>(0));
            if (cb->count() == 1) cb->setCurrentIndex(-1);  // adding selects nothing
            return cb->count() - 1;
        case CB_RESETCONTENT: cb->clear(); return 0;
        case CB_GETCOUNT: return count;
        case CB_GETCURSEL: return cb->currentIndex() < 0 ? CB_ERR : cb->currentIndex();
        case CB_SETCURSEL: {
            const int i = ItemIndex(wParam, count);
            cb->setCurrentIndex(i);
            return i < 0 ? CB_ERR : i;
        }
        case CB_GETITEMDATA: {
            const int i = ItemIndex(wParam, count);
            return i < 0 ? CB_ERR : static_cast<LRESULT>(cb->itemData(i).toLongLong());
        }
        case CB_SETITEMDATA: {
            const int i = ItemIndex(wParam, count);
            if (i < 0) return CB_ERR;
            cb->setItemData(i, QVariant::fromValue<qlonglong>(lParam));
            return 0;
        }
        case CB_GETLBTEXT: {
            int i;
            WPARAM size;
            SplitTextRequest(wParam, i, size);
            if (i < 0 || i >= count) return CB_ERR;
            return CopyText(cb->itemText(i), size, lParam);
        }
        default: return 0;
        }
    }

private:
    QComboBox* m_combo;
};

class QtProgressImpl final : public QtWidgetImpl {
public:
    explicit QtProgressImpl(const ControlDesc& desc) : QtWidgetImpl(desc.hwnd, false)
    {
        m_bar = new QProgressBar(desc.dialog);
        m_bar->setRange(0, 100);
        m_bar->setValue(0);
        m_bar->setTextVisible(false);
        m_w = m_bar;
    }

protected:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM) override
    {
        if (message == PBM_SETPOS) {
            const int old = m_bar->value();
            const int v = static_cast<int>(static_cast<std::intptr_t>(wParam));
            m_bar->setValue(std::clamp(v, m_bar->minimum(), m_bar->maximum()));
            return old;
        }
        if (message == PBM_GETPOS) return m_bar->value();
        return 0;
    }

private:
    QProgressBar* m_bar;
};

}  // namespace

bool IsGroupBox(const DlgItemTemplate& it)
{
    return it.cls == DlgItemClass::Button && (it.style & 0x0F) == BS_GROUPBOX;
}

std::unique_ptr<QtWidgetImpl> MakeControl(const ControlDesc& desc)
{
    switch (desc.item.cls) {
    case DlgItemClass::Button:
        if (IsGroupBox(desc.item)) return std::make_unique<QtGroupBoxImpl>(desc);
        return std::make_unique<QtPushButtonImpl>(desc);
    case DlgItemClass::Edit: return std::make_unique<QtEditImpl>(desc);
    case DlgItemClass::Static: return std::make_unique<QtStaticImpl>(desc);
    case DlgItemClass::ListBox: return std::make_unique<QtListBoxImpl>(desc);
    case DlgItemClass::ComboBox: return std::make_unique<QtComboBoxImpl>(desc);
    case DlgItemClass::Progress: return std::make_unique<QtProgressImpl>(desc);
    }
    return std::make_unique<QtStaticImpl>(desc);
}

// Puts the control where its template line says, in dialog units, with its
// enabled state and how it takes the focus.
void PlaceControl(QWidget* w, const DlgItemTemplate& it, HWND h)
{
    w->setFont(QtDialogFont());
    int cy = ScaleY(it.cy);
    if (it.cls == DlgItemClass::ComboBox) cy = std::max(w->sizeHint().height(), ScaleY(12));
    w->setGeometry(ScaleX(it.x), ScaleY(it.y), ScaleX(it.cx), cy);
    if (it.style & WS_DISABLED) w->setEnabled(false);
    if (it.cls != DlgItemClass::Static && !IsGroupBox(it))
        w->setFocusPolicy((it.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
    w->setProperty("qbxHwnd", QVariant::fromValue<qulonglong>(h));
}

}  // namespace qtwin
