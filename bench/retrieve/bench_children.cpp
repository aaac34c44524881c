// The measured runs, each in a child process of its own so that its peak memory and
// CPU time are its own: the bare receive loop, the program's retrieval road, and the
// program's listing of many files.
#include "bench_common.h"

#include "app_harness.h"

#include "app/Globals.h"
#include "directory/RetrieveDlg.h"
#include "platform/qt/qt_platform.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/ProgressDlg.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

namespace bench {

std::string FormatResult(const Result& r)
{
    char line[512];
    std::snprintf(line, sizeof line, "RESULT ok=%d seconds=%.6f cpu=%.6f rss=%ld bytes=%llu note=%s\n", r.ok ? 1 : 0,
                  r.seconds, r.cpu, r.rssKiB, static_cast<unsigned long long>(r.bytes),
                  r.note.empty() ? "-" : r.note.c_str());
    return line;
}

Result ParseResult(const std::string& output)
{
    Result r;
    std::size_t at = output.rfind("RESULT ");
    if (at == std::string::npos) return r;
    std::istringstream in(output.substr(at + 7));
    std::string field;
    while (in >> field) {
        std::size_t eq = field.find('=');
        if (eq == std::string::npos) continue;
        std::string key = field.substr(0, eq), value = field.substr(eq + 1);
        if (key == "ok")
            r.ok = value == "1";
        else if (key == "seconds")
            r.seconds = std::stod(value);
        else if (key == "cpu")
            r.cpu = std::stod(value);
        else if (key == "rss")
            r.rssKiB = std::stol(value);
        else if (key == "bytes")
            r.bytes = std::stoull(value);
        else if (key == "note")
            r.note = value;
    }
    return r;
}

// What a minimal client does: one upload job, then recv(2048) + fwrite until the file
// and its terminator are in. The header line is skipped so the copy can be compared.
int RunBareChild(int port, const std::string& storePath, std::uint64_t size, const std::string& out)
{
    Result r;
    int fd = ConnectLoopback(port);
    FILE* f = std::fopen(out.c_str(), "wb");
    if (fd < 0 || !f) {
        std::fputs(FormatResult(r).c_str(), stdout);
        return 1;
    }
    const std::string job = UploadJob(storePath);
    if (::send(fd, job.data(), job.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(job.size())) return 1;
    const double t0 = WallSeconds(), c0 = CpuSeconds();
    char buf[2048];
    bool inHeader = true;
    std::uint64_t written = 0;
    bool done = false;
    while (!done) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
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
        std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(len, size - written));
        if (std::fwrite(p, 1, take, f) != take) break;
        written += take;
        done = len > take;  // the terminator came
    }
    const bool closed = std::fclose(f) == 0;
    r.seconds = WallSeconds() - t0;
    r.cpu = CpuSeconds() - c0;
    ::close(fd);
    r.ok = done && closed && written == size;
    r.bytes = written;
    r.rssKiB = PeakRssKiB();
    std::fputs(FormatResult(r).c_str(), stdout);
    return r.ok ? 0 : 1;
}

namespace {

std::string Ini(int port)
{
    return "[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=" + std::to_string(port) + "\n[QBXConfig]\nAutoDelete=no\n";
}

bool ListShown(AppHarness& h)
{
    CMainFrame* f = h.Frame();
    return f && f->m_pRetrieveDlg && f->m_pRetrieveDlg->m_hWnd && f->m_pRetrieveDlg->IsWindowVisible();
}

// Starts the program and asks for the user's listing as a user does.
bool ListFor(AppHarness& h, const std::string& user)
{
    if (!h.Start()) return false;
    AppHarness::TypeInto(h.MainDlg(), 1001, user);
    AppHarness::Click(h.MainDlg(), IDOK);
    return h.PumpUntil([&] { return ListShown(h); }, 30000);
}

}  // namespace

