// The server: listener, per-connection threads, job handling and the knobs.
#include "printer_sim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <malloc.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <list>
#include <mutex>
#include <thread>

#include "sim_internal.h"

namespace qbxsim {
namespace fs = std::filesystem;
using namespace detail;

namespace {

std::string Printable(std::string_view s, std::size_t max = 120)
{
    std::string out;
    for (char ch : s.substr(0, max)) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c >= 0x7f) {
            char b[8];
            std::snprintf(b, sizeof b, "\\x%02X", c);
            out += b;
        } else
            out += static_cast<char>(c);
    }
    if (s.size() > max) out += "...";
    return out;
}

// Hard limit on connection threads, whatever the knob says.
constexpr int kMaxThreads = 256;

// A buffer that held a long job is given back once the job is done.
constexpr std::size_t kShrinkAbove = 1u << 20;

// Hands freed memory back to the system, so a long job does not leave the process
// large for good.
void ReleaseMemory()
{
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

bool Applies(const Knobs& k, Command::Kind kind)
{
    switch (k.apply_to) {
    case ApplyTo::AllAnswers: return true;
    case ApplyTo::PostScriptAnswers: return kind == Command::PostScript;
    case ApplyTo::UploadAnswers: return kind == Command::Upload;
    }
    return true;
}

}  // namespace

struct PrinterSim::Impl {
    Options opt;

    // Guarded by mu.
    mutable std::mutex mu;
    std::condition_variable knobs_cv;
    Knobs knobs;
    std::uint64_t knobs_gen = 0, knobs_applied = 0;
    bool running = false;
    std::string last_error;
    std::uint16_t port = 0;

    mutable std::mutex jobs_mu;
    mutable std::condition_variable jobs_cv;
    std::vector<RecordedJob> jobs;
    std::size_t jobs_received = 0;
    std::size_t answers_made = 0;
    int record_seq = 0;

    std::mutex log_mu;

    std::atomic<int> accepted{0};
    std::atomic<int> active{0};

    // Owned by the accept thread while running.
    int listen_fd = -1;
    bool listening = false;
    sockaddr_storage bound{};
    socklen_t bound_len = 0;

    int stop_fd = -1;  // eventfd, written once by Stop, never read: wakes every poll
    int wake_fd = -1;  // eventfd: knob changes and finished connections
    fs::path gs_tmp;
    std::thread acceptor;

    struct Conn {
        int id = 0;
        int fd = -1;
        std::thread th;
        std::atomic<bool> done{false};
    };
    std::list<std::unique_ptr<Conn>> conns;  // accept thread only

    void Log(const std::string& line)
    {
        if (!opt.log) return;
        std::lock_guard lk(log_mu);
        opt.log(line);
    }
    void Wake()
    {
        std::uint64_t one = 1;
        [[maybe_unused]] auto r = ::write(wake_fd, &one, sizeof one);
    }
    Knobs CurrentKnobs() const
    {
        std::lock_guard lk(mu);
        return knobs;
    }

    bool OpenSocket(std::string& err);
    void ApplyListenState();
    void AcceptLoop();
    void ReapConnections(bool all);
    void Serve(Conn* c);
    enum class Sent { Ok, Dropped, Reset, Failed };
    // Ok when the connection stays open for the next job.
    Sent HandleJob(int fd, int conn_id, const std::string& job);
    Sent SendAnswer(int fd, Command::Kind kind, const Answer& answer);
    bool WaitWritable(int fd);
    int IdleWaitMs() const;  // the poll time-out of an idle connection (-1: none)
    bool SendAll(int fd, std::string_view data);
    bool SendFileRange(int fd, int file_fd, std::uint64_t offset, std::uint64_t count);
    // An answer with the knobs' extras around it; borrows the texts and the file.
    struct Wire {
        std::string_view head;
        int file_fd = -1;
        std::uint64_t offset = 0, count = 0;
        std::string_view tail;
        std::uint64_t Size() const { return head.size() + count + tail.size(); }
    };
    bool SendRange(int fd, const Wire& wire, std::uint64_t pos, std::uint64_t len);
    void Record(int conn_id, std::string bytes, bool complete);
    // Appends n bytes to the stored file of that name (nothing when there is none).
    void GrowStoredFile(const std::string& name, std::size_t n)
    {
        auto path = ResolveInStore(opt.root, name);
        if (!path) return;
        std::ofstream(*path, std::ios::binary | std::ios::app) << PatternBytes(n, 77);
        Log("grew " + name + " by " + std::to_string(n) + " bytes");
    }
};

