// Starting and stopping, runaway PostScript, the store helpers and the
// executable.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "sim_test_client.h"

extern char** environ;

namespace {
using namespace simtest;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::size_t CountEntries(const char* dir)
{
    std::size_t n = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir)) ++n;
    return n;
}

// Child processes of this test process (all threads).
std::set<std::string> Children()
{
    std::set<std::string> pids;
    for (auto& task : fs::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "children");
        std::string pid;
        while (in >> pid) pids.insert(pid);
    }
    return pids;
}

template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit = 10s)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

TEST(SimLifecycle, StartingAndStoppingAHundredTimesLeaksNothing)
{
    TempDir tmp;
    auto rel = qbxsim::AddImageOfSize(tmp.path(), "1234", "001", "20240101120000", 10);
    qbxsim::Options opt;
    opt.root = tmp.path();
    opt.port = 0;
    qbxsim::PrinterSim reused(opt);
    // One round first, so whatever the runtime sets up once (a sanitizer's own
    // thread, for one) is in the baseline.
    ASSERT_TRUE(reused.Start());
    {
        Client c(reused.Port());
    }
    reused.Stop();
    const std::size_t fds_before = CountEntries("/proc/self/fd");
    const std::size_t threads_before = CountEntries("/proc/self/task");
    for (int i = 0; i < 100; ++i) {
        // Half the rounds restart one object, half use a fresh one.
        std::unique_ptr<qbxsim::PrinterSim> fresh;
        qbxsim::PrinterSim* sim = &reused;
        if (i % 2) sim = (fresh = std::make_unique<qbxsim::PrinterSim>(opt)).get();
        ASSERT_TRUE(sim->Start()) << i << ": " << sim->LastError();
        Client idle(sim->Port());  // connected, sends nothing
        Client busy(sim->Port());
        ASSERT_TRUE(idle.ok() && busy.ok());
        if (i % 10 == 0) {
            ASSERT_TRUE(busy.Send(ListingJob("1234")));
            ASSERT_EQ(busy.ReadListing(), rel + "\t10\n%%%");
        } else {
            ASSERT_TRUE(busy.Send(UploadJob(rel)));
            ASSERT_EQ(busy.ReadBytes(UploadAnswer(rel, qbxsim::PatternBytes(10)).size()),
                      UploadAnswer(rel, qbxsim::PatternBytes(10)));
        }
        sim->Stop();
        std::string chunk;
        EXPECT_TRUE(idle.ReadOnce(chunk, 5s));  // the printer closed it
        EXPECT_TRUE(idle.eof() || idle.last_errno() != 0);
    }
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds_before);
    EXPECT_EQ(CountEntries("/proc/self/task"), threads_before);
    EXPECT_TRUE(Children().empty());
}

TEST(SimLifecycle, StopKillsARunningGhostscriptAndClosesItsConnection)
{
    SimFixtureBase f;
    ASSERT_TRUE(f.StartSim());
    Client c(f.port());
    ASSERT_TRUE(c.Send(PostScriptJob("%!\n{} loop\n")));
    ASSERT_TRUE(WaitFor([] { return !Children().empty(); }));
    f.sim().Stop();  // does not wait for the 20 s run time limit
    EXPECT_TRUE(Children().empty());
    EXPECT_EQ(c.ReadToEof(), "");
    EXPECT_TRUE(c.eof());
}

TEST(SimLifecycle, RunawayPostScriptIsKilledAndTheConnectionGoesOn)
{
    TempDir tmp;
    auto rel = qbxsim::AddImageOfSize(tmp.path(), "1234", "001", "20240101120000", 10);
    qbxsim::Options opt;
    opt.root = tmp.path();
    opt.port = 0;
    opt.gs_timeout_ms = 500;
    qbxsim::PrinterSim sim(opt);
    ASSERT_TRUE(sim.Start());
    Client c(sim.Port());
    // The upload behind it is answered once the endless program has been killed. A
    // loaded machine may take its time over starting and ending Ghostscript: the waits
    // are for the end of the connection and for the last child, a minute at the most.
    ASSERT_TRUE(c.Send(PostScriptJob("%!\n{} loop\n") + UploadJob(rel)));
    c.ShutdownWrite();
    EXPECT_EQ(c.ReadToEof(60s), UploadAnswer(rel, qbxsim::PatternBytes(10)));
    EXPECT_TRUE(c.eof());
    EXPECT_TRUE(WaitFor([] { return Children().empty(); }, 60s));
}

