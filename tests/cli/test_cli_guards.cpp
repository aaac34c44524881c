// The tool's refusals and failure roads, one row each, end to end against the
// simulated printer: a name that makes no file, two scans for one name, something in
// the way, a stop between files, a printer that goes away between the copy and the
// deletion or between the listing and the copy, a folder that goes away, a copy that
// the disk does not sync, a comparison that cannot be finished. Each row checks the
// exit status, the message, the folder, and what is left on the printer.
#include "cli_fixture.h"

#include <sys/stat.h>

#include <optional>

class CliGuards;

namespace {

// What must hold after a row's command.
struct Outcome {
    int status = 1;
    std::vector<std::string> says;  // each somewhere in stderr or stdout
    std::set<std::string> folder;   // every name in the output folder afterwards
    // Every store path afterwards (none: the row checks it itself).
    std::optional<std::set<std::string>> printer = std::set<std::string>{};
    int uploads = -1;              // upload jobs the printer got (-1: not checked)
    int deletions = -1;            // deletion jobs the printer got (-1: not checked)
    std::vector<std::string> env;  // added to the tool's environment
    std::function<void(pid_t)> during;
    std::function<void(const CliRun&)> more;
};

struct GuardRow {
    const char* name;
    bool posixOnly;  // needs what Wine does not give (the fault library, signals as sent)
    // Fills the store and the folder, says what must hold; returns the arguments
    // after the command's name (the printer and user are added).
    std::function<std::vector<std::string>(CliGuards&, Outcome&)> arrange;
};

}  // namespace

class CliGuards : public CliTest, public ::testing::WithParamInterface<GuardRow> {
public:
    // For the rows, which arrange the printer and the folder from outside.
    using CliTest::Add;
    using CliTest::base;
    using CliTest::out;
    using CliTest::sim;
    using CliTest::StoreBytes;
    std::set<std::string> Store() const
    {
        auto v = qbxsim::ListStore(store);
        return {v.begin(), v.end()};
    }
    std::string In(const std::string& name) const { return AsWritten(out / name); }
    std::string Written(const fs::path& p) const { return AsWritten(p); }
    // The first line of an upload answer for store path p of size bytes.
    static std::string UploadHeader(const std::string& p, std::size_t size)
    {
        return "@PJL FSUPLOAD FORMAT:BINARY NAME=\"" + p + "\" OFFSET=0 SIZE=" + std::to_string(size) + "\r\n";
    }
    // Knobs that hold the answers of kind back a while after their first bytes, so a
    // test can change the printer in between.
    static qbxsim::Knobs HeldBack(qbxsim::ApplyTo kind, std::size_t first = 5)
    {
        qbxsim::Knobs k;
        k.apply_to = kind;
        k.pieces = {first};
        k.piece_pause_ms = 1500;
        return k;
    }
    // Once the printer has received n jobs, it refuses every new connection.
    // (The answer under way keeps the knobs it began with, whichever it began with.)
    std::function<void(pid_t)> RefuseAfterJobs(std::size_t n)
    {
        return [this, n](pid_t) {
            ASSERT_TRUE(sim->WaitForJobs(n, std::chrono::seconds(20)));
            qbxsim::Knobs refuse = sim->GetKnobs();
            refuse.refuse = true;
            sim->SetKnobs(refuse);
        };
    }
    // The upload of p ends with the connection right after its last byte (a whole
    // copy), and meanwhile the printer stopped taking connections: the deletion, which
    // needs a new one, cannot be sent.
    void GoneAfterTheUpload(const std::string& p, std::size_t size, Outcome& x)
    {
        qbxsim::Knobs k = HeldBack(qbxsim::ApplyTo::UploadAnswers, 1000);
        k.drop_after = UploadHeader(p, size).size() + size;
        sim->SetKnobs(k);
        x.during = RefuseAfterJobs(2);
    }
};

