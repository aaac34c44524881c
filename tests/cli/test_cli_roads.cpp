// Roads by which a scan could be lost, or a script misled, through quillbox-cli: one
// row each, checking the exit status, the message, the folder and what is left on the
// printer.
#include "cli_fixture.h"

#include <sys/stat.h>

#include <algorithm>

namespace {

// What must hold after a row's command.
struct Expect {
    int status = 0;
    std::vector<std::string> says;  // each somewhere in stderr or stdout
    std::set<std::string> folder;   // every name in the folder afterwards
    std::set<std::string> printer;  // every store path afterwards (empty: all deleted)
    int uploads = -1;               // upload jobs the printer got (-1: not checked)
    int deletions = -1;             // deletion jobs the printer got (-1: not checked)
    bool common = true;             // the command gets --printer and --user
    std::function<void()> childSetup;
    std::function<void(pid_t)> during;        // acts while the command runs
    std::function<void(const CliRun&)> more;  // further checks
};

struct Road {
    const char* name;  // the test's name
    const char* what;
    qbxsim::Knobs knobs;
    // Fills the store and the folder, says what must hold, returns the arguments.
    std::function<std::vector<std::string>(Expect&)> arrange;
};

bool HasControlBytes(const std::string& text)
{
    for (unsigned char c : text)
        if ((c < 0x20 && c != '\n') || c == 0x7F || (c >= 0x80 && c <= 0x9F)) return true;
    return false;
}

// One test a road, by its name.
const char* const kRoads[] = {
    "DuplicateNumberOrSharedNameIsRefused",
    "BareConfigNameIsReadFromTheCurrentFolder",
    "LinkPipeOrFolderLinkAtTheDestinationIsThere",
    "FileAppearingDuringTheCopyIsKept",
    "DeletionOnAClosedConnectionIsNotDone",
    "DeletionRefusedByThePrinterIsNotDone",
    "SyncDeletesOnlyWhatIsProvedEqual",
    "ControlCharactersNeverReachTheTerminal",
    "FileTooLargeForOneAnswerIsRefused",
    "GetNamesCopiesByStableName",
    "PipeAsSettingsFileIsRefusedAtOnce",
    "NameStartingWithADotIsSavedVisibly",
};

}  // namespace

class CliRoads : public CliTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        sys = base / "system";
        fs::create_directories(sys);
        ::setenv("QUILLBOX_SYSTEM_DIR", sys.c_str(), 1);
        StartPrinter();
    }
    void TearDown() override
    {
        ::unsetenv("QUILLBOX_SYSTEM_DIR");
        CliTest::TearDown();
    }
    std::set<std::string> Store() const
    {
        auto v = qbxsim::ListStore(store);
        return {v.begin(), v.end()};
    }
    std::string In(const std::string& name) const { return (out / name).string(); }
    std::vector<Road> Roads();

    fs::path sys;  // the system folder of settings named without a folder
};