bool PrinterSim::Impl::OpenSocket(std::string& err)
{
    int fd = ::socket(bound.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        err = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&bound), bound_len) != 0) {
        err = std::string("bind: ") + std::strerror(errno);
        ::close(fd);
        return false;
    }
    listen_fd = fd;
    listening = false;
    return true;
}

// Brings the socket in line with knobs.refuse. Accept thread (or Start) only.
void PrinterSim::Impl::ApplyListenState()
{
    bool refuse;
    {
        std::lock_guard lk(mu);
        refuse = knobs.refuse;
    }
    if (!refuse && !listening && listen_fd >= 0) {
        if (::listen(listen_fd, 64) == 0) {
            listening = true;
            Log("listening on port " + std::to_string(port));
        } else {
            Log(std::string("listen: ") + std::strerror(errno));
        }
    } else if (refuse && listening) {
        // A listening socket cannot stop listening: replace it by a merely bound
        // one, which answers connection attempts with a reset.
        ::close(listen_fd);
        listen_fd = -1;
        listening = false;
        std::string err;
        if (!OpenSocket(err)) Log("refusing, and could not keep the port bound: " + err);
        Log("refusing connections");
    }
}

void PrinterSim::Impl::Record(int conn_id, std::string bytes, bool complete)
{
    std::string file;
    {
        std::lock_guard lk(jobs_mu);
        int seq = ++record_seq;
        if (!opt.record_dir.empty()) {
            char name[64];
            std::snprintf(name, sizeof name, "job-%04d-conn-%03d%s.bin", seq, conn_id, complete ? "" : "-incomplete");
            file = (opt.record_dir / name).string();
            std::ofstream out(file, std::ios::binary);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            if (!out) file = "(could not write " + file + ")";
        }
        ++jobs_received;
        if (opt.keep_jobs) jobs.push_back({conn_id, std::move(bytes), complete});
    }
    jobs_cv.notify_all();
    if (!file.empty()) Log("recorded " + file);
}

// Waits until fd takes more bytes; false when stopped, on error, or when the client
// took nothing for the idle time.
bool PrinterSim::Impl::WaitWritable(int fd)
{
    pollfd p[2] = {{fd, POLLOUT, 0}, {stop_fd, POLLIN, 0}};
    const int r = ::poll(p, 2, IdleWaitMs());
    if (r < 0 && errno != EINTR) return false;
    if (r == 0) {
        Log("a client took no byte of an answer for " + std::to_string(IdleWaitMs()) + " ms; closing its connection");
        return false;
    }
    return p[1].revents == 0;
}

int PrinterSim::Impl::IdleWaitMs() const
{
    const int idle = CurrentKnobs().idle_timeout_ms;
    return idle > 0 ? idle : -1;
}

bool PrinterSim::Impl::SendAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        ssize_t w = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (w > 0) {
            data.remove_prefix(static_cast<std::size_t>(w));
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitWritable(fd)) return false;
            continue;
        }
        return false;
    }
    return true;
}

// Sends count bytes of file_fd from offset without copying them through user
// space. A file that shrank meanwhile ends the answer early: false.
bool PrinterSim::Impl::SendFileRange(int fd, int file_fd, std::uint64_t offset, std::uint64_t count)
{
    auto off = static_cast<off_t>(offset);
    while (count > 0) {
        // sendfile moves at most about 2 GB per call.
        std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(count, 1u << 30));
        ssize_t w = ::sendfile(fd, file_fd, &off, step);
        if (w > 0) {
            count -= static_cast<std::uint64_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitWritable(fd)) return false;
            continue;
        }
        if (w < 0 && errno == EPIPE) {
            // sendfile has no MSG_NOSIGNAL: the SIGPIPE it raised is blocked in this thread
            // (see Serve); take it off so it stays no one's business.
            sigset_t pipe_only;
            sigemptyset(&pipe_only);
            sigaddset(&pipe_only, SIGPIPE);
            timespec none{};
            ::sigtimedwait(&pipe_only, nullptr, &none);
        }
        return false;  // error, or end of file before count bytes
    }
    return true;
}

