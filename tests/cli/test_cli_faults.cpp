// Every misbehaviour of the printer, and a full disk, ends with the right status, no
// partial or temporary file, and nothing deleted on the printer.
#include "cli_fixture.h"

namespace {

constexpr std::size_t kSize = 64 * 1024;

}  // namespace

class CliFaults : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        path = Add("1234", "007", "20261207093005", kSize, 7);
    }
    CliRun GetDelete(std::vector<std::string> extra = {}, std::function<void()> childSetup = {},
                     std::function<void(pid_t)> during = {})
    {
        // The wait for a scan to settle has its own test below; a later --settle wins.
        std::vector<std::string> a = {"get",  "--printer",  Printer(),  "--user",   "1234",
                                      "--to", out.string(), "--delete", "--settle", "0"};
        a.insert(a.end(), extra.begin(), extra.end());
        return Run(a, childSetup, during);
    }
    void ExpectNothingLeftBehind(const CliRun& r, const std::string& says)
    {
        EXPECT_TRUE(OutFiles().empty()) << says << ": " << *OutFiles().begin();
        EXPECT_TRUE(DeletionJobs().empty()) << says;
        EXPECT_TRUE(fs::exists(store / path)) << says;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    std::string path;
};

TEST_F(CliFaults, PrinterThatRefusesOrStaysSilentEndsWithStatusThree)
{
    qbxsim::Knobs refuse;
    refuse.refuse = true;
    StartPrinter(refuse);
    CliRun r = GetDelete();
    EXPECT_EQ(r.status, 3);
    ExpectNothingLeftBehind(r, "Socket Connection Error: The attempt to connect was rejected.");

    qbxsim::Knobs silent;
    silent.silent = true;
    sim->SetKnobs(silent);
    auto t0 = std::chrono::steady_clock::now();
    CliRun s = GetDelete({"--timeout", "3"});
    EXPECT_EQ(s.status, 3);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(6));
    ExpectNothingLeftBehind(s, "did not answer before the time-out");
}

TEST_F(CliFaults, TransferThatGoesWrongLeavesNoFileAndDeletesNothing){struct Case{const char * what;
std::function<void(qbxsim::Knobs&)> knob;
std::string says;
}
cases[] = {
    {"silent upload", [](qbxsim::Knobs& k) { k.silent = true; }, "did not answer before the time-out"},
    {"cut mid-data", [](qbxsim::Knobs& k) { k.drop_after = 30000; }, "ended the connection after"},
    {"reset mid-data",
     [](qbxsim::Knobs& k) {
         k.drop_after = 30000;
         k.reset_on_drop = true;
     },
#ifdef QBX_CLI_UNDER_WINE
     // Wine's recv sees a reset as the end of the connection.
     "the printer ended the connection after"},
#else
     "reset by the remote side"},
#endif
    {"cut in the header", [](qbxsim::Knobs& k) { k.drop_after = 20; }, "before the file's first byte"},
    {"garbage header", [](qbxsim::Knobs& k) { k.extra_before = std::string(200, 'x'); }, "not the file"},
};
StartPrinter();
for (auto& c : cases) {
    qbxsim::Knobs k;
    k.apply_to = qbxsim::ApplyTo::UploadAnswers;
    c.knob(k);
    sim->SetKnobs(k);
    sim->ClearJobs();
    CliRun r = GetDelete({"--timeout", "4"});
    EXPECT_EQ(r.status, 1) << c.what << r.err;
    ExpectNothingLeftBehind(r, c.says);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.what << r.err;
}
}

// The file changes on the printer between the listing and the transfer: the store is
// changed once the printer has made its listing answer, whose rest it holds back long
// enough for the change to come before the transfer is asked for.
TEST_F(CliFaults, FileGoneOrGrownAfterTheListingIsNotCopied)
{
    struct Case {
        const char* what;
        std::function<void()> change;
        std::string says;
        int status;
    } cases[] = {
        {"gone", [&] { fs::remove(store / path); }, "not on the printer any more", 1},
        {"grown", [&] { std::ofstream(store / path, std::ios::app) << "more"; }, "changed on the printer", 1},
    };
    qbxsim::Knobs k;
    k.apply_to = qbxsim::ApplyTo::PostScriptAnswers;
    k.pieces = {5};
    k.piece_pause_ms = 2500;
    StartPrinter(k);
    for (auto& c : cases) {
        fs::remove(store / path);
        Add("1234", "007", "20261207093005", kSize, 7);
        sim->ClearJobs();
        CliRun r = GetDelete({}, {}, [&](pid_t) {
            ASSERT_TRUE(sim->WaitForAnswers(1, std::chrono::seconds(60)));
            c.change();
            ASSERT_EQ(sim->Jobs().size(), 1u) << c.what << ": the transfer was asked for before the change";
        });
        EXPECT_EQ(r.status, c.status) << c.what << r.err;
        EXPECT_TRUE(OutFiles().empty()) << c.what;
        EXPECT_TRUE(DeletionJobs().empty()) << c.what;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.what << r.err;
    }
}

