// quillbox-cli sync against the simulated printer, beside a bare receive loop that
// fetches the same files over the same printer with nothing but connect, send the
// upload job, recv until the answer's end, and write the bytes to a file (no checks,
// no sync to disk, no rename). Reported as MB/s and as the tool's share of the bare
// loop's rate. Target: >= 70 % for one 256 MiB file.
//
// Usage: bench_cli_sync [--runs N] [--big-mib M] [--small-count K]
#include "cli/PrinterLink.h"
#include "link/JobLanguage.h"
#include "printer_sim.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Fetches every path with the bare loop into folder; returns the bytes written.
std::uint64_t BareFetch(int port, const std::vector<std::pair<std::string, std::size_t>>& files, const fs::path& folder)
{
    std::uint64_t total = 0;
    std::vector<char> buf(256 * 1024);
    for (auto& [path, size] : files) {
        CPrinterLink link;
        auto deadline = Clock::now() + std::chrono::seconds(120);
        if (!link.Connect({"127.0.0.1", port, ""}, deadline)) {
            std::fprintf(stderr, "bare loop: connect failed %d\n", link.LastError());
            std::exit(1);
        }
        char job[2048];
        int n = ComposeJob(job, sizeof job, JOB_UPLOAD, "", path.c_str());
        link.SendAll(job, static_cast<std::size_t>(n), deadline);
        int fd = ::open((folder / fs::path(path).filename()).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        // Header line, size bytes, form feed: stop once that many bytes came.
        std::size_t got = 0, want = 0;
        std::string head;
        for (;;) {
            long r = link.Receive(buf.data(), buf.size(), deadline);
            if (r <= 0) break;
            std::size_t off = 0;
            if (want == 0) {
                head.append(buf.data(), static_cast<std::size_t>(r));
                auto lf = head.find('\n');
                if (lf == std::string::npos) continue;
                want = size + 1;
                off = static_cast<std::size_t>(r) - (head.size() - lf - 1);
            }
            std::size_t take = std::min(static_cast<std::size_t>(r) - off, want - got);
            if (::write(fd, buf.data() + off, take) < 0) std::exit(1);
            got += take;
            if (got >= want) break;
        }
        ::close(fd);
        total += got;
    }
    return total;
}

double RunSync(int port, const fs::path& folder)
{
    fs::remove_all(folder);
    fs::create_directories(folder);
    // Made before fork: the simulator's threads may hold the allocator's lock then.
    std::string printer = "127.0.0.1:" + std::to_string(port);
    auto t0 = Clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 1);
        ::execl(QBX_CLI_EXE, QBX_CLI_EXE, "sync", "--printer", printer.c_str(), "--user", "1234", "--to",
                folder.c_str(), "-q", "--timeout", "0", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    double s = Seconds(t0, Clock::now());
    if (!WIFEXITED(st) || WEXITSTATUS(st) != 0) {
        std::fprintf(stderr, "quillbox-cli sync failed (status %d)\n", st);
        std::exit(1);
    }
    return s;
}

void Case(const char* name, const fs::path& base, const std::vector<std::pair<std::string, std::size_t>>& files,
          int runs)
{
    qbxsim::Options o;
    o.root = base / "store";
    o.port = 0;
    qbxsim::PrinterSim sim(o);
    if (!sim.Start()) {
        std::fprintf(stderr, "simulator: %s\n", sim.LastError().c_str());
        std::exit(1);
    }
    std::uint64_t bytes = 0;
    for (auto& f : files) bytes += f.second;
    double mb = static_cast<double>(bytes) / 1e6;
    double bestBare = 1e9, bestSync = 1e9;
    for (int r = 0; r < runs; ++r) {
        fs::path bareDir = base / "bare";
        fs::remove_all(bareDir);
        fs::create_directories(bareDir);
        auto t0 = Clock::now();
        BareFetch(sim.Port(), files, bareDir);
        bestBare = std::min(bestBare, Seconds(t0, Clock::now()));
        fs::remove_all(bareDir);
        bestSync = std::min(bestSync, RunSync(sim.Port(), base / "sync"));
        fs::remove_all(base / "sync");
    }
    std::printf("%-22s bare loop %7.1f MB/s   quillbox-cli sync %7.1f MB/s   share %5.1f %%\n", name, mb / bestBare,
                mb / bestSync, 100.0 * bestBare / bestSync);
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 3, bigMiB = 256, smallCount = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--runs")) runs = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--big-mib")) bigMiB = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--small-count")) smallCount = std::atoi(argv[i + 1]);
    }
    char tmpl[] = "/tmp/qbx-bench-cli-XXXXXX";
    if (!::mkdtemp(tmpl)) return 1;
    fs::path base = tmpl;

    std::vector<std::pair<std::string, std::size_t>> small;
    for (int i = 0; i < smallCount; ++i) {
        char seq[16], date[32];
        std::snprintf(seq, sizeof seq, "%03d", i);
        std::snprintf(date, sizeof date, "202612%02d%06d", 1 + i / 50, 90000 + i);
        small.emplace_back(qbxsim::AddImageOfSize(base / "small" / "store", "1234", seq, date, 1 << 20, i + 1),
                           1 << 20);
    }
    Case((std::to_string(smallCount) + " x 1 MiB").c_str(), base / "small", small, runs);
    fs::remove_all(base / "small");

    std::vector<std::pair<std::string, std::size_t>> big;
    std::size_t bigSize = static_cast<std::size_t>(bigMiB) << 20;
    big.emplace_back(qbxsim::AddImageOfSize(base / "big" / "store", "1234", "001", "20261207093005", bigSize, 9),
                     bigSize);
    Case((std::to_string(bigMiB) + " MiB").c_str(), base / "big", big, runs);
    fs::remove_all(base);
    return 0;
}