// Sends bytes [pos, pos + len) of the answer as it stands on the wire.
bool PrinterSim::Impl::SendRange(int fd, const Wire& wire, std::uint64_t pos, std::uint64_t len)
{
    auto part = [&](std::uint64_t part_size, auto send_part) {
        if (len == 0) return true;
        if (pos >= part_size) {
            pos -= part_size;
            return true;
        }
        std::uint64_t n = std::min(len, part_size - pos);
        if (!send_part(pos, n)) return false;
        pos = 0;
        len -= n;
        return true;
    };
    auto text = [&](std::string_view s) {
        return [&fd, s, this](std::uint64_t at, std::uint64_t n) {
            return SendAll(fd, s.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(n)));
        };
    };
    // Corked, the parts of one range leave as one stream of full segments, so a piece
    // the knobs cut arrives as one piece even when it spans the text and the file.
    int on = 1, off = 0;
    ::setsockopt(fd, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
    bool ok = part(wire.head.size(), text(wire.head)) &&
              part(wire.count, [&](std::uint64_t at,
                                   std::uint64_t n) { return SendFileRange(fd, wire.file_fd, wire.offset + at, n); }) &&
              part(wire.tail.size(), text(wire.tail)) && len == 0;
    ::setsockopt(fd, IPPROTO_TCP, TCP_CORK, &off, sizeof off);
    return ok;
}

PrinterSim::Impl::Sent PrinterSim::Impl::SendAnswer(int fd, Command::Kind kind, const Answer& answer)
{
    Knobs k = CurrentKnobs();
    const Wire plain{answer.head, answer.fd, answer.offset, answer.count, answer.tail};
    if (!Applies(k, kind)) return SendRange(fd, plain, 0, plain.Size()) ? Sent::Ok : Sent::Failed;
    if (k.silent) {
        Log("silent: " + std::to_string(answer.Size()) + " answer bytes withheld");
        return Sent::Ok;
    }
    if (!SleepUnlessStopped(k.answer_delay_ms, stop_fd)) return Sent::Failed;

    // The extras join the texts around the data; the file itself is never copied.
    const std::string head = k.extra_before + answer.head;
    const std::string tail = answer.tail + k.extra_after;
    const Wire wire{head, answer.fd, answer.offset, answer.count, tail};

    std::uint64_t total = wire.Size();
    bool drop = k.drop_after.has_value() && *k.drop_after <= total;
    if (drop) total = *k.drop_after;

    std::vector<std::uint64_t> chunks;
    std::uint64_t left = total;
    int pause = 0;
    if (!k.pieces.empty()) {
        for (std::size_t s : k.pieces) {
            if (left == 0) break;
            std::uint64_t c = std::min<std::uint64_t>(s, left);
            chunks.push_back(c);
            left -= c;
        }
        pause = k.piece_pause_ms;
    } else if (k.trickle_bytes > 0) {
        while (left > 0) {
            std::uint64_t c = std::min<std::uint64_t>(k.trickle_bytes, left);
            chunks.push_back(c);
            left -= c;
        }
        pause = k.trickle_interval_ms;
    }
    if (left > 0) chunks.push_back(left);

    std::uint64_t pos = 0;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        if (i > 0 && !SleepUnlessStopped(pause, stop_fd)) return Sent::Failed;
        if (!SendRange(fd, wire, pos, chunks[i])) return Sent::Failed;
        pos += chunks[i];
    }
    if (drop) {
        Log("dropping the connection after " + std::to_string(total) + " answer bytes");
        if (k.reset_on_drop) {
            linger l{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
            return Sent::Reset;
        }
        return Sent::Dropped;
    }
    return Sent::Ok;
}

