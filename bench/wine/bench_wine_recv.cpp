// The yardstick for quillbox.exe's retrieval under Wine: a bare WinSock client that
// sends the program's own upload job and then does recv(2048) + fwrite until the file
// and its form feed are in. Prints "RESULT ok=<0|1> seconds=<s> bytes=<n>".
//
//   bench_wine_recv PORT STORE_PATH SIZE OUT_FILE
#include <winsock2.h>
#include <ws2tcpip.h>

#include "link/JobLanguage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_wine_recv PORT STORE_PATH SIZE OUT_FILE\n");
        return 2;
    }
    const unsigned long long size = std::strtoull(argv[3], nullptr, 10);
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(std::atoi(argv[1])));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return 1;
    char job[1024];
    const int jobLength = ComposeJob(job, sizeof job, JOB_UPLOAD, "", argv[2]);
    if (jobLength <= 0 || send(s, job, jobLength, 0) != jobLength) return 1;
    FILE* f = std::fopen(argv[4], "wb");
    if (!f) return 1;
    const auto t0 = std::chrono::steady_clock::now();
    char buf[2048];
    bool inHeader = true, done = false;
    unsigned long long written = 0;
    while (!done) {
        const int n = recv(s, buf, sizeof buf, 0);
        if (n <= 0) break;
        const char* p = buf;
        std::size_t len = static_cast<std::size_t>(n);
        if (inHeader) {
            const char* lf = static_cast<const char*>(std::memchr(buf, '\n', len));
            if (!lf) continue;  // the header line is far shorter than one receive
            len -= static_cast<std::size_t>(lf + 1 - buf);
            p = lf + 1;
            inHeader = false;
        }
        const std::size_t take = static_cast<std::size_t>(std::min<unsigned long long>(len, size - written));
        if (std::fwrite(p, 1, take, f) != take) break;
        written += take;
        done = len > take;  // the form feed came
    }
    const bool closed = std::fclose(f) == 0;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    closesocket(s);
    WSACleanup();
    const bool ok = done && closed && written == size;
    std::printf("RESULT ok=%d seconds=%.6f bytes=%llu\n", ok ? 1 : 0, seconds, written);
    return ok ? 0 : 1;
}
