// User input on the Qt back end.
#include "user_input.h"

#include "platform/qt/qt_windows.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>
#include <QVariant>

#include <gtest/gtest.h>

QWidget* ControlWidget(CWnd* dlg, int id)
{
    if (!dlg || !dlg->m_hWnd) return nullptr;
    QWidget* top = QtWidgetOfHandle(dlg->m_hWnd);
    CWnd* item = dlg->GetDlgItem(id);
    if (!top || !item) return nullptr;
    for (QWidget* w : top->findChildren<QWidget*>())
        if (w->property("qbxHwnd").toULongLong() == item->m_hWnd) return w;
    return nullptr;
}

namespace {

Qt::Key QtKey(UserKey key)
{
    switch (key) {
    case UserKey::Return: return Qt::Key_Return;
    case UserKey::Escape: return Qt::Key_Escape;
    case UserKey::End: return Qt::Key_End;
    case UserKey::Backspace: return Qt::Key_Backspace;
    case UserKey::Down: return Qt::Key_Down;
    case UserKey::Space: return Qt::Key_Space;
    }
    return Qt::Key_unknown;
}

}  // namespace

void ClickButton(CWnd* dlg, int id)
{
    auto* b = qobject_cast<QPushButton*>(ControlWidget(dlg, id));
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
}

void ClickLine(CWnd* dlg, int id, int row)
{
    auto* lb = qobject_cast<QListWidget*>(ControlWidget(dlg, id));
    ASSERT_NE(lb, nullptr);
    QTest::mouseClick(lb->viewport(), Qt::LeftButton, Qt::NoModifier, lb->visualItemRect(lb->item(row)).center());
}

void PressKey(CWnd* dlg, int id, UserKey key)
{
    QWidget* w = ControlWidget(dlg, id);
    ASSERT_NE(w, nullptr);
    w->setFocus();
    QTest::keyClick(w, QtKey(key));
}

void TypeText(CWnd* dlg, int id, const char* text)
{
    QWidget* w = ControlWidget(dlg, id);
    ASSERT_NE(w, nullptr);
    w->setFocus();
    QTest::keyClicks(w, text);
}

void PressAltLetter(CWnd* dlg, char letter)
{
    QWidget* top = QtWidgetOfHandle(dlg->m_hWnd);
    ASSERT_NE(top, nullptr);
    QWidget* target = top->focusWidget() ? top->focusWidget() : top;
    QTest::keyClick(target, static_cast<Qt::Key>(Qt::Key_A + (letter | 0x20) - 'a'), Qt::AltModifier);
}

void PressCloseBox(CWnd* dlg)
{
    QWidget* top = QtWidgetOfHandle(dlg->m_hWnd);
    ASSERT_NE(top, nullptr);
    top->close();
}

void QueueKey(CWnd* dlg, int id, UserKey key)
{
    QWidget* w = ControlWidget(dlg, id);
    ASSERT_NE(w, nullptr);
    w->setFocus();
    const QString text = key == UserKey::Space ? QStringLiteral(" ") : QString();
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyPress, QtKey(key), Qt::NoModifier, text));
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyRelease, QtKey(key), Qt::NoModifier, text));
}

void QueueCloseBox(CWnd* dlg)
{
    QWidget* top = QtWidgetOfHandle(dlg->m_hWnd);
    ASSERT_NE(top, nullptr);
    ASSERT_NE(top->windowHandle(), nullptr);
    // As the window system sends it: a spontaneous close of the top-level window.
    QWindowSystemInterface::handleCloseEvent(top->windowHandle());
}

bool ActivateAndWait(CWnd* dlg)
{
    QWidget* top = QtWidgetOfHandle(dlg->m_hWnd);
    if (!top) return false;
    top->activateWindow();
    return QTest::qWaitForWindowActive(top);
}

void LetInputArrive() { QTest::qWait(10); }

std::string ShownText(CWnd* dlg, int id)
{
    QWidget* w = ControlWidget(dlg, id);
    if (!w) return {};
    QVariant text = w->property("text");
    return text.toString().toStdString();
}

WindowWatch::WindowWatch(CWnd* dlg, int controlId)
{
    QPointer<QWidget> w = controlId ? ControlWidget(dlg, controlId) : QtWidgetOfHandle(dlg->m_hWnd);
    m_found = !w.isNull();
    m_freed = [w] { return w.isNull(); };
    m_shown = [w] { return !w.isNull() && w->isVisible(); };
}