PrinterSim::Impl::Sent PrinterSim::Impl::HandleJob(int fd, int conn_id, const std::string& job)
{
    for (const Command& cmd : ParseJob(job)) {
        Answer answer;
        switch (cmd.kind) {
        case Command::Ignored: Log("conn " + std::to_string(conn_id) + ": ignored: " + Printable(cmd.text)); continue;
        case Command::Upload: {
            const Knobs k = CurrentKnobs();
            if (k.grow_before_upload > 0) GrowStoredFile(cmd.name, k.grow_before_upload);
            Command asked = cmd;
            if (!k.upload_other_file.empty()) asked.name = k.upload_other_file;
            answer = k.upload_file_error ? FileErrorAnswer(cmd) : UploadAnswer(opt.root, asked, k.before_form_feed);
            answer.head = QuirkUploadHead(k.quirks, std::move(answer.head));
            Log("conn " + std::to_string(conn_id) + ": FSUPLOAD " + cmd.name + " -> " +
                Printable(answer.head.substr(0, answer.head.find('\n')), 200));
            break;
        }
        case Command::PostScript: {
            Log("conn " + std::to_string(conn_id) + ": PostScript: " + Printable(cmd.text, 200));
            const unsigned quirks = CurrentKnobs().quirks;
            if (auto refused = QuirkRefusal(quirks, cmd.text)) {
                Log("conn " + std::to_string(conn_id) + ": file access is off: " + Printable(*refused, 200));
                answer = Answer(std::move(*refused));
                break;
            }
            const StatusTicker ticker(quirks, fd);
            GsResult r = RunGhostscript(opt.gs_path, opt.root, gs_tmp, cmd.text, opt.gs_timeout_ms, stop_fd);
            if (r.stopped) return Sent::Failed;
            if (!r.spawn_error.empty()) Log("cannot run Ghostscript: " + r.spawn_error);
            if (r.timed_out) Log("Ghostscript killed after " + std::to_string(opt.gs_timeout_ms) + " ms");
            if (!r.err.empty())
                Log("Ghostscript stderr: " + Printable(r.err, 300) +
                    (r.err_dropped ? " (" + std::to_string(r.err_dropped) + " more bytes not kept)" : ""));
            Log("conn " + std::to_string(conn_id) + ": gs exit " + std::to_string(r.status) + ", " +
                std::to_string(r.out.size()) + " bytes: " + Printable(r.out, 200));
            answer = Answer(QuirkPostScriptOutput(quirks, std::move(r.out)));
            break;
        }
        }
        {
            std::lock_guard lk(jobs_mu);
            ++answers_made;
        }
        jobs_cv.notify_all();
        Sent s = SendAnswer(fd, cmd.kind, answer);
        if (s != Sent::Ok) return s;
    }
    return Sent::Ok;
}

void PrinterSim::Impl::Serve(Conn* c)
{
    // A client that goes away mid-answer must not kill the process hosting the printer:
    // sendfile raises SIGPIPE where send has MSG_NOSIGNAL.
    sigset_t pipe_only;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe_only, nullptr);
    const int fd = c->fd;
    Log("connection " + std::to_string(c->id) + " accepted");
    std::string buf;
    bool open = true;
    bool peer_closed = false;
    bool reset = false;
    // A job ends with a UEL, so only bytes that bring an ESC can complete one: a long
    // job is not searched again for every piece of it that arrives.
    bool look = false;
    bool cut = false;  // the job grew past the cap: only its beginning is kept
    while (open) {
        while (look) {
            const auto end = FindJobEnd(buf);
            if (!end) break;
            std::string job = buf.substr(0, *end);
            buf.erase(0, *end);
            // What a long job took goes back now, not when the connection ends.
            if (buf.capacity() > kShrinkAbove) std::string(buf).swap(buf);
            Record(c->id, job, true);
            Sent s = HandleJob(fd, c->id, job);
            if (job.size() > kShrinkAbove) {
                job = std::string();
                ReleaseMemory();
            }
            reset = s == Sent::Reset;
            if (s != Sent::Ok || CurrentKnobs().close_after_job) {
                open = false;
                break;
            }
        }
        look = false;
        if (open && buf.size() > kMaxJobBytes) {
            Log("connection " + std::to_string(c->id) + ": a job of more than " + std::to_string(kMaxJobBytes) +
                " bytes without its end; closing the connection");
            buf.resize(kRefusedJobKept);
            cut = true;
            std::string(buf).swap(buf);
            ReleaseMemory();
            open = false;
        }
        if (!open || peer_closed) break;
        pollfd p[2] = {{fd, POLLIN, 0}, {stop_fd, POLLIN, 0}};
        const int ready = ::poll(p, 2, IdleWaitMs());
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (ready == 0) {
            Log("connection " + std::to_string(c->id) + ": nothing received for " + std::to_string(IdleWaitMs()) +
                " ms; closing it");
            break;
        }
        if (p[1].revents) break;
        char tmp[65536];
        for (;;) {
            ssize_t r = ::recv(fd, tmp, sizeof tmp, 0);
            if (r > 0) {
                const std::size_t from = buf.size() > kUel.size() ? buf.size() - kUel.size() : 0;
                buf.append(tmp, static_cast<std::size_t>(r));
                look = std::memchr(buf.data() + from, '\x1b', buf.size() - from) != nullptr;
                break;  // look for complete jobs before reading on
            }
            if (r < 0 && errno == EINTR) continue;
            if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            peer_closed = true;  // EOF or error: answer what is complete, then finish
            break;
        }
    }
    // Unread input would turn the close into a reset: take in what has arrived
    // (it is recorded as not acted on), and send our FIN first.
    if (!reset) {
        ::shutdown(fd, SHUT_WR);
        char tmp[65536];
        for (ssize_t r; (r = ::recv(fd, tmp, sizeof tmp, MSG_DONTWAIT)) > 0;)
            if (!cut) buf.append(tmp, static_cast<std::size_t>(r));
    }
    if (!buf.empty()) {
        Log("connection " + std::to_string(c->id) + ": " + std::to_string(buf.size()) +
            " bytes not acted on (no job trailer, or the connection was closed first): " + Printable(buf));
        Record(c->id, std::move(buf), false);
    }
    ::close(fd);
    Log("connection " + std::to_string(c->id) + " closed");
    --active;
    c->done = true;
    Wake();
}