TEST_P(CliGuards, EndsWithNothingLost)
{
    const GuardRow& row = GetParam();
#ifdef QBX_CLI_UNDER_WINE
    if (row.posixOnly) GTEST_SKIP() << "a Linux-only road";
#endif
    StartPrinter();
    Outcome x;
    std::vector<std::string> args = row.arrange(*this, x);
    auto common = Common();
    args.insert(args.begin() + 1, common.begin(), common.end());
    sim->ClearJobs();
    CliRun r = Run(args, {}, x.during, x.env);
    EXPECT_EQ(r.status, x.status) << r.err;
    for (const std::string& s : x.says) EXPECT_NE((r.err + r.out).find(s), std::string::npos) << s << "\n" << r.err;
    EXPECT_EQ(OutFiles(), x.folder);
    // Ghostscript runs a deletion after its job has been received.
    auto settled = [&] { return !x.printer || Store() == *x.printer; };
    Eventually(settled);
    if (x.printer) {
        EXPECT_EQ(Store(), *x.printer);
    }
    if (x.uploads >= 0) {
        EXPECT_EQ(UploadJobs(), x.uploads);
    }
    if (x.deletions >= 0) {
        EXPECT_EQ(static_cast<int>(DeletionJobs().size()), x.deletions);
    }
    if (x.more) x.more(r);
}

