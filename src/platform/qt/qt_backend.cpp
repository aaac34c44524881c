#include "platform/qt/qt_backend.h"

#include "platform/dialog.h"
#include "platform/qt/qt_windows.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>

#include <poll.h>

QtEventBackend::QtEventBackend()
{
    m_dispatcher = QAbstractEventDispatcher::instance();
    m_wakeTimer.setSingleShot(true);
    m_wakeTimer.setTimerType(Qt::PreciseTimer);
}

QtEventBackend::~QtEventBackend()
{
    if (m_blocking && qApp) qApp->removeEventFilter(this);
}

void QtEventBackend::DispatchWaiting(bool deferredDeletes)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Windows marked for deletion are freed only here, in the outermost loop, never
    // while a handler of theirs may still be on the stack.
    if (deferredDeletes) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void QtEventBackend::WaitAndDispatch(int timeoutMs)
{
    if (timeoutMs > 0) m_wakeTimer.start(timeoutMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    m_wakeTimer.stop();
}

void QtEventBackend::Wake()
{
    if (m_dispatcher) m_dispatcher->wakeUp();
}

int QtEventBackend::WaitForSocketOrWake(SocketHandle socket, bool forWrite, int timeoutMs)
{
    // On Linux the socket is a descriptor.
    const int fd = socket == kNoSocketHandle ? -1 : static_cast<int>(socket);
    pollfd p{fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    if (fd >= 0 && ::poll(&p, 1, 0) > 0) return 1;

    // User input waits until the call is over; repaints go on.
    BeginBlockingCall();
    bool ready = false;
    std::unique_ptr<QSocketNotifier> notifier;
    if (fd >= 0) {
        notifier = std::make_unique<QSocketNotifier>(fd, forWrite ? QSocketNotifier::Write : QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [&ready] { ready = true; });
    }
    if (timeoutMs != 0)
        WaitAndDispatch(timeoutMs);
    else
        DispatchWaiting(false);
    notifier.reset();
    EndBlockingCall();
    if (!ready && fd >= 0 && ::poll(&p, 1, 0) > 0) ready = true;
    return ready ? 1 : 0;
}

void QtEventBackend::BeginBlockingCall()
{
    if (m_blockingDepth++ == 0) {
        m_blocking = true;
        qApp->installEventFilter(this);
    }
}

void QtEventBackend::EndBlockingCall()
{
    if (m_blockingDepth == 0) return;
    if (--m_blockingDepth == 0) {
        qApp->removeEventFilter(this);
        m_blocking = false;
        ReleaseHeldInput();
    }
}

static bool IsUserInput(QEvent* e)
{
    switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: return true;
    default: return false;
    }
}

// The top-level widget an input event is for. On a real display (xcb) keys and the
// caption's close box reach the application through the widget's top-level QWindow
// first, before any widget sees them; offscreen tests deliver them to widgets.
static QWidget* TopLevelOf(QObject* watched)
{
    if (QWidget* w = qobject_cast<QWidget*>(watched)) return w->window();
    if (QWindow* window = qobject_cast<QWindow*>(watched)) {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->windowHandle() == window) return top;
    }
    return nullptr;
}

bool QtEventBackend::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_blocking) return false;
    QEvent::Type t = event->type();
    if (t == QEvent::MouseMove || t == QEvent::HoverMove) return true;  // not worth keeping
    bool closeBox = t == QEvent::Close && event->spontaneous();
    if (!closeBox && !IsUserInput(event)) return false;

    // Esc or the close box of a dialog that registered a close request: post it now, so
    // the waiting call ends at once. The same key reaches the filter once for the window
    // and, when let through, again for the widget: it is taken at the first.
    const bool escKey = (t == QEvent::KeyPress || t == QEvent::KeyRelease || t == QEvent::ShortcutOverride) &&
                        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
    if (escKey || closeBox) {
        QWidget* top = TopLevelOf(watched);
        HWND dialog = top ? QtDialogHandleOf(top) : 0;
        MSG request;
        if (dialog && PlatformGetBlockingCloseRequest(dialog, &request)) {
            if (t == QEvent::KeyPress || closeBox)
                PostMessage(request.hwnd, request.message, request.wParam, request.lParam);
            if (closeBox) event->ignore();
            return true;
        }
    }
    // Everything else is kept and delivered, in order, when the call is over: a close
    // box of another window too (closing it is the user's wish, only later).
    if (closeBox) event->ignore();
    m_held.push_back(Held{QPointer<QObject>(watched), std::unique_ptr<QEvent>(event->clone())});
    return true;
}

void QtEventBackend::ReleaseHeldInput()
{
    std::vector<Held> held;
    held.swap(m_held);
    for (auto& h : held)
        if (h.receiver) QCoreApplication::postEvent(h.receiver, h.event.release());
    if (!held.empty()) NoteInputReleased();
    if (!held.empty() && m_dispatcher) m_dispatcher->wakeUp();
}