// What a client can make the printer hold is bounded: a connection that stays silent
// is closed after the idle time (16 of them no longer block everyone), and an error
// flood from a PostScript program keeps only its beginning.
TEST(SimLifecycle, IdleConnectionsAndErrorFloodsAreBounded)
{
    TempDir tmp;
    auto rel = qbxsim::AddImageOfSize(tmp.path(), "1234", "001", "20240101120000", 10);
    qbxsim::Options opt;
    opt.root = tmp.path();
    opt.port = 0;
    opt.knobs.idle_timeout_ms = 300;
    std::mutex mu;
    std::vector<std::string> log;
    opt.log = [&](const std::string& line) {
        std::lock_guard lk(mu);
        log.push_back(line);
    };
    qbxsim::PrinterSim sim(opt);
    ASSERT_TRUE(sim.Start());

    std::vector<std::unique_ptr<Client>> idle;
    for (int i = 0; i < 16; ++i) idle.push_back(std::make_unique<Client>(sim.Port()));
    ASSERT_TRUE(idle[0]->Send(UploadJob(rel).substr(0, 20)));  // half a job, then nothing
    Client late(sim.Port());
    ASSERT_TRUE(late.Send(UploadJob(rel)));
    EXPECT_EQ(late.ReadBytes(UploadAnswer(rel, qbxsim::PatternBytes(10)).size()),
              UploadAnswer(rel, qbxsim::PatternBytes(10)));
    EXPECT_EQ(idle[0]->ReadToEof(), "");
    EXPECT_TRUE(idle[0]->eof());

    // About 8 MB on the error output; the answer still comes, and the log says how
    // much was not kept.
    Client flood(sim.Port());
    ASSERT_TRUE(flood.Send(PostScriptJob("%!\n/e (%stderr) (w) file def\n"
                                         "1 1 100000 { pop e (0123456789012345678901234567890123456789"
                                         "0123456789012345678901234567890123456789) writestring } for\n"
                                         "(done) print flush\n")));
    EXPECT_EQ(flood.ReadUntilSuffix("done", 30s), "done");
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard lk(mu);
        for (const std::string& line : log)
            if (line.find("Ghostscript stderr:") != std::string::npos &&
                line.find("more bytes not kept") != std::string::npos)
                return true;
        return false;
    }));
}

// A scan still being written grows by one page after each pause, and no more once
// stopped or finished.
TEST(SimStore, GrowingScanAddsAPageAfterEachPause)
{
    TempDir tmp;
    const fs::path file = tmp.path() / qbxsim::AddImageOfSize(tmp.path(), "1234", "001", "20240101120000", 100);
    {
        qbxsim::GrowingScan scan(file, 50, 20ms, 3);
        ASSERT_TRUE(WaitFor([&] { return scan.Finished(); }));
        EXPECT_EQ(scan.PagesWritten(), 3);
    }
    EXPECT_EQ(fs::file_size(file), 250u);
    qbxsim::GrowingScan endless(file, 50, 20ms);
    ASSERT_TRUE(WaitFor([&] { return endless.PagesWritten() >= 2; }));
    endless.Stop();
    const auto size = fs::file_size(file);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(fs::file_size(file), size);
    EXPECT_EQ(size, 250u + 50u * static_cast<unsigned>(endless.PagesWritten()));
    EXPECT_FALSE(endless.Finished());
}

TEST(SimLifecycle, StartFailsOnAPortInUse)
{
    SimFixtureBase f;
    ASSERT_TRUE(f.StartSim());
    qbxsim::Options opt;
    opt.root = f.root();
    opt.port = f.port();
    qbxsim::PrinterSim second(opt);
    EXPECT_FALSE(second.Start());
    EXPECT_NE(second.LastError().find("bind"), std::string::npos) << second.LastError();
}

TEST(SimStore, HelpersMakeTheNamesAndContentsAsked)
{
    TempDir tmp;
    auto many = qbxsim::AddManyImages(tmp.path(), "9", 1200, 4);
    EXPECT_EQ(std::set<std::string>(many.begin(), many.end()).size(), 1200u);
    EXPECT_EQ(qbxsim::ListStore(tmp.path()).size(), 1200u);
    for (auto& n : many) {
        ASSERT_EQ(n.size(), std::string("DXR/Images/9(000)(20240101000000).TIF").size()) << n;
        ASSERT_EQ(fs::file_size(tmp.path() / n), 4u);
    }

    auto a = qbxsim::PatternBytes(1024, 1), b = qbxsim::PatternBytes(1024, 2);
    EXPECT_EQ(a, qbxsim::PatternBytes(1024, 1));
    EXPECT_NE(a, b);
    EXPECT_EQ(std::set<char>(a.begin(), a.end()).size(), 256u);
}