namespace {

using Args = std::vector<std::string>;

void PrintTo(const GuardRow& row, std::ostream* os) { *os << row.name; }

const GuardRow kGuardRows[] = {
    // POSIX only: on Windows the copy's temporary name is longer than 259 characters
    // here too, so the first file is refused as well (a row of the local-copy tests).
    {"NameThatMakesNoFileIsRefusedAlone", true,
     [](CliGuards& t, Outcome& x) {
         // A folder of 251 characters: "007.TIF" fits within the longest path (259),
         // the duplicate's "007_1.TIF" does not.
         const std::string top(100, 'd');
         std::string deep = t.out.string() + "/" + top + "/";
         deep += std::string(251 - deep.size(), 'e');
         fs::create_directories(deep);
         std::string one = t.Add("1234", "007", "20261207090000", 100, 1);
         std::string two = t.Add("1234", "007", "20261207090001", 100, 2);
         x.says = {": its name cannot be made into a local file name in " + deep};
         x.folder = {top};
         x.printer.reset();
         x.deletions = 1;
         x.more = [&t, deep, one, two](const CliRun& r) {
             EXPECT_EQ(r.out, deep + "/007.TIF\n");
             // The scan copied is the one deleted; the other stays.
             const bool firstCopied = ReadWhole(deep + "/007.TIF") == qbxsim::PatternBytes(100, 1);
             EXPECT_EQ(t.Store(), std::set<std::string>{firstCopied ? two : one});
             EXPECT_EQ(std::distance(fs::directory_iterator(deep), fs::directory_iterator()), 1);
         };
         return Args{"get", "--to", deep, "--delete", "--short-names"};
     }},
    {"TwoScansForOneNameCopyTheFirstOnly", false,
     [](CliGuards& t, Outcome& x) {
         // A date field with a digit too many gives the same stable name as the other
         // scan: whichever the printer lists second is not written over the first.
         std::string one = t.Add("1234", "007", "20261207090000", 100, 1);
         std::string two = t.Add("1234", "007", "202612070900009", 100, 2);
         x.says = {"would be saved under the same name as another file of this batch (" +
                   t.In("2026-12-07_090000_007.TIF") + "); it was not copied"};
         x.folder = {"2026-12-07_090000_007.TIF"};
         x.printer.reset();
         x.uploads = 1;
         x.deletions = 1;
         x.more = [&t, one, two](const CliRun&) {
             // The one copied is the one deleted; the other stays.
             const std::string copy = ReadWhole(t.out / "2026-12-07_090000_007.TIF");
             const bool firstCopied = copy == qbxsim::PatternBytes(100, 1);
             EXPECT_TRUE(firstCopied || copy == qbxsim::PatternBytes(100, 2));
             EXPECT_EQ(t.Store(), std::set<std::string>{firstCopied ? two : one});
         };
         return Args{"sync", "--to", t.out.string(), "--delete"};
     }},
    {"SomethingInTheWayOfSyncIsLeftAlone", true,
     [](CliGuards& t, Outcome& x) {
         std::string a = t.Add("1234", "007", "20261207090000", 100, 1);
         std::string b = t.Add("1234", "008", "20261207090001", 100, 2);
         fs::create_directories(t.out / "2026-12-07_090000_007.TIF");
         fs::create_symlink(t.base / "elsewhere", t.out / "2026-12-07_090001_008.TIF");
         std::ofstream(t.base / "elsewhere", std::ios::binary) << qbxsim::PatternBytes(100, 2);
         const std::string inTheWay =
             " is in the way and is not a plain file (a link, folder, pipe or device); it was left alone";
         x.says = {t.In("2026-12-07_090000_007.TIF") + inTheWay, t.In("2026-12-07_090001_008.TIF") + inTheWay};
         x.folder = {"2026-12-07_090000_007.TIF", "2026-12-07_090001_008.TIF"};
         x.printer = {a, b};
         x.uploads = 0;
         x.deletions = 0;
         return Args{"sync", "--to", t.out.string(), "--delete"};
     }},
    {"FolderAtTheDestinationIsNeverOverwritten", false,
     [](CliGuards& t, Outcome& x) {
         x.printer = {t.Add("1234", "008", "20261207090000", 100, 1)};
         fs::create_directories(t.out / "008.TIF" / "inside");
         x.says = {t.In("008.TIF") + " is a folder; nothing was copied (move it away to fetch the scan)"};
         x.folder = {"008.TIF"};
         x.uploads = 0;
         x.deletions = 0;
         x.more = [&t](const CliRun&) { EXPECT_TRUE(fs::is_directory(t.out / "008.TIF" / "inside")); };
         return Args{"get", "--to", t.out.string(), "--delete", "--overwrite", "--short-names"};
     }},
    {"PrinterGoneBeforeTheDeletionKeepsCopyAndScan", false,
     [](CliGuards& t, Outcome& x) {
         std::string p = t.Add("1234", "008", "20261207090000", 5000, 1);
         t.GoneAfterTheUpload(p, 5000, x);
         x.says = {"2026-12-07_090000_008.TIF: copied to " + t.In("008.TIF") +
                   " but not deleted on the printer: Socket Connection Error: The attempt to connect was rejected."};
         x.folder = {"008.TIF"};
         x.printer = {p};
         x.deletions = 0;
         x.more = [&t, p](const CliRun& r) {
             EXPECT_EQ(r.out, t.In("008.TIF") + "\n");
             EXPECT_TRUE(ReadWhole(t.out / "008.TIF") == t.StoreBytes(p));
         };
         return Args{"get", "--to", t.out.string(), "--delete", "--short-names"};
     }},
    {"PrinterGoneBeforeTheDeletionOfAProvedCopy", false,
     [](CliGuards& t, Outcome& x) {
         std::string p = t.Add("1234", "008", "20261207090000", 5000, 1);
         std::ofstream(t.out / "2026-12-07_090000_008.TIF", std::ios::binary) << t.StoreBytes(p);
         t.GoneAfterTheUpload(p, 5000, x);
         x.says = {"2026-12-07_090000_008.TIF: equal to " + t.In("2026-12-07_090000_008.TIF") +
                   " but not deleted on the printer: Socket Connection Error"};
         x.folder = {"2026-12-07_090000_008.TIF"};
         x.printer = {p};
         x.deletions = 0;
         return Args{"sync", "--to", t.out.string(), "--delete"};
     }},
    {"PrinterGoneAfterTheListingCopiesAndComparesNothing", false,
     [](CliGuards& t, Outcome& x) {
         std::string here = t.Add("1234", "007", "20261207090000", 3000, 1);
         std::string fresh = t.Add("1234", "008", "20261207090001", 3000, 2);
         std::ofstream(t.out / "2026-12-07_090000_007.TIF", std::ios::binary) << t.StoreBytes(here);
         t.sim->SetKnobs(CliGuards::HeldBack(qbxsim::ApplyTo::PostScriptAnswers));
         x.during = t.RefuseAfterJobs(1);
         const std::string refused = ": Socket Connection Error: The attempt to connect was rejected.";
         x.says = {"2026-12-07_090000_007.TIF" + refused, "2026-12-07_090001_008.TIF" + refused};
         x.folder = {"2026-12-07_090000_007.TIF"};
         x.printer = {here, fresh};
         x.uploads = 0;
         x.deletions = 0;
         return Args{"sync", "--to", t.out.string(), "--delete"};
     }},
    {"FolderRemovedDuringTheListingFailsEachFile", false,
     [](CliGuards& t, Outcome& x) {
         fs::path sub = t.out / "sub";
         fs::create_directories(sub);
         x.printer = {t.Add("1234", "008", "20261207090000", 100, 1)};
         t.sim->SetKnobs(CliGuards::HeldBack(qbxsim::ApplyTo::PostScriptAnswers));
         x.during = [&t, sub](pid_t) {
             ASSERT_TRUE(t.sim->WaitForJobs(1, std::chrono::seconds(20)));
             fs::remove_all(sub);
         };
         x.says = {"2026-12-07_090000_008.TIF: Cannot create a file in " + t.Written(sub)};
         x.uploads = 0;
         x.deletions = 0;
         return Args{"get", "--to", sub.string(), "--delete"};
     }},
    {"CopyTheDiskDoesNotSyncIsRefused", true,
     [](CliGuards& t, Outcome& x) {
         x.printer = {t.Add("1234", "008", "20261207090000", 100000, 1)};
         x.env = {"LD_PRELOAD=" QBX_FAULT_SHIM, "QBX_FAULT=fsync=EIO", "ASAN_OPTIONS=verify_asan_link_order=0"};
         x.says = {"2026-12-07_090000_008.TIF: Cannot save to disk " + t.In("008.TIF") +
                   ": Input/output error; nothing was put in place"};
         x.deletions = 0;
         x.more = [](const CliRun& r) { EXPECT_EQ(r.out, ""); };
         return Args{"get", "--to", t.out.string(), "--delete", "--short-names"};
     }},
    {"CopyFoundInTheFolderThatTheDiskDoesNotSyncIsNotDeleted", true,
     [](CliGuards& t, Outcome& x) {
         // Equal to the printer's file, but (left by a run stopped before its folder was
         // synced, or by another program) not known to be on the disk.
         std::string p = t.Add("1234", "008", "20261207090000", 5000, 1);
         std::ofstream(t.out / "2026-12-07_090000_008.TIF", std::ios::binary) << t.StoreBytes(p);
         x.env = {"LD_PRELOAD=" QBX_FAULT_SHIM, "QBX_FAULT=fsynckept=EIO", "ASAN_OPTIONS=verify_asan_link_order=0"};
         x.says = {"2026-12-07_090000_008.TIF: " + t.In("2026-12-07_090000_008.TIF") +
                   " cannot be saved to disk: Input/output error; it was not deleted on the printer"};
         x.folder = {"2026-12-07_090000_008.TIF"};
         x.printer = {p};
         x.deletions = 0;
         return Args{"sync", "--to", t.out.string(), "--delete"};
     }},
    {"ComparisonCutShortDeletesNothing", false,
     [](CliGuards& t, Outcome& x) {
         std::string p = t.Add("1234", "008", "20261207090000", 5000, 1);
         std::ofstream(t.out / "2026-12-07_090000_008.TIF", std::ios::binary) << t.StoreBytes(p);
         qbxsim::Knobs k;
         k.apply_to = qbxsim::ApplyTo::UploadAnswers;
         k.drop_after = CliGuards::UploadHeader(p, 5000).size() + 2000;
         t.sim->SetKnobs(k);
         x.says = {"2026-12-07_090000_008.TIF: the printer ended the connection after 2000 of 5000 bytes; it was "
                   "not deleted on the printer"};
         x.folder = {"2026-12-07_090000_008.TIF"};
         x.printer = {p};
         x.deletions = 0;
         x.more = [&t, p](const CliRun&) {
             EXPECT_TRUE(ReadWhole(t.out / "2026-12-07_090000_008.TIF") == t.StoreBytes(p));
         };
         return Args{"sync", "--to", t.out.string(), "--delete"};
     }},
    {"ComparisonWithoutAUsableSizeDeletesNothing", false,
     [](CliGuards& t, Outcome& x) {
         // A listed size the reader cannot take whole ("3x"), and a local file of three
         // bytes under the scan's stable name.
         qbxsim::Knobs k;
         k.apply_to = qbxsim::ApplyTo::PostScriptAnswers;
         k.extra_before = "DXR/Images/1234(077)(20261207093005).TIF\t3x\n";
         t.sim->SetKnobs(k);
         std::ofstream(t.out / "2026-12-07_093005_077.TIF") << "abc";
         t.Add("1234", "008", "20261207090000", 100, 1);
         // Listed but not taken (lower case): the listing again after the deletion is
         // not empty.
         x.printer = {t.Add("1234", "010", "20261207090002", 100, 5, ".tif")};
         x.says = {"2026-12-07_093005_077.TIF: the printer listed no usable size (\"3x\"); it cannot be compared "
                   "with " +
                   t.In("2026-12-07_093005_077.TIF")};
         x.folder = {"2026-12-07_093005_077.TIF", "2026-12-07_090000_008.TIF"};
         x.uploads = 1;
         x.more = [&t](const CliRun&) { EXPECT_EQ(ReadWhole(t.out / "2026-12-07_093005_077.TIF"), "abc"); };
         return Args{"sync", "--to", t.out.string(), "--delete"};
     }},
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Roads, CliGuards, ::testing::ValuesIn(kGuardRows),
                         [](const ::testing::TestParamInfo<GuardRow>& info) { return std::string(info.param.name); });

// A stop signal between the files of a batch: the file copied stays copied (its
// deletion already sent), the one in progress leaves nothing behind, and no further
// file is begun or compared.
class CliStopMidBatch : public CliTest {};

TEST_F(CliStopMidBatch, FilesAfterTheStopAreNeitherCopiedNorDeleted)
{
#ifdef QBX_CLI_UNDER_WINE
    const int kStop = SIGINT;  // Wine hands SIGTERM to no handler
#else
    const int kStop = SIGTERM;
#endif
    struct Case {
        const char* what;
        bool local;  // the copies are in the folder already: sync compares
    } cases[] = {{"get --delete copies", false}, {"sync --delete compares", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(store);
        qbxsim::EnsureStore(store);
        fs::remove_all(out);
        fs::create_directories(out);
        std::vector<std::string> paths = {Add("1234", "001", "20261207090001", 20000, 1),
                                          Add("1234", "002", "20261207090002", 20000, 2),
                                          Add("1234", "003", "20261207090003", 20000, 3)};
        const std::vector<std::string> names = {"2026-12-07_090001_001.TIF", "2026-12-07_090002_002.TIF",
                                                "2026-12-07_090003_003.TIF"};
        if (c.local)
            for (std::size_t i = 0; i < 3; ++i) std::ofstream(out / names[i], std::ios::binary) << StoreBytes(paths[i]);
        qbxsim::Knobs k;
        k.apply_to = qbxsim::ApplyTo::UploadAnswers;
        k.trickle_bytes = 2048;
        k.trickle_interval_ms = 100;
        if (!sim) StartPrinter(k);
        sim->SetKnobs(k);
        sim->ClearJobs();
        std::vector<std::string> args = {c.local ? "sync" : "get", "--to", out.string(), "--delete"};
        if (!c.local) args.push_back("--short-names");
        auto common = Common();
        args.insert(args.begin() + 1, common.begin(), common.end());
        CliRun r = Run(args, {}, [&](pid_t pid) {
            // Stopped once the first file's deletion is out and the second is on its way.
            Eventually([&] { return DeletionJobs().size() >= 1 && UploadJobs() >= 2; });
            ::kill(pid, kStop);
        });
        EXPECT_EQ(r.status, 128 + kStop) << r.err;
        EXPECT_EQ(UploadJobs(), 2);
        EXPECT_EQ(DeletionJobs().size(), 1u);
        std::set<std::string> folder =
            c.local ? std::set<std::string>(names.begin(), names.end()) : std::set<std::string>{"001.TIF"};
        EXPECT_EQ(OutFiles(), folder);
        Eventually([&] { return qbxsim::ListStore(store).size() <= 2; });
        EXPECT_EQ(qbxsim::ListStore(store), (std::vector<std::string>{paths[1], paths[2]}));
        if (!c.local) {
            EXPECT_EQ(r.out, AsWritten(out / "001.TIF") + "\n");
        }
    }
}
