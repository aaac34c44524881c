// Event backend on Qt's event loop (see msgqueue.h and event_backend.h for the contract).
#pragma once

#include "platform/event_backend.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

class QAbstractEventDispatcher;
class QEvent;

class QtEventBackend : public QObject, public EventBackendBase {
public:
    QtEventBackend();
    ~QtEventBackend() override;

    void Wake() override;
    void BeginBlockingCall() override;
    void EndBlockingCall() override;

    // True while a blocking socket call holds user input back.
    bool InBlockingCall() const { return m_blocking; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void DispatchWaiting(bool deferredDeletes) override;
    void WaitAndDispatch(int timeoutMs) override;
    int WaitForSocketOrWake(SocketHandle socket, bool forWrite, int timeoutMs) override;

private:
    void ReleaseHeldInput();

    QAbstractEventDispatcher* m_dispatcher = nullptr;
    QTimer m_wakeTimer;
    bool m_blocking = false;
    int m_blockingDepth = 0;
    struct Held {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };
    std::vector<Held> m_held;
};