TEST(SimStore, SampleStoreHoldsRealTiffsForSeveralUsers)
{
    TempDir tmp;
    std::string err;
    ASSERT_TRUE(qbxsim::MakeSampleStore(tmp.path(), "gs", &err)) << err;
    auto files = qbxsim::ListStore(tmp.path());
    ASSERT_GE(files.size(), 6u);
    std::set<std::string> users, user_seq;
    bool duplicate_seq = false;
    for (auto& f : files) {
        std::string name = f.substr(std::string("DXR/Images/").size());
        auto p1 = name.find('('), p2 = name.find(")(");
        ASSERT_NE(p2, std::string::npos) << name;
        users.insert(name.substr(0, p1));
        duplicate_seq |= !user_seq.insert(name.substr(0, p2)).second;
        std::ifstream in(tmp.path() / f, std::ios::binary);
        char magic[4] = {};
        in.read(magic, 4);
        EXPECT_EQ(std::string(magic, 4), std::string("II*\0", 4)) << f;
        EXPECT_GT(fs::file_size(tmp.path() / f), 1000u) << f;
    }
    EXPECT_EQ(users, (std::set<std::string>{"1234", "12345", "42"}));
    EXPECT_TRUE(duplicate_seq);

    // A store with files is left alone.
    ASSERT_TRUE(qbxsim::MakeSampleStore(tmp.path(), "gs", &err));
    EXPECT_EQ(qbxsim::ListStore(tmp.path()), files);
    EXPECT_EQ(CountEntries(tmp.path().c_str()), 1u);  // only DXR: no render leftovers
}

#ifdef QBX_SIM_EXE
TEST(SimExecutable, PrintsItsPortServesRecordsAndStopsOnSigterm)
{
    TempDir tmp;
    auto rel = qbxsim::AddImageOfSize(tmp.path() / "store", "1234", "001", "20240101120000", 10);
    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    std::string exe = QBX_SIM_EXE, root = (tmp.path() / "store").string(), rec = (tmp.path() / "rec").string();
    std::vector<std::string> args = {exe,        "--root", root,      "--port",        "0",
                                     "--record", rec,      "--quiet", "--extra-after", "\\r\\n"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    ASSERT_EQ(::posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);

    std::string line;
    char ch;
    while (::read(out[0], &ch, 1) == 1 && ch != '\n') line += ch;
    ::close(out[0]);
    auto at = line.find(" port ");
    ASSERT_NE(at, std::string::npos) << line;
    int port = std::atoi(line.c_str() + at + 6);
    ASSERT_GT(port, 0) << line;

    {
        Client c(static_cast<std::uint16_t>(port));
        ASSERT_TRUE(c.Send(ListingJob("1234")));
        EXPECT_EQ(c.ReadUntilSuffix("%%%\r\n"), rel + "\t10\n%%%\r\n");
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::vector<fs::path> recorded;
    for (auto& e : fs::directory_iterator(rec)) recorded.push_back(e.path());
    ASSERT_EQ(recorded.size(), 1u);
    std::ifstream in(recorded[0], std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), ListingJob("1234"));
}

// Help asked for goes to stdout with status 0, as the other two programs do; a bad
// option says why on stderr with status 2.
TEST(SimExecutable, HelpOnStdoutAndBadOptionsOnStderr)
{
    struct Case {
        const char* args;
        int status;
        bool usageOnStdout;
        const char* says;  // on stderr
    } cases[] = {
        {"--help", 0, true, ""},
        {"-h", 0, true, ""},
        {"--frobnicate", 2, false, "quillbox-printer-sim: unknown option --frobnicate\n"},
    };
    TempDir tmp;
    const std::string err = (tmp.path() / "err").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        std::FILE* p = ::popen(("'" QBX_SIM_EXE "' " + std::string(c.args) + " 2>'" + err + "'").c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string out;
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        const int st = ::pclose(p);
        ASSERT_TRUE(WIFEXITED(st));
        EXPECT_EQ(WEXITSTATUS(st), c.status);
        std::ifstream in(err);
        const std::string errText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string& usage = c.usageOnStdout ? out : errText;
        EXPECT_EQ(usage.rfind(c.says, 0), 0u) << usage;
        EXPECT_NE(usage.find("usage: quillbox-printer-sim [options]\n"), std::string::npos) << usage;
        EXPECT_EQ((c.usageOnStdout ? errText : out), "");
    }
}
#endif

}  // namespace