// The program's own road: listing, the first line chosen, Retrieve, the batch to its end.
// Timed from entering the receive loop to its normal end (the connection steps and their
// one-second pace are not part of the transfer).
int RunRoadChild(int argc, char** argv, int port, const std::string& user, const std::string& out,
                 const std::string& shot)
{
    QtPlatform platform(argc, argv);
    Result r;
    std::remove(out.c_str());  // an existing file would bring up the overwrite question
    {
        AppHarness h(Ini(port));
        double t0 = 0, c0 = 0, t1 = 0, c1 = 0;
        bool batchEnded = false;
        SetTraceSink([&](const std::string& s) {
            if (s == "Entering RetrieveFile()\n") {
                t0 = WallSeconds();
                c0 = CpuSeconds();
            } else if (s == "RetrieveFile() Terminating normally\n") {
                t1 = WallSeconds();
                c1 = CpuSeconds();
                // What the dialog shows as the file ends.
                if (!shot.empty() && h.Frame()->m_pProgressDlg) h.Frame()->m_pProgressDlg->SaveScreenshot(shot.c_str());
            } else if (s == "JobEnd QBX_JE_FILEGET called\n") {
                batchEnded = true;
            }
        });
        if (ListFor(h, user)) {
            AppHarness::ClickListLine(h.Frame()->m_pRetrieveDlg, IDC_FILELIST, 0);
            h.prompts.saveAnswers.push_back(out);
            AppHarness::Click(h.Frame()->m_pRetrieveDlg, IDC_RETRIEVE);
            h.PumpUntil([&] { return batchEnded; }, 600000);
        }
        r.ok = batchEnded && t1 > 0 && h.prompts.Boxes().empty();
        r.seconds = t1 - t0;
        r.cpu = c1 - c0;
        if (!h.prompts.Boxes().empty()) r.note = "box";
        SetTraceSink({});
    }
    r.rssKiB = PeakRssKiB();
    std::fputs(FormatResult(r).c_str(), stdout);
    return r.ok ? 0 : 1;
}

// The listing of a user's files, rounds times: from the last listing bytes taken in
// (the last chunk handed to the parser) to the filled list on the screen. Reports the
// median in seconds, the mean CPU time of the span, and the worst round in the note.
int RunListingChild(int argc, char** argv, int port, const std::string& user, int rounds)
{
    QtPlatform platform(argc, argv);
    Result r;
    std::vector<double> spans;
    {
        AppHarness h(Ini(port));
        double lastChunk = 0, lastChunkCpu = 0, cpu = 0;
        SetTraceSink([&](const std::string& s) {
            if (s == "In Function ParseBuffer\n") {
                lastChunk = WallSeconds();
                lastChunkCpu = CpuSeconds();
            }
        });
        if (!h.Start()) return 1;
        for (int i = 0; i < rounds; ++i) {
            AppHarness::TypeInto(h.MainDlg(), 1001, user);
            AppHarness::Click(h.MainDlg(), IDOK);
            if (!h.PumpUntil([&] { return ListShown(h); }, 30000)) break;
            spans.push_back(WallSeconds() - lastChunk);
            cpu += CpuSeconds() - lastChunkCpu;
            r.bytes = static_cast<std::uint64_t>(h.Frame()->m_pDirectory->count);
            h.PumpPending();
            AppHarness::Click(h.Frame()->m_pRetrieveDlg, IDOK);  // Close: back to the main dialog
            if (!h.PumpUntil([&] { return !g_bDirectoryLoaded && h.MainDlg()->m_btnOK.IsWindowEnabled(); }, 10000)) {
                r.note = "close";
                break;
            }
        }
        SetTraceSink({});
        r.cpu = spans.empty() ? 0 : cpu / static_cast<double>(spans.size());
    }
    r.ok = static_cast<int>(spans.size()) == rounds;
    if (!spans.empty()) {
        std::sort(spans.begin(), spans.end());
        r.seconds = spans[spans.size() / 2];
        r.note = "worst=" + std::to_string(spans.back());
    }
    r.rssKiB = PeakRssKiB();
    std::fputs(FormatResult(r).c_str(), stdout);
    return r.ok ? 0 : 1;
}

}  // namespace bench