void PrinterSim::Impl::ReapConnections(bool all)
{
    for (auto it = conns.begin(); it != conns.end();) {
        if (all || (*it)->done) {
            (*it)->th.join();
            it = conns.erase(it);
        } else {
            ++it;
        }
    }
}

void PrinterSim::Impl::AcceptLoop()
{
    for (;;) {
        ApplyListenState();
        {
            std::lock_guard lk(mu);
            knobs_applied = knobs_gen;
        }
        knobs_cv.notify_all();
        ReapConnections(false);

        Knobs k = CurrentKnobs();
        bool can_accept = listening && active.load() < std::clamp(k.max_connections, 1, kMaxThreads);
        pollfd p[3] = {{stop_fd, POLLIN, 0}, {wake_fd, POLLIN, 0}, {listen_fd, POLLIN, 0}};
        int r = ::poll(p, can_accept ? 3 : 2, -1);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 || p[0].revents) break;
        if (p[1].revents) {
            std::uint64_t v;
            [[maybe_unused]] auto n = ::read(wake_fd, &v, sizeof v);
            continue;  // re-evaluate knobs and reap before accepting
        }
        if (!can_accept || !(p[2].revents & POLLIN)) continue;
        if (k.accept_delay_ms > 0 && !SleepUnlessStopped(k.accept_delay_ms, stop_fd)) break;
        int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;  // the peer gave up meanwhile, or a transient error
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto c = std::make_unique<Conn>();
        c->id = ++accepted;
        c->fd = fd;
        ++active;
        Conn* raw = c.get();
        conns.push_back(std::move(c));
        raw->th = std::thread([this, raw] { Serve(raw); });
    }
    ReapConnections(true);
}

// ---------------------------------------------------------------------------

PrinterSim::PrinterSim(Options options) : impl_(std::make_unique<Impl>())
{
    impl_->opt = std::move(options);
    impl_->knobs = impl_->opt.knobs;
}

PrinterSim::~PrinterSim() { Stop(); }