std::vector<Road> CliRoads::Roads()
{
    return {
        {"DuplicateNumberOrSharedNameIsRefused",
         "a duplicate number or a shared display name is refused; the stable name is taken",
         {},
         [&](Expect& x) {
             std::string a = Add("1234", "003", "20261207090000", 100, 1);
             Add("1234", "003", "20261207100000", 200, 2);
             x.status = 1;
             x.says = {"003_1.TIF: a duplicate number is a place in today's listing",
                       "003.TIF: names 2 scans on the printer; nothing was done", "2026-12-07_090000_003.TIF",
                       "deleted 2026-12-07_100000_003.TIF\n"};
             x.printer = {a};
             x.deletions = 1;
             return std::vector<std::string>{"delete", "--yes", "003_1.TIF", "003.TIF", "2026-12-07_100000_003.TIF"};
         }},
        {"BareConfigNameIsReadFromTheCurrentFolder",
         "--config with a bare file name reads every key from that file in the current folder",
         {},
         [&](Expect& x) {
             Add("1234", "007", "20261207090000", 100, 1);
             std::string other = Add("12345", "008", "20261207100000", 100, 2);
             std::string printer = "[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=" + std::to_string(sim->Port());
             std::ofstream(base / "my.ini") << printer << "\n[CommandLine]\nUserID=1234\n";
             std::ofstream(sys / "my.ini") << printer << "\n[CommandLine]\nUserID=12345\n";
             x.common = false;
             x.childSetup = [dir = base.string()] { [[maybe_unused]] int r = ::chdir(dir.c_str()); };
             x.folder = {"2026-12-07_090000_007.TIF"};
             x.printer = {other};
             return std::vector<std::string>{"sync",     "--to",   out.string(), "--delete",
                                             "--config", "my.ini", "--settle",   "0"};
         }},
        {"LinkPipeOrFolderLinkAtTheDestinationIsThere",
         "a dangling link, a pipe or a link to a folder at the destination is already there",
         {},
         [&](Expect& x) {
             x.printer = {Add("1234", "005", "20261207090000", 100, 1), Add("1234", "006", "20261207090001", 100, 2),
                          Add("1234", "008", "20261207090002", 100, 3)};
             fs::create_directories(base / "folder");
             fs::create_symlink(base / "nowhere", out / "005.TIF");
             ::mkfifo(In("006.TIF").c_str(), 0644);
             fs::create_symlink(base / "folder", out / "008.TIF");
             x.status = 1;
             x.says = {In("005.TIF") + " already exists", In("006.TIF") + " already exists",
                       In("008.TIF") + " already exists"};
             x.folder = {"005.TIF", "006.TIF", "008.TIF"};
             x.uploads = 0;
             x.deletions = 0;
             x.more = [&](const CliRun&) {
                 EXPECT_TRUE(fs::is_symlink(out / "005.TIF") && !fs::exists(out / "005.TIF"));
                 EXPECT_TRUE(fs::is_fifo(fs::symlink_status(out / "006.TIF")));
                 EXPECT_TRUE(fs::is_symlink(out / "008.TIF") && fs::is_empty(base / "folder"));
             };
             return std::vector<std::string>{"get", "--to", out.string(), "--delete", "--short-names"};
         }},
        {"FileAppearingDuringTheCopyIsKept",
         "a file that appears at the destination during the copy is neither replaced nor costs the scan",
         [] {
             qbxsim::Knobs k;
             // The upload stops for a while after its first piece: time for the
             // other program.
             k.apply_to = qbxsim::ApplyTo::UploadAnswers;
             k.pieces = {1000};
             k.piece_pause_ms = 4000;
             return k;
         }(),
         [&](Expect& x) {
             x.printer = {Add("1234", "008", "20261207090000", 64 * 1024, 1)};
             x.during = [&](pid_t) {
                 // Once the copy has begun, another program writes the same name.
                 for (int i = 0; i < 2000 && OutFiles().empty(); ++i)
                     std::this_thread::sleep_for(std::chrono::milliseconds(10));
                 std::ofstream(out / "008.TIF") << "mine";
             };
             x.status = 1;
             x.says = {In("008.TIF") + " appeared while the scan was being copied; it was left alone"};
             x.folder = {"008.TIF"};
             x.deletions = 0;
             x.more = [&](const CliRun&) { EXPECT_EQ(ReadWhole(out / "008.TIF"), "mine"); };
             return std::vector<std::string>{"get", "--to", out.string(), "--delete", "--short-names"};
         }},
        {"DeletionOnAClosedConnectionIsNotDone",
         "a deletion sent on a connection the printer had closed is reported as not done",
         [] {
             qbxsim::Knobs k;
             k.close_after_job = true;
             return k;
         }(),
         [&](Expect& x) {
             x.printer = {Add("1234", "008", "20261207090000", 5000, 1)};
             x.status = 1;
             x.says = {"2026-12-07_090000_008.TIF: still on the printer after its deletion job: not deleted"};
             x.folder = {"008.TIF"};
             x.more = [&](const CliRun& r) {
                 EXPECT_EQ(r.out, In("008.TIF") + "\n");
                 EXPECT_TRUE(ReadWhole(out / "008.TIF") == StoreBytes(*x.printer.begin()));
             };
             return std::vector<std::string>{"get", "--to", out.string(), "--delete", "--short-names"};
         }},
        {"DeletionRefusedByThePrinterIsNotDone",
         "a deletion the printer refuses on its back channel is reported with its reason, not as deleted",
         [] {
             qbxsim::Knobs k;
             k.quirks = qbxsim::kQuirkDeleteRefused;
             return k;
         }(),
         [&](Expect& x) {
             x.printer = {Add("1234", "008", "20261207090000", 5000, 1)};
             x.status = 1;
             x.says = {"2026-12-07_090000_008.TIF: the printer refused to delete it (invalidaccess in deletefile): "
                       "not deleted. Its file-system access may be switched off for deleting"};
             x.folder = {"008.TIF"};
             x.deletions = 1;
             x.more = [&](const CliRun& r) {
                 EXPECT_EQ(r.out, In("008.TIF") + "\n");
                 EXPECT_EQ(r.err.find("delete it again"), std::string::npos) << r.err;
                 EXPECT_TRUE(ReadWhole(out / "008.TIF") == StoreBytes(*x.printer.begin()));
             };
             return std::vector<std::string>{"get", "--to", out.string(), "--delete", "--short-names"};
         }},
        {"SyncDeletesOnlyWhatIsProvedEqual",
         "sync --delete deletes what an earlier sync copied only once the bytes are proved equal",
         {},
         [&](Expect& x) {
             std::string same = Add("1234", "007", "20261207090000", 3000, 1);
             std::string differs = Add("1234", "008", "20261207100000", 3000, 2);
             std::ofstream(out / "2026-12-07_090000_007.TIF", std::ios::binary) << StoreBytes(same);
             std::ofstream(out / "2026-12-07_100000_008.TIF", std::ios::binary) << qbxsim::PatternBytes(3000, 9);
             x.status = 1;
             x.says = {"2026-12-07_100000_008.TIF: " + In("2026-12-07_100000_008.TIF") +
                           " has the printer file's name and size but other bytes; both were left alone",
                       // The file that failed is not also counted as already there.
                       "deleted 1 on the printer, 1 already there, 1 failed"};
             x.folder = {"2026-12-07_090000_007.TIF", "2026-12-07_100000_008.TIF"};
             x.printer = {differs};
             x.uploads = 2;
             x.deletions = 1;
             x.more = [&](const CliRun& r) {
                 EXPECT_EQ(r.out, "");
                 EXPECT_TRUE(ReadWhole(out / "2026-12-07_100000_008.TIF") == qbxsim::PatternBytes(3000, 9));
             };
             return std::vector<std::string>{"sync", "--to", out.string(), "--delete", "-v"};
         }},
        {"ControlCharactersNeverReachTheTerminal", "control characters from the printer never reach the terminal",
         [] {
             // A listing line ahead of the real ones whose size field sets the window
             // title and clears the screen.
             qbxsim::Knobs k;
             k.apply_to = qbxsim::ApplyTo::PostScriptAnswers;
             k.extra_before = "DXR/Images/1234(077)(20261207093005).TIF\t3\x1b]0;X\x07\x1b[2J\n";
             return k;
         }(),
         [&](Expect& x) {
             // A sequence part that begins with the control sequence introducer U+009B.
             const std::string csi = "\xc2\x9b";
             Add("1234", csi + "b", "20261207090000", 100, 1);
             // Not asked for: a listing of no files would end in "***" behind the
             // injected line, which no printer sends.
             x.printer = {Add("1234", csi + "9", "20261207090001", 100, 2)};
             x.status = 1;
             x.says = {"2026-12-07_093005_077.TIF: the printer listed no usable size (\"3?]0;X??[2J\")",
                       In("2026-12-07_090000_?b.TIF") + "\n"};
             x.folder = {"2026-12-07_090000_" + csi + "b.TIF"};
             x.deletions = 1;
             x.more = [&](const CliRun& r) {
                 EXPECT_FALSE(HasControlBytes(r.out + r.err)) << r.out << r.err;
                 CliRun text = Run(With({"list"}));
                 EXPECT_FALSE(HasControlBytes(text.out + text.err)) << text.out;
                 EXPECT_NE(text.out.find("3?]0;X??[2J"), std::string::npos) << text.out;
                 EXPECT_NE(text.out.find("  2026-12-07_090001_?9.TIF\n"), std::string::npos) << text.out;
                 CliRun json = Run(With({"list", "--json"}));
                 EXPECT_FALSE(HasControlBytes(json.out)) << json.out;
                 EXPECT_NE(json.out.find("\"size\": \"3\\u001b]0;X\\u0007\\u001b[2J\""), std::string::npos) << json.out;
                 EXPECT_NE(json.out.find("\"stable\": \"2026-12-07_090001_\\u009b9.TIF\""), std::string::npos)
                     << json.out;
             };
             return std::vector<std::string>{"get",
                                             "--to",
                                             out.string(),
                                             "--delete",
                                             "--short-names",
                                             "2026-12-07_093005_077.TIF",
                                             "2026-12-07_090000_" + csi + "b.TIF"};
         }},
        {"FileTooLargeForOneAnswerIsRefused",
         "a file of 2147483647 bytes or more (what a cut answer announces) is refused before a byte is fetched",
         {},
         [&](Expect& x) {
             std::string big = Add("1234", "003", "20261207090000", 10, 1);
             fs::resize_file(store / big, 2200000000ULL);  // sparse
             std::string edge = Add("1234", "004", "20261207090100", 10, 2);
             fs::resize_file(store / edge, 2147483647ULL);
             x.status = 1;
             x.says = {"2026-12-07_090000_003.TIF: it is 2200000000 bytes, too large for one upload answer to "
                       "deliver whole (2147483647 bytes or more cannot be told from a cut answer), so it stays on the "
                       "printer; nothing was copied",
                       "2026-12-07_090100_004.TIF: it is 2147483647 bytes, too large"};
             x.printer = {big, edge};
             x.uploads = 0;
             x.deletions = 0;
             return std::vector<std::string>{"get", "--to", out.string(), "--delete"};
         }},
        {"GetNamesCopiesByStableName",
         "get names copies by stable name: a reused sequence number never lands on an earlier scan's copy",
         {},
         [&](Expect& x) {
             // The copy of an earlier 007, deleted on the printer by an earlier run.
             std::ofstream(out / "2026-12-07_090000_007.TIF") << "the earlier scan";
             Add("1234", "007", "20261208100000", 300, 4);
             x.folder = {"2026-12-07_090000_007.TIF", "2026-12-08_100000_007.TIF"};
             x.printer = {};
             x.deletions = 1;
             x.more = [&](const CliRun&) {
                 EXPECT_EQ(ReadWhole(out / "2026-12-07_090000_007.TIF"), "the earlier scan");
                 EXPECT_TRUE(ReadWhole(out / "2026-12-08_100000_007.TIF") == qbxsim::PatternBytes(300, 4));
             };
             return std::vector<std::string>{"get", "--to", out.string(), "--overwrite", "--delete"};
         }},
        {"PipeAsSettingsFileIsRefusedAtOnce",
         "a pipe named as the settings file is refused at once, not waited on",
         {},
         [&](Expect& x) {
             ::mkfifo((base / "pipe.ini").c_str(), 0644);
             x.common = false;
             x.status = 2;
             x.says = {"the settings file " + (base / "pipe.ini").string() + " cannot be read (it is not a plain file"};
             x.uploads = 0;
             return std::vector<std::string>{"list", "--config", (base / "pipe.ini").string()};
         }},
        {"NameStartingWithADotIsSavedVisibly",
         "a name that would start with a dot is saved visibly, not as a hidden file",
         {},
         [&](Expect& x) {
             qbxsim::EnsureStore(store);
             std::ofstream(store / "DXR/Images/1234(.TIF)") << "dotted";
             x.folder = {"_.TIF"};
             x.printer = {};
             x.more = [&](const CliRun&) { EXPECT_EQ(ReadWhole(out / "_.TIF"), "dotted"); };
             return std::vector<std::string>{"get", "--to", out.string(), "--short-names", "--delete"};
         }},
    };
}

