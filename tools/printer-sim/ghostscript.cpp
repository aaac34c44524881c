// Running a PostScript program in a sandboxed Ghostscript.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

#include "sim_internal.h"

extern char** environ;

namespace qbxsim::detail {

namespace {

constexpr std::size_t kMaxOutput = 64u << 20;  // a runaway program is killed beyond this
// Ghostscript's error output only goes to the log: its first bytes say what went wrong,
// the rest (a program printing errors in a loop writes megabytes a second) is read
// and dropped, so gs never blocks on a full pipe and memory stays bounded.
constexpr std::size_t kMaxErrorKept = 64u << 10;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void Reset()
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

void SetNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Reads what is available, keeping at most `keep` bytes in into (the rest is read and
// dropped; *dropped counts it); false at EOF or error.
bool Drain(int fd, std::string& into, std::size_t keep = SIZE_MAX, std::uint64_t* dropped = nullptr)
{
    char buf[65536];
    for (;;) {
        ssize_t r = ::read(fd, buf, sizeof buf);
        if (r > 0) {
            const auto n = static_cast<std::size_t>(r);
            const std::size_t room = into.size() < keep ? keep - into.size() : 0;
            into.append(buf, std::min(n, room));
            if (n > room && dropped) *dropped += n - room;
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        return false;
    }
}

// The files a PostScript job may touch, as Ghostscript permit options: each entry of
// the image folder that an upload would also serve (a regular file, or a link to one
// inside the store), by its exact name. A link that leads out of the store is not
// among them, so a job can neither list, measure, read nor delete through it; nor is
// a name that a permit list would read as a pattern.
std::vector<std::string> PermitOptions(const std::filesystem::path& root)
{
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(root / "DXR" / "Images", ec)) {
        const std::string name = e.path().filename().string();
        if (name.find_first_of("*?\\") != std::string::npos) continue;
        const std::string rel = "DXR/Images/" + name;
        if (ResolveInStore(root, rel)) out.push_back("--permit-file-all=" + rel);
    }
    return out;
}

}  // namespace

bool SleepUnlessStopped(int ms, int stop_fd)
{
    if (ms <= 0) return true;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return true;
        pollfd p{stop_fd, POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(left));
        if (r > 0) return false;
    }
}

GsResult RunGhostscript(const std::string& gs_path, const std::filesystem::path& root,
                        const std::filesystem::path& tmpdir, std::string_view program, int timeout_ms, int stop_fd)
{
    GsResult res;
    int in_pair[2], out_pipe[2], err_pipe[2];
    // stdin is a socket so writing to an exited gs gives EPIPE, not SIGPIPE.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in_pair) != 0) {
        res.spawn_error = std::string("socketpair: ") + std::strerror(errno);
        return res;
    }
    Fd in_parent(in_pair[0]), in_child(in_pair[1]);
    if (::pipe2(out_pipe, O_CLOEXEC) != 0) {
        res.spawn_error = std::string("pipe: ") + std::strerror(errno);
        return res;
    }
    Fd out_read(out_pipe[0]), out_write(out_pipe[1]);
    if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
        res.spawn_error = std::string("pipe: ") + std::strerror(errno);
        return res;
    }
    Fd err_read(err_pipe[0]), err_write(err_pipe[1]);

    // The environment, minus anything that could change what gs may touch; its
    // temporary directory (which -dSAFER lets it write and delete in) is ours.
    std::vector<std::string> env_store;
    for (char** e = environ; e && *e; ++e) {
        std::string_view v(*e);
        if (v.starts_with("TMPDIR=") || v.starts_with("TEMP=") || v.starts_with("TMP=") ||
            v.starts_with("GS_OPTIONS=") || v.starts_with("GS_LIB="))
            continue;
        env_store.emplace_back(v);
    }
    env_store.push_back("TMPDIR=" + tmpdir.string());
    std::vector<char*> envp;
    for (auto& s : env_store) envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> args = {gs_path, "-q", "-dNODISPLAY", "-dSAFER"};
    for (std::string& permit : PermitOptions(root)) args.push_back(std::move(permit));
    args.insert(args.end(), {"-dBATCH", "-"});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in_child.get(), 0);
    posix_spawn_file_actions_adddup2(&fa, out_write.get(), 1);
    posix_spawn_file_actions_adddup2(&fa, err_write.get(), 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&fa, 3);
#endif
    std::string cwd = root.string();
    posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);  // keep terminal signals away from gs
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    pid_t pid = -1;
    int rc = ::posix_spawnp(&pid, gs_path.c_str(), &fa, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    in_child.Reset();
    out_write.Reset();
    err_write.Reset();
    if (rc != 0) {
        res.spawn_error = gs_path + ": " + std::strerror(rc);
        return res;
    }

    SetNonBlocking(in_parent.get());
    SetNonBlocking(out_read.get());
    SetNonBlocking(err_read.get());
    std::size_t written = 0;
    if (program.empty()) ::shutdown(in_parent.get(), SHUT_WR);
    bool out_open = true, err_open = true;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool kill_it = false;

    while (out_open || err_open) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            res.timed_out = kill_it = true;
            break;
        }
        pollfd p[4];
        int n = 0;
        p[n++] = {stop_fd, POLLIN, 0};
        int i_out = -1, i_err = -1, i_in = -1;
        if (out_open) i_out = n, p[n++] = {out_read.get(), POLLIN, 0};
        if (err_open) i_err = n, p[n++] = {err_read.get(), POLLIN, 0};
        if (in_parent.get() >= 0 && written < program.size()) i_in = n, p[n++] = {in_parent.get(), POLLOUT, 0};
        int r = ::poll(p, static_cast<nfds_t>(n), static_cast<int>(left));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            kill_it = true;
            break;
        }
        if (p[0].revents) {
            res.stopped = kill_it = true;
            break;
        }
        if (i_in >= 0 && p[i_in].revents) {
            ssize_t w = ::send(in_parent.get(), program.data() + written, program.size() - written, MSG_NOSIGNAL);
            if (w > 0) written += static_cast<std::size_t>(w);
            if ((w < 0 && errno != EAGAIN && errno != EINTR) || written == program.size()) {
                in_parent.Reset();  // EOF for gs (or it has gone)
            }
        }
        if (i_out >= 0 && p[i_out].revents) out_open = Drain(out_read.get(), res.out);
        if (i_err >= 0 && p[i_err].revents) err_open = Drain(err_read.get(), res.err, kMaxErrorKept, &res.err_dropped);
        if (res.out.size() > kMaxOutput) {
            kill_it = true;
            break;
        }
    }

    int status = 0;
    if (!kill_it) {
        // Output closed: gs is exiting. Give it until the deadline, then kill.
        for (;;) {
            pid_t w = ::waitpid(pid, &status, WNOHANG);
            if (w == pid) break;
            if (w < 0 && errno != EINTR) break;
            if (std::chrono::steady_clock::now() >= deadline) {
                res.timed_out = kill_it = true;
                break;
            }
            if (!SleepUnlessStopped(2, stop_fd)) {
                res.stopped = kill_it = true;
                break;
            }
        }
        if (!kill_it) res.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (kill_it) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        res.status = -1;
    }
    return res;
}

}  // namespace qbxsim::detail