bool PrinterSim::Start()
{
    Impl& d = *impl_;
    {
        std::lock_guard lk(d.mu);
        if (d.running) return true;
    }
    auto fail = [&](std::string why) {
        if (d.listen_fd >= 0) ::close(d.listen_fd);
        if (d.stop_fd >= 0) ::close(d.stop_fd);
        if (d.wake_fd >= 0) ::close(d.wake_fd);
        d.listen_fd = d.stop_fd = d.wake_fd = -1;
        std::error_code ec;
        if (!d.gs_tmp.empty()) fs::remove_all(d.gs_tmp, ec);
        d.gs_tmp.clear();
        std::lock_guard lk(d.mu);
        d.last_error = std::move(why);
        return false;
    };

    if (d.opt.root.empty()) return fail("no store root given");
    std::error_code ec;
    fs::create_directories(d.opt.root / "DXR" / "Images", ec);
    if (ec) return fail("cannot create the store: " + ec.message());
    d.opt.root = fs::absolute(d.opt.root, ec);
    if (!d.opt.record_dir.empty()) {
        fs::create_directories(d.opt.record_dir, ec);
        if (ec) return fail("cannot create the record directory: " + ec.message());
    }

    // Ghostscript may write and delete in its temporary directory even under
    // -dSAFER; give it an empty private one so that is all it can reach there.
    std::string tmpl = (fs::temp_directory_path(ec) / "qbxsim-gs-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) return fail(std::string("mkdtemp: ") + std::strerror(errno));
    d.gs_tmp = tmpl;

    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* ai = nullptr;
    std::string port_str = std::to_string(d.opt.port);
    int gai = ::getaddrinfo(d.opt.bind_address.c_str(), port_str.c_str(), &hints, &ai);
    if (gai != 0 || !ai) return fail("bad bind address " + d.opt.bind_address + ": " + gai_strerror(gai));
    std::memcpy(&d.bound, ai->ai_addr, ai->ai_addrlen);
    d.bound_len = ai->ai_addrlen;
    ::freeaddrinfo(ai);

    d.stop_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    d.wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (d.stop_fd < 0 || d.wake_fd < 0) return fail(std::string("eventfd: ") + std::strerror(errno));
    std::string err;
    if (!d.OpenSocket(err)) return fail(err + " (" + d.opt.bind_address + " port " + port_str + ")");

    // With port 0 the kernel chose; keep that port across refuse/listen changes.
    sockaddr_storage actual{};
    socklen_t len = sizeof actual;
    ::getsockname(d.listen_fd, reinterpret_cast<sockaddr*>(&actual), &len);
    std::uint16_t port = actual.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&actual)->sin6_port)
                                                      : ntohs(reinterpret_cast<sockaddr_in*>(&actual)->sin_port);
    if (d.bound.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&d.bound)->sin6_port = htons(port);
    else
        reinterpret_cast<sockaddr_in*>(&d.bound)->sin_port = htons(port);
    {
        std::lock_guard lk(d.mu);
        d.port = port;
        d.running = true;
        d.last_error.clear();
    }
    d.ApplyListenState();
    d.acceptor = std::thread([&d] { d.AcceptLoop(); });
    return true;
}

void PrinterSim::Stop()
{
    Impl& d = *impl_;
    {
        std::lock_guard lk(d.mu);
        if (!d.running) return;
        d.running = false;
    }
    d.knobs_cv.notify_all();
    std::uint64_t one = 1;
    [[maybe_unused]] auto r = ::write(d.stop_fd, &one, sizeof one);
    d.acceptor.join();  // joins every connection thread on its way out
    if (d.listen_fd >= 0) ::close(d.listen_fd);
    ::close(d.stop_fd);
    ::close(d.wake_fd);
    d.listen_fd = d.stop_fd = d.wake_fd = -1;
    d.listening = false;
    std::error_code ec;
    fs::remove_all(d.gs_tmp, ec);
    d.gs_tmp.clear();
    d.Log("stopped");
}

bool PrinterSim::Running() const
{
    std::lock_guard lk(impl_->mu);
    return impl_->running;
}

std::string PrinterSim::LastError() const
{
    std::lock_guard lk(impl_->mu);
    return impl_->last_error;
}

std::uint16_t PrinterSim::Port() const
{
    std::lock_guard lk(impl_->mu);
    return impl_->port;
}

const fs::path& PrinterSim::Root() const { return impl_->opt.root; }
fs::path PrinterSim::ImageDir() const { return impl_->opt.root / "DXR" / "Images"; }

void PrinterSim::SetKnobs(const Knobs& knobs)
{
    Impl& d = *impl_;
    std::unique_lock lk(d.mu);
    d.knobs = knobs;
    if (!d.running) return;
    std::uint64_t gen = ++d.knobs_gen;
    d.Wake();
    d.knobs_cv.wait(lk, [&] { return d.knobs_applied >= gen || !d.running; });
}

Knobs PrinterSim::GetKnobs() const { return impl_->CurrentKnobs(); }

std::vector<RecordedJob> PrinterSim::Jobs() const
{
    std::lock_guard lk(impl_->jobs_mu);
    return impl_->jobs;
}

void PrinterSim::ClearJobs()
{
    std::lock_guard lk(impl_->jobs_mu);
    impl_->jobs.clear();
    impl_->jobs_received = 0;
    impl_->answers_made = 0;
}

bool PrinterSim::WaitForJobs(std::size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock lk(impl_->jobs_mu);
    return impl_->jobs_cv.wait_for(lk, timeout, [&] { return impl_->jobs_received >= n; });
}

bool PrinterSim::WaitForAnswers(std::size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock lk(impl_->jobs_mu);
    return impl_->jobs_cv.wait_for(lk, timeout, [&] { return impl_->answers_made >= n; });
}

int PrinterSim::ConnectionsAccepted() const { return impl_->accepted.load(); }
int PrinterSim::ActiveConnections() const { return impl_->active.load(); }

}  // namespace qbxsim
