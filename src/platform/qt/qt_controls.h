// The Qt side of a dialog's windows, shared by the window system (qt_windows.cpp) and
// the controls (qt_controls.cpp): what every dialog and control kind has in common, the
// controls' factory, and the text and icon helpers both use. Private to platform/qt/.
#pragma once

#include "platform/resources.h"
#include "platform/wnd.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QDialog;
class QPixmap;

namespace qtwin {

QString FromText(const char* s);
// Copies text into a caller's buffer of size bytes (at most size-1 bytes and a NUL).
LRESULT CopyText(const QString& text, WPARAM size, LPARAM buffer);
// "&&" stands for one "&", a single "&" marks the mnemonic and is not shown.
QString StripMnemonic(const QString& s);
// The image of an icon resource at the wanted size (the nearest one it holds).
QPixmap IconPixmap(UINT id, int size);

// Dialog units to pixels, from the dialog font's base units.
int ScaleX(int du);
int ScaleY(int du);
// Whether a control of this template line takes the focus from the keyboard.
bool Focusable(const DlgItemTemplate& it);
bool IsGroupBox(const DlgItemTemplate& it);

class QtWidgetImpl : public IWindowImpl {
public:
    QtWidgetImpl(HWND hwnd, bool isDialog) : m_isDialog(isDialog), m_hwnd(hwnd) {}

    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) final { return m_w ? Handle(message, wParam, lParam) : 0; }
    void Enable(bool enable) override
    {
        if (m_w) m_w->setEnabled(enable);
    }
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
    bool m_isDialog;
    HWND m_hwnd;
    std::vector<std::unique_ptr<QtWidgetImpl>> m_controls;  // a dialog's controls
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

protected:
    // One message to the widget, which still exists; 0 for a message the kind does not know.
    virtual LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

// WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH on the text that get and set reach;
// 0 for any other message.
template <class Get, class Set>
LRESULT TextMessage(UINT message, WPARAM wParam, LPARAM lParam, Get get, Set set)
{
    switch (message) {
    case WM_SETTEXT: set(FromText(reinterpret_cast<const char*>(lParam))); return TRUE;
    case WM_GETTEXT: return CopyText(get(), wParam, lParam);
    case WM_GETTEXTLENGTH: return get().toUtf8().size();
    default: return 0;
    }
}

// What a control is made from: its template line, its dialog and how it reports.
struct ControlDesc {
    const DlgItemTemplate& item;
    QDialog* dialog;
    HWND hwnd;
    QString text;
    std::function<void(UINT)> notify;  // a notification code to the dialog as WM_COMMAND
};

// The control a template line describes, its widget made a child of the dialog.
std::unique_ptr<QtWidgetImpl> MakeControl(const ControlDesc& desc);
// Puts the control where its template line says, in dialog units, with its
// enabled state and how it takes the focus.
void PlaceControl(QWidget* w, const DlgItemTemplate& it, HWND h);

}  // namespace qtwin
