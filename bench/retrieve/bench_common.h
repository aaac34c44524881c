// Shared pieces of the retrieval benchmark: the measurements every child process
// reports in one line, and the clocks they are taken with.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <time.h>

#include <cstdint>
#include <string>

namespace bench {

inline double WallSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

inline double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Peak resident set of this process in KiB.
inline long PeakRssKiB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

// The upload job for a store path, as the program sends it (one FSUPLOAD command).
inline std::string UploadJob(const std::string& storePath)
{
    const std::string uel = "\x1b%-12345X";
    return " " + uel + "@PJL JOB\n@PJL FSUPLOAD NAME=\"" + storePath + "\" OFFSET=0 SIZE=2147483647\r\n" + uel +
           "@PJL EOJ " + uel;
}

// Children print one line "RESULT key=value ..." on stdout for the parent.
struct Result {
    bool ok = false;
    double seconds = 0;  // wall time of the transfer (or the listing step)
    double cpu = 0;      // CPU seconds of the process in the same span
    long rssKiB = 0;     // peak resident set of the whole child
    std::uint64_t bytes = 0;
    std::string note;
};

std::string FormatResult(const Result& r);
Result ParseResult(const std::string& output);

// Children (bench_children.cpp). Each returns the process exit code.
int RunBareChild(int port, const std::string& storePath, std::uint64_t size, const std::string& out);
int RunRoadChild(int argc, char** argv, int port, const std::string& user, const std::string& out,
                 const std::string& shot);
int RunListingChild(int argc, char** argv, int port, const std::string& user, int rounds);

// A TCP connection to the simulated printer on the loopback; -1 when it fails.
inline int ConnectLoopback(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace bench
