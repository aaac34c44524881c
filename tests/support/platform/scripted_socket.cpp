#include "platform/scripted_socket.h"

#include "platform/clock.h"
#include "platform/msgqueue.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

struct ScriptedSocketScript::State {
    struct Step {
        long result = 0;
        std::string data;
        std::int64_t readyAtMs = 0;
    };
    std::mutex mutex;
    std::deque<long> opens;
    std::deque<Step> connects;
    std::deque<Step> receives;
    std::deque<Step> sends;
    std::string sent;
    int openCount = 0;
    int closeCount = 0;
    std::vector<int> shutdowns;
};

namespace {

using State = ScriptedSocketScript::State;

// Milliseconds until a step is ready: 0 now, -1 when there is no step.
int MsUntil(const std::deque<State::Step>& steps)
{
    if (steps.empty()) return -1;
    std::int64_t d = steps.front().readyAtMs - GetClock()->NowMs();
    if (d <= 0) return 0;
    return static_cast<int>(std::min<std::int64_t>(d, 1000000));
}

class ScriptedSocketIo : public ISocketIo {
public:
    explicit ScriptedSocketIo(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    long Open(int, const SocketAddress&) override
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        ++m_state->openCount;
        if (m_state->opens.empty()) return 0;
        long r = m_state->opens.front();
        m_state->opens.pop_front();
        return r;
    }
    long StartConnect(const SocketAddress&) override
    {
        if (m_connected) return -WSAEISCONN;
        if (m_connecting) return -kSocketAlready;
        m_connecting = true;
        long r = FinishConnect();
        return r;
    }
    long FinishConnect() override
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (MsUntil(m_state->connects) != 0) return -kSocketWouldBlock;
        long r = m_state->connects.front().result;
        m_state->connects.pop_front();
        m_connecting = false;
        if (r == 0) m_connected = true;
        return r;
    }
    long Recv(void* buffer, std::size_t length, int) override
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (MsUntil(m_state->receives) != 0) return -kSocketWouldBlock;
        State::Step& step = m_state->receives.front();
        if (step.result < 0 || step.data.empty()) {
            long r = step.result;
            m_state->receives.pop_front();
            return r;
        }
        std::size_t n = std::min(length, step.data.size());
        std::memcpy(buffer, step.data.data(), n);
        step.data.erase(0, n);
        if (step.data.empty()) m_state->receives.pop_front();
        return static_cast<long>(n);
    }
    long Send(const void* buffer, std::size_t length, int) override
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        std::size_t n = length;
        if (!m_state->sends.empty()) {
            if (MsUntil(m_state->sends) != 0) return -kSocketWouldBlock;
            long r = m_state->sends.front().result;
            m_state->sends.pop_front();
            if (r < 0) return r;
            n = std::min(n, static_cast<std::size_t>(r));
        }
        m_state->sent.append(static_cast<const char*>(buffer), n);
        return static_cast<long>(n);
    }
    long Shutdown(int how) override
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->shutdowns.push_back(how);
        return m_connected ? 0 : -WSAENOTCONN;
    }
    void Close() override
    {
        if (m_closed) return;
        m_closed = true;
        std::lock_guard<std::mutex> lock(m_state->mutex);
        ++m_state->closeCount;
    }
    SocketHandle WaitHandle() const override { return kNoSocketHandle; }
    int MsUntilReady(bool forWrite) override
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (forWrite) return m_connecting ? MsUntil(m_state->connects) : MsUntil(m_state->sends);
        return MsUntil(m_state->receives);
    }

private:
    std::shared_ptr<State> m_state;
    bool m_connecting = false;
    bool m_connected = false;
    bool m_closed = false;
};

}  // namespace

ScriptedSocketScript::ScriptedSocketScript() : m_state(std::make_shared<State>()) {}

ScriptedSocketScript::~ScriptedSocketScript() = default;

SocketIoFactory ScriptedSocketScript::Factory()
{
    std::shared_ptr<State> state = m_state;
    return [state]() -> std::unique_ptr<ISocketIo> { return std::make_unique<ScriptedSocketIo>(state); };
}

void ScriptedSocketScript::QueueOpen(long result)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->opens.push_back(result);
}

void ScriptedSocketScript::QueueConnect(long result, std::int64_t readyAtMs)
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->connects.push_back({result, {}, readyAtMs});
    }
    GetEventBackend()->Wake();
}

void ScriptedSocketScript::QueueReceive(const std::string& data, std::int64_t readyAtMs)
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->receives.push_back({0, data, readyAtMs});
    }
    GetEventBackend()->Wake();
}

void ScriptedSocketScript::QueueReceiveError(int err, std::int64_t readyAtMs)
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->receives.push_back({-static_cast<long>(err), {}, readyAtMs});
    }
    GetEventBackend()->Wake();
}

void ScriptedSocketScript::QueueSend(long maxBytesOrNegError, std::int64_t readyAtMs)
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->sends.push_back({maxBytesOrNegError, {}, readyAtMs});
    }
    GetEventBackend()->Wake();
}

std::string ScriptedSocketScript::SentBytes() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->sent;
}

int ScriptedSocketScript::OpenCount() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->openCount;
}

int ScriptedSocketScript::CloseCount() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->closeCount;
}

std::vector<int> ScriptedSocketScript::Shutdowns() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->shutdowns;
}