TEST_P(CliRoads, NoScanIsLostAndNoScriptMisled)
{
    std::vector<Road> roads = Roads();
    ASSERT_EQ(roads.size(), std::size(kRoads)) << "a road without a test, or a test without a road";
    auto road = std::find_if(roads.begin(), roads.end(), [name = GetParam()](const Road& r) { return r.name == name; });
    ASSERT_NE(road, roads.end()) << GetParam();
    SCOPED_TRACE(road->what);
    sim->SetKnobs(road->knobs);
    Expect x;
    std::vector<std::string> args = road->arrange(x);
    if (x.common) {
        auto common = Common();
        args.insert(args.begin() + 1, common.begin(), common.end());
    }
    CliRun r = Run(args, x.childSetup, x.during);
    EXPECT_EQ(r.status, x.status) << r.err;
    for (const std::string& s : x.says) EXPECT_NE((r.err + r.out).find(s), std::string::npos) << s << "\n" << r.err;
    EXPECT_EQ(OutFiles(), x.folder);
    EXPECT_EQ(Store(), x.printer);
    if (x.uploads >= 0) {
        EXPECT_EQ(UploadJobs(), x.uploads);
    }
    if (x.deletions >= 0) {
        EXPECT_EQ(static_cast<int>(DeletionJobs().size()), x.deletions);
    }
    if (x.more) x.more(r);
}

INSTANTIATE_TEST_SUITE_P(Roads, CliRoads,
                         ::testing::ValuesIn(std::vector<std::string>(std::begin(kRoads), std::end(kRoads))),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });
