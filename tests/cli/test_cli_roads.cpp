// Roads by which a scan could be lost, or a script misled, through quillbox-cli: one
// row each, checking the exit status, the message, the folder and what is left on the
// printer.
#include "cli_fixture.h"

#include <sys/stat.h>

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

}  // namespace

class CliRoads : public CliTest {
protected:
    std::set<std::string> Store() const
    {
        auto v = qbxsim::ListStore(store);
        return {v.begin(), v.end()};
    }
    std::string In(const std::string& name) const { return (out / name).string(); }
};

TEST_F(CliRoads, NoScanIsLostAndNoScriptMisled)
{
    const fs::path sys = base / "system";
    fs::create_directories(sys);
    ::setenv("QUILLBOX_SYSTEM_DIR", sys.c_str(), 1);
    StartPrinter();

    Road roads[] = {
        {"a duplicate number or a shared display name is refused; the stable name is taken",
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
        {"--config with a bare file name reads every key from that file in the current folder",
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
             return std::vector<std::string>{"sync", "--to", out.string(), "--delete", "--config", "my.ini"};
         }},
        {"a dangling link, a pipe or a link to a folder at the destination is already there",
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
             return std::vector<std::string>{"get", "--to", out.string(), "--delete"};
         }},
        {"a file that appears at the destination during the copy is neither replaced nor costs the scan",
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
             return std::vector<std::string>{"get", "--to", out.string(), "--delete"};
         }},
        {"a deletion sent on a connection the printer had closed is reported as not done",
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
             return std::vector<std::string>{"get", "--to", out.string(), "--delete"};
         }},
        {"sync --delete deletes what an earlier sync copied only once the bytes are proved equal",
         {},
         [&](Expect& x) {
             std::string same = Add("1234", "007", "20261207090000", 3000, 1);
             std::string differs = Add("1234", "008", "20261207100000", 3000, 2);
             std::ofstream(out / "2026-12-07_090000_007.TIF", std::ios::binary) << StoreBytes(same);
             std::ofstream(out / "2026-12-07_100000_008.TIF", std::ios::binary) << qbxsim::PatternBytes(3000, 9);
             x.status = 1;
             x.says = {"2026-12-07_100000_008.TIF: " + In("2026-12-07_100000_008.TIF") +
                       " has the printer file's name and size but other bytes; both were left alone"};
             x.folder = {"2026-12-07_090000_007.TIF", "2026-12-07_100000_008.TIF"};
             x.printer = {differs};
             x.uploads = 2;
             x.deletions = 1;
             x.more = [&](const CliRun& r) {
                 EXPECT_EQ(r.out, "");
                 EXPECT_TRUE(ReadWhole(out / "2026-12-07_100000_008.TIF") == qbxsim::PatternBytes(3000, 9));
             };
             return std::vector<std::string>{"sync", "--to", out.string(), "--delete"};
         }},
        {"control characters from the printer never reach the terminal",
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
                                             "2026-12-07_093005_077.TIF",
                                             "2026-12-07_090000_" + csi + "b.TIF"};
         }},
        {"a file larger than one upload answer delivers is refused before a byte is fetched",
         {},
         [&](Expect& x) {
             std::string big = Add("1234", "003", "20261207090000", 10, 1);
             fs::resize_file(store / big, 2200000000ULL);  // sparse
             x.status = 1;
             x.says = {"2026-12-07_090000_003.TIF: it is 2200000000 bytes, more than one upload answer can "
                       "deliver whole (2147483647 bytes at most), so it stays on the printer; nothing was copied"};
             x.printer = {big};
             x.uploads = 0;
             x.deletions = 0;
             return std::vector<std::string>{"get", "--to", out.string(), "--delete"};
         }},
    };

    for (Road& road : roads) {
        SCOPED_TRACE(road.what);
        fs::remove_all(store);
        qbxsim::EnsureStore(store);
        fs::remove_all(out);
        fs::create_directories(out);
        sim->SetKnobs(road.knobs);
        sim->ClearJobs();
        Expect x;
        std::vector<std::string> args = road.arrange(x);
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
    ::unsetenv("QUILLBOX_SYSTEM_DIR");
}
