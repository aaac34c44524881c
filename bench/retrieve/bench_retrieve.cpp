// Retrieval at the speed of the wire. In one run, against one simulated printer:
// - the printer alone, to a client that reads in 1 MiB pieces and discards;
// - a bare recv(2048) + fwrite loop and the program's own retrieval road (frame,
//   dispatcher, receive loop, progress dialog shown) for a large file, in turn, offscreen
//   and, when a display or xvfb-run is at hand, on an X server;
// - peak memory of the program for a 1 MiB and a large file;
// - the listing of 1000 files, from the last chunk taken in to the filled list.
// Every copy is compared with the printer's file byte for byte.
//
//   bench_retrieve [--mib N] [--runs N]      (defaults: 256 MiB, 3 runs of each kind)
#include "bench_common.h"

#include "printer_sim.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using bench::Result;
namespace fs = std::filesystem;

std::string SelfPath()
{
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

// Runs a child with extra environment entries and returns what it printed.
std::string RunChild(const std::vector<std::string>& args, const std::vector<std::string>& env)
{
    int out[2];
    if (::pipe(out) != 0) return "";
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    std::vector<std::string> envs;
    for (char** e = environ; *e; ++e) {
        std::string s = *e;
        bool replaced = false;
        for (auto& x : env)
            if (s.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0) replaced = true;
        if (!replaced) envs.push_back(s);
    }
    envs.insert(envs.end(), env.begin(), env.end());
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (auto& e : envs) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    if (rc == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    return text;
}

bool SameFile(const std::string& a, const std::string& b)
{
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    if (!fa || !fb) return false;
    std::vector<char> ba(1 << 20), bb(1 << 20);
    for (;;) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount()) return false;
        if (std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(fa.gcount())) != 0) return false;
        if (fa.gcount() == 0) return true;
    }
}

// The printer alone: after the header line, the answer is thrown away in the kernel
// (MSG_TRUNC, no copy), so the figure is the printer's and the loopback's, not a
// client's copying.
Result PrinterAlone(int port, const std::string& storePath, std::uint64_t size)
{
    Result r;
    int fd = bench::ConnectLoopback(port);
    if (fd < 0) return r;
    const std::string job = bench::UploadJob(storePath);
    const double t0 = bench::WallSeconds();
    ::send(fd, job.data(), job.size(), MSG_NOSIGNAL);
    std::string head;
    char c = 0;
    while (head.size() < 512 && ::recv(fd, &c, 1, 0) == 1) {  // the header line, byte by byte
        head += c;
        if (c == '\n') break;
    }
    std::uint64_t left = size + 1;  // the data and the form feed
    while (left > 0) {
        ssize_t n = ::recv(fd, nullptr, static_cast<std::size_t>(std::min<std::uint64_t>(left, 1 << 30)), MSG_TRUNC);
        if (n <= 0) break;
        left -= static_cast<std::uint64_t>(n);
    }
    r.seconds = bench::WallSeconds() - t0;
    r.bytes = size + 1 - left;
    r.ok = left == 0 && head.find("SIZE=" + std::to_string(size) + "\r\n") != std::string::npos;
    ::close(fd);
    return r;
}

// A store file of size bytes written 1 MiB at a time (all byte values, the framing's
// CR, LF and form feed among them), so this process never holds the file: children
// started from it would otherwise inherit its peak memory in their own figure.
std::string AddLargeImage(const std::string& store, const std::string& user, std::uint64_t size, std::uint32_t seed)
{
    const std::string rel = qbxsim::ImageRelPath(user, "001", "20261207120000");
    qbxsim::EnsureStore(store);
    std::ofstream out(store + "/" + rel, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::uint64_t left = size; left > 0;) {
        for (auto& c : chunk) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = static_cast<char>(x >> 24);
        }
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
    return out ? rel : std::string();
}

double MBps(std::uint64_t bytes, double s) { return s > 0 ? static_cast<double>(bytes) / 1e6 / s : 0; }