// A scan the printer is still writing, page by page: it is fetched and deleted only
// once two listings the settle time apart show one size, so no page goes into a
// deleted file. A page comes every 300 ms, well within the 1 s settle time.
TEST_F(CliFaults, ScanStillBeingWrittenStaysOnThePrinterUntilItsSizeSettles)
{
    StartPrinter();
    fs::remove(store / path);
    path = Add("1234", "007", "20261207093005", 4000, 7);
    auto scan = std::make_unique<qbxsim::GrowingScan>(store / path, 4000, std::chrono::milliseconds(300));

    // get --delete and sync --delete alike: nothing fetched, nothing deleted.
    for (const char* command : {"get", "sync"}) {
        SCOPED_TRACE(command);
        sim->ClearJobs();
        CliRun r =
            Run({command, "--printer", Printer(), "--user", "1234", "--to", out.string(), "--delete", "--settle", "1"});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("2026-12-07_093005_007.TIF: the printer is still writing it ("), std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("it was left there and nothing was copied"), std::string::npos) << r.err;
        EXPECT_TRUE(OutFiles().empty());
        EXPECT_EQ(UploadJobs(), 0);
        EXPECT_TRUE(DeletionJobs().empty());
        EXPECT_TRUE(fs::exists(store / path));
    }

    // The last page written: the next run waits out the settle time, lists again, and
    // takes the whole scan.
    scan->Stop();
    const std::string whole = StoreBytes(path);
    sim->ClearJobs();
    CliRun done =
        Run({"get", "--printer", Printer(), "--user", "1234", "--to", out.string(), "--delete", "--settle", "1"});
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_TRUE(ReadWhole(out / "2026-12-07_093005_007.TIF") == whole);
    EXPECT_EQ(DeletionJobs().size(), 1u);
    int listings = 0;
    for (auto& j : sim->Jobs())
        if (j.bytes.find("filenameforall") != std::string::npos) ++listings;
    EXPECT_GE(listings, 3) << "the first listing, the one after the settle time, the check of the deletion";
}

TEST_F(CliFaults, FullDiskLeavesNoFileAndDeletesNothing)
{
    StartPrinter();
    CliRun r = GetDelete({}, [] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{16 * 1024, 16 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &lim);
    });
    EXPECT_EQ(r.status, 1) << r.err;
#ifdef QBX_CLI_UNDER_WINE
    ExpectNothingLeftBehind(r, "Cannot write");  // Wine words the reason its own way
#else
    ExpectNothingLeftBehind(r, "File too large");
#endif
    EXPECT_NE(r.err.find(AsWritten(out / "2026-12-07_093005_007.TIF")), std::string::npos) << r.err;
}

TEST_F(CliFaults, StopSignalDuringATransferRemovesTheTemporaryFile)
{
#ifdef QBX_CLI_UNDER_WINE
    // Wine hands SIGINT to the program as Ctrl+C; SIGTERM ends it outright.
    const int kStop = SIGINT;
#else
    const int kStop = SIGTERM;
#endif
    qbxsim::Knobs k;
    k.apply_to = qbxsim::ApplyTo::UploadAnswers;
    k.trickle_bytes = 1024;
    k.trickle_interval_ms = 50;
    StartPrinter(k);
    CliRun r =
        Run({"sync", "--printer", Printer(), "--user", "1234", "--to", out.string(), "--delete", "--settle", "0"}, {},
            [&](pid_t pid) {
                // Wait until the copy has begun, then stop the tool.
                Eventually([&] { return !OutFiles().empty(); });
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                ::kill(pid, kStop);
            });
    EXPECT_EQ(r.status, 128 + kStop) << r.err;
    EXPECT_TRUE(OutFiles().empty());
    EXPECT_TRUE(DeletionJobs().empty());
    EXPECT_TRUE(fs::exists(store / path));
}

TEST_F(CliFaults, LeftoverOfAKilledRunIsRemovedAndTheCopyMadeAgain)
{
    StartPrinter();
    std::ofstream(out / ".2026-12-07_093005_007.TIF.quillbox-0badf00d.part") << "half";
    CliRun r = Run({"sync", "--printer", Printer(), "--user", "1234", "--to", out.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"2026-12-07_093005_007.TIF"}));
}
