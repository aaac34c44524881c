// Event backend on Qt's event loop (see msgqueue.h for the contract).
#pragma once

#include "platform/msgqueue.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

class QAbstractEventDispatcher;
class QEvent;

class QtEventBackend : public QObject, public IEventBackend {
public:
    QtEventBackend();
    ~QtEventBackend() override;

    void ProcessEvents(bool deferredDeletes) override;
    void WaitForEvents(int timeoutMs) override;
    void Wake() override;
    int WaitForSocket(SocketHandle socket, bool forWrite, int timeoutMs) override;
    void BeginBlockingCall() override;
    void EndBlockingCall() override;

    // True while a blocking socket call holds user input back.
    bool InBlockingCall() const { return m_blocking; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ReleaseHeldInput();

    // Shortest time between two looks at Qt's events from PeekMessage.
    static constexpr std::int64_t kEventSliceMs = 4;
    std::int64_t m_lastEventsMs = 0;
    bool m_bInputReleased = false;  // held input was posted; the next look delivers it
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
