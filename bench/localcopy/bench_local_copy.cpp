// Writes a file of the given size through LocalCopy in 2048-byte pieces, as the receive
// loop does, into a folder (default: the temporary folder), and prints the write rate,
// the time of the commit, and for comparison the rate of one write() per piece.
// Target: writes at 125 MB/s or more (ten times a 100 Mbit/s wire); exit status 1 below.
//
// Usage: bench_local_copy [MiB] [folder]
#include "platform/localcopy.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

}  // namespace

int main(int argc, char** argv)
{
    const long mib = argc > 1 ? std::atol(argv[1]) : 64;
    std::string folder = argc > 2 ? argv[2] : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    if (mib <= 0) {
        std::fprintf(stderr, "usage: bench_local_copy [MiB] [folder]\n");
        return 2;
    }
    const std::size_t piece = 2048;
    const std::size_t pieces = static_cast<std::size_t>(mib) * 1024 * 1024 / piece;
    std::vector<char> data(piece);
    for (std::size_t i = 0; i < piece; ++i) data[i] = static_cast<char>(i * 31);
    const double mb = static_cast<double>(pieces * piece) / 1e6;

    const std::string dest = folder + "/bench_local_copy.TIF";
    LocalCopy copy;
    if (!copy.Open(dest.c_str(), true)) {
        std::fprintf(stderr, "%s\n", copy.Error().c_str());
        return 2;
    }
    auto t0 = Clock::now();
    for (std::size_t i = 0; i < pieces; ++i) {
        if (!copy.Write(data.data(), piece)) {
            std::fprintf(stderr, "%s\n", copy.Error().c_str());
            return 2;
        }
    }
    const double writeMs = MsSince(t0);
    auto t1 = Clock::now();
    if (!copy.Commit()) {
        std::fprintf(stderr, "%s\n", copy.Error().c_str());
        return 2;
    }
    const double commitMs = MsSince(t1);
    ::unlink(dest.c_str());

    // The same bytes with one system call per piece, unsynced.
    const std::string raw = folder + "/bench_local_copy_raw.TIF";
    const int fd = ::open(raw.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    auto t2 = Clock::now();
    for (std::size_t i = 0; fd >= 0 && i < pieces; ++i)
        if (::write(fd, data.data(), piece) != static_cast<ssize_t>(piece)) break;
    const double rawMs = MsSince(t2);
    if (fd >= 0) ::close(fd);
    ::unlink(raw.c_str());

    const double rate = mb / (writeMs / 1000.0);
    std::printf("LocalCopy: %.1f MB in 2048-byte pieces: %.1f ms (%.0f MB/s); commit %.1f ms\n", mb, writeMs, rate,
                commitMs);
    std::printf("write() per piece: %.1f ms (%.0f MB/s)\n", rawMs, mb / (rawMs / 1000.0));
    std::printf("target 125 MB/s: %s\n", rate >= 125.0 ? "met" : "MISSED");
    return rate >= 125.0 ? 0 : 1;
}