struct Series {
    explicit Series(std::string n) : name(std::move(n)) {}
    std::string name;
    std::vector<Result> runs;
    bool identical = true;
    bool kept = true;  // false: a discarding client, no copy, no CPU or memory figures
    Result Best() const
    {
        Result best;
        for (auto& r : runs)
            if (r.ok && (!best.ok || r.seconds < best.seconds)) best = r;
        return best;
    }
};

void PrintSeries(const Series& s, std::uint64_t size)
{
    Result b = s.Best();
    if (!b.ok) {
        std::printf("  %-28s FAILED (%zu runs)\n", s.name.c_str(), s.runs.size());
        return;
    }
    std::printf("  %-28s %8.1f MB/s  (runs:", s.name.c_str(), MBps(size, b.seconds));
    for (auto& r : s.runs) std::printf(" %.1f", r.ok ? MBps(size, r.seconds) : 0.0);
    if (!s.kept) {
        std::printf(")\n");
        return;
    }
    std::printf(")  CPU %.3f s per 100 MiB  peak RSS %.1f MiB  %s\n",
                b.cpu / (static_cast<double>(size) / (100.0 * 1048576.0)), b.rssKiB / 1024.0,
                s.identical ? "same bytes" : "BYTES DIFFER");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--child") == 0 && argc >= 5) {
        std::string kind = argv[2];
        int port = std::atoi(argv[3]);
        if (kind == "bare" && argc >= 7)
            return bench::RunBareChild(port, argv[4], std::strtoull(argv[5], nullptr, 10), argv[6]);
        if (kind == "road" && argc >= 7) return bench::RunRoadChild(argc, argv, port, argv[4], argv[5], argv[6]);
        if (kind == "listing" && argc >= 6)
            return bench::RunListingChild(argc, argv, port, argv[4], std::atoi(argv[5]));
        return 2;
    }
    std::uint64_t mib = 256;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--mib") == 0) mib = std::strtoull(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    }
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        std::string dir = "/tmp/qbx-runtime-" + std::to_string(getuid());
        mkdir(dir.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    char tmpl[] = "/tmp/qbx-bench-retrieve-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string root = tmpl, store = root + "/store", outDir = root + "/out";
    fs::create_directories(outDir);
    const std::uint64_t big = mib * 1048576, small = 1048576;
    const std::string bigPath = AddLargeImage(store, "71", big, 5);
    const std::string smallPath = AddLargeImage(store, "72", small, 6);
    if (bigPath.empty() || smallPath.empty()) {
        std::fprintf(stderr, "cannot write the store files under %s\n", store.c_str());
        return 1;
    }
    qbxsim::AddManyImages(store, "73", 1000, 16);

    qbxsim::Options o;
    o.root = store;
    o.port = 0;
    qbxsim::PrinterSim sim(o);
    if (!sim.Start()) {
        std::fprintf(stderr, "cannot start the simulated printer: %s\n", sim.LastError().c_str());
        return 1;
    }
    const std::string port = std::to_string(sim.Port()), self = SelfPath();
    const std::vector<std::string> offscreen{"QT_QPA_PLATFORM=offscreen"};
    const bool display = std::getenv("DISPLAY") != nullptr;
    const bool xvfb = !display && ::access("/usr/bin/xvfb-run", X_OK) == 0;

    Series alone{"printer alone (discarding)"};
    alone.kept = false;
    for (int i = 0; i < runs; ++i) alone.runs.push_back(PrinterAlone(sim.Port(), bigPath, big));

    Series bare{"bare recv(2048)+fwrite"}, road{"program, offscreen"}, roadX{"program, X server"};
    auto runBare = [&](const std::string& path, std::uint64_t size, Series& s) {
        std::string out = outDir + "/bare.bin";
        s.runs.push_back(
            bench::ParseResult(RunChild({self, "--child", "bare", port, path, std::to_string(size), out}, offscreen)));
        s.identical = s.identical && SameFile(out, store + "/" + path);
        fs::remove(out);
    };
    auto runRoad = [&](const std::string& user, const std::string& path, Series& s, bool onX, const std::string& shot) {
        std::string out = outDir + "/road.TIF";
        std::vector<std::string> args{self, "--child", "road", port, user, out, shot};
        std::vector<std::string> env = offscreen;
        if (onX) {
            env = {"QT_QPA_PLATFORM=xcb"};
            if (!display) args.insert(args.begin(), {"xvfb-run", "-a", "-s", "-screen 0 1280x1024x24"});
        }
        s.runs.push_back(bench::ParseResult(RunChild(args, env)));
        s.identical = s.identical && SameFile(out, store + "/" + path);
        fs::remove(out);
    };
    for (int i = 0; i < runs; ++i) {
        runBare(bigPath, big, bare);
        runRoad("71", bigPath, road, false, i == 0 ? root + "/progress-at-end-offscreen.png" : "");
        if (display || xvfb) runRoad("71", bigPath, roadX, true, i == 0 ? root + "/progress-at-end-x.png" : "");
    }
    Series bareSmall{"bare, 1 MiB"}, roadSmall{"program, 1 MiB, offscreen"};
    runBare(smallPath, small, bareSmall);
    runRoad("72", smallPath, roadSmall, false, "");

    Result listing = bench::ParseResult(RunChild({self, "--child", "listing", port, "73", "5"}, offscreen));
    Result listingX;
    if (display || xvfb) {
        std::vector<std::string> args{self, "--child", "listing", port, "73", "5"};
        if (!display) args.insert(args.begin(), {"xvfb-run", "-a", "-s", "-screen 0 1280x1024x24"});
        listingX = bench::ParseResult(RunChild(args, {"QT_QPA_PLATFORM=xcb"}));
    }
    sim.Stop();

    std::printf("Retrieval of a %llu MiB file over loopback (best of %d; every run listed)\n",
                static_cast<unsigned long long>(mib), runs);
    PrintSeries(alone, big);
    PrintSeries(bare, big);
    PrintSeries(road, big);
    if (display || xvfb)
        PrintSeries(roadX, big);
    else
        std::printf("  program, X server             skipped: no DISPLAY and no xvfb-run\n");
    const double bareRate = bare.Best().ok ? MBps(big, bare.Best().seconds) : 0;
    auto ratio = [&](const Series& s) {
        return s.Best().ok && bareRate > 0 ? MBps(big, s.Best().seconds) / bareRate : 0;
    };
    std::printf("  program / bare loop: offscreen %.0f %%", 100 * ratio(road));
    if (display || xvfb) std::printf(", X server %.0f %%", 100 * ratio(roadX));
    std::printf("   (target >= 60 %%)\n");
    std::printf("Peak RSS of the program: 1 MiB %.1f MiB, %llu MiB %.1f MiB, growth %.2f MiB (target <= 1 MiB)\n",
                roadSmall.Best().rssKiB / 1024.0, static_cast<unsigned long long>(mib), road.Best().rssKiB / 1024.0,
                (road.Best().rssKiB - roadSmall.Best().rssKiB) / 1024.0);
    std::printf("Peak RSS of the bare loop: 1 MiB %.1f MiB, %llu MiB %.1f MiB\n", bareSmall.Best().rssKiB / 1024.0,
                static_cast<unsigned long long>(mib), bare.Best().rssKiB / 1024.0);
    std::printf("Small copies: %s\n", bareSmall.identical && roadSmall.identical && roadSmall.Best().ok
                                          ? "same bytes"
                                          : "BYTES DIFFER or failed");
    auto printListing = [](const char* where, const Result& l) {
        if (!l.ok)
            std::printf("Listing of 1000 files, %s: FAILED\n", where);
        else
            std::printf("Listing of %llu files, %s: last chunk to filled list %.1f ms median of 5 (%s s), "
                        "CPU %.1f ms; target < 30 ms\n",
                        static_cast<unsigned long long>(l.bytes), where, l.seconds * 1000, l.note.c_str(),
                        l.cpu * 1000);
    };
    printListing("offscreen", listing);
    if (display || xvfb) printListing("X server", listingX);
    std::printf("Screenshots of the progress dialog as the file ended: %s/progress-at-end-*.png\n", root.c_str());
    fs::remove_all(store);
    fs::remove_all(outDir);
    return 0;
}
