// The local files of a retrieval, checked on the disk: an existing file survives a
// copy that fails, two scans never land on one name, nothing is written through a
// link, a folder that changed after Save As stops the batch, and a printer file is
// deleted only once its own copy is in place. One table of cases, one disk check.
#include "retrieval_fixture.h"

#include "retrieval/ProgressDlg.h"

#include <sys/mount.h>
#include <unistd.h>

#include <functional>
#include <optional>

using namespace qbxsim;

namespace {

const std::string kUser = "1234";

struct Scan {
    std::string seq;
    std::string date;
    std::size_t size;
    unsigned seed;
    std::string ext = ".TIF";
};

struct Ctx;

struct LocalFileCase {
    std::string name;
    std::vector<Scan> scans;
    bool autoDelete = true;
    std::optional<std::size_t> dropAfter;  // the printer cuts the upload after these bytes
    bool slow = false;                     // the upload trickles (time to act during it)
    std::string chosen;                    // the name typed in the Save As dialog
    std::vector<int> boxAnswers;
    bool starts = true;                 // a batch begins (else the question or a refusal ends it first)
    std::function<void(Ctx&)> prepare;  // the disk before the listing
    std::function<void(Ctx&)> between;  // after Save As, before the first transfer
    // Once, while the first copy is under way (6000 bytes in), from the user interface.
    std::function<void(Ctx&, CMainFrame*)> during;
    std::function<void(Ctx&)> check;  // the row's own expectations
    // Set after the scans are in the store (misbehaviour that names a scan).
    std::function<void(Knobs&, const Ctx&)> knobs;
    // The scans (row indexes) whose copies are made and that are deleted on the
    // printer while the others stay there; unset: all of them, or none.
    std::optional<std::vector<std::size_t>> done;
};

void PrintTo(const LocalFileCase& c, std::ostream* os) { *os << c.name; }

// What a row works with, and what the run saw.
struct Ctx {
    std::string out;
    std::string elsewhere;
    std::vector<std::string> paths;       // store paths of the scans, in row order
    std::vector<std::string> storeBytes;  // their bytes before the batch
    std::vector<PromptCall> boxes;
    // At each deletion job: whether that file's own copy was in place and whole.
    std::vector<std::string> deletionsSeen;
    std::vector<std::string> deletionFaults;
    std::string temp;  // the temporary file of the copy a row acted on
    // Files a row put into the folder during the batch, with their bytes: no copy may
    // replace them.
    std::map<std::string, std::string> added;
    std::optional<mode_t> umask;  // the process's umask before a row changed it
    std::string storeRoot;
    std::vector<std::string> uploads;  // the upload jobs the printer received
    bool roMounted = false;
    bool skip = false;
    std::unique_ptr<FileSizeLimit> limit;

    Ctx() = default;
    Ctx(const Ctx&) = delete;
    Ctx& operator=(const Ctx&) = delete;
    ~Ctx() { Restore(); }
    // Undoes what a row did to the folder or the process.
    void Restore()
    {
        if (roMounted) ::umount2(out.c_str(), MNT_DETACH);
        roMounted = false;
        if (!out.empty()) ::chmod(out.c_str(), 0755);
        limit.reset();
        if (umask) ::umask(*umask);
        umask.reset();
    }
};

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> NamesIn(const std::string& folder)
{
    std::vector<std::string> r;
    for (auto& e : std::filesystem::directory_iterator(folder)) r.push_back(e.path().filename().string());
    std::sort(r.begin(), r.end());
    return r;
}

// A folder that takes no new file: read-only permissions, or for root (whom
// permissions do not stop) a read-only file system mounted over it.
bool MakeUnwritable(Ctx& c)
{
    if (::geteuid() != 0) return ::chmod(c.out.c_str(), 0555) == 0;
    c.roMounted = ::mount("tmpfs", c.out.c_str(), "tmpfs", MS_RDONLY, "size=16k") == 0;
    return c.roMounted;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

const char kNotSaved[] =
    "\n\nThe file was not copied and stays on the printer; the files not yet retrieved were left as well. Choose a "
    "folder that can be written, then retrieve them again.";

std::vector<LocalFileCase> Cases()
{
    std::vector<LocalFileCase> v;

    {
        // Something took the temporary file's name (a folder with a file in it): the
        // cancelled copy cannot be removed, and the box names it, once.
        LocalFileCase r;
        r.name = "PartialFileThatCannotBeRemovedIsNamedOnce";
        r.scans = {{"001", "20000101000000", 40000, 1}};
        r.slow = true;
        r.chosen = "scan.TIF";
        r.during = [](Ctx& c, CMainFrame* f) {
            c.temp = f->m_pOutFile->TempPath();
            std::filesystem::remove(c.temp);
            std::filesystem::create_directory(c.temp);
            WriteText(c.temp + "/inside", "x");
            AppHarness::Click(f->m_pProgressDlg, IDCANCEL);
        };
        r.check = [](Ctx& c) {
            ASSERT_FALSE(c.temp.empty());
            ASSERT_EQ(c.boxes.size(), 1u);
            EXPECT_EQ(c.boxes[0].caption, "Unable to save file");
            EXPECT_EQ(c.boxes[0].text, "Cannot remove the partial file " + c.temp +
                                           ": Is a directory\n\nIt holds an incomplete copy of a scan; delete it "
                                           "yourself.");
            EXPECT_TRUE(std::filesystem::is_directory(c.temp));
            std::filesystem::remove_all(c.temp);  // for the disk check
        };
        v.push_back(std::move(r));
    }

    {
        LocalFileCase r;
        r.name = "OverwriteAgreedThenTransferCut";
        r.scans = {{"007", "19991213093005", 30000, 1}};
        r.dropAfter = 12000;
        r.chosen = "old.TIF";
        r.boxAnswers = {IDYES};
        r.prepare = [](Ctx& c) { WriteText(c.out + "/old.TIF", "keep me"); };
        r.check = [](Ctx& c) {
            ASSERT_EQ(c.boxes.size(), 2u);
            EXPECT_EQ(c.boxes[0].caption, "old.TIF:  Already exists");
            EXPECT_EQ(c.boxes[1].caption, "File not copied");
        };
        v.push_back(std::move(r));
    }

    {
        LocalFileCase r;
        r.name = "SameStemTwoExtensionsGiveTwoFiles";
        r.scans = {{"007", "20000101000000", 5000, 3}, {"007", "20000102000000", 5000, 3, ".TIFF"}};
        r.chosen = "job.TIF";
        r.check = [](Ctx& c) {
            EXPECT_EQ(c.deletionsSeen.size(), 2u);
            EXPECT_EQ(NamesIn(c.out), (std::vector<std::string>{"job007.TIF", "job007_1.TIF"}));
        };
        v.push_back(std::move(r));
    }

    {
        LocalFileCase r;
        r.name = "FiveScansOfTwoStemsGiveFiveFiles";
        r.scans = {{"007", "20000101000000", 3000, 1},
                   {"007", "20000102000000", 3100, 2},
                   {"007", "20000103000000", 3200, 3, ".TIFF"},
                   {"007", "20000104000000", 3300, 4, ".TIFF"},
                   {"008", "20000105000000", 3400, 5}};
        r.chosen = "job.TIF";
        r.check = [](Ctx& c) {
            EXPECT_EQ(c.deletionsSeen.size(), 5u);
            EXPECT_EQ(NamesIn(c.out), (std::vector<std::string>{"job007.TIF", "job007_1.TIF", "job007_2.TIF",
                                                                "job007_3.TIF", "job008.TIF"}));
        };
        v.push_back(std::move(r));
    }

    {
        LocalFileCase r;
        r.name = "LinkAtTheDestinationIsReplacedNotFollowed";
        r.scans = {{"007", "20000101000000", 4000, 6}};
        r.chosen = "scan.TIF";
        r.boxAnswers = {IDYES};
        r.prepare = [](Ctx& c) {
            WriteText(c.elsewhere + "/target.TIF", "another folder's file");
            ASSERT_EQ(::symlink((c.elsewhere + "/target.TIF").c_str(), (c.out + "/scan.TIF").c_str()), 0);
        };
        r.check = [](Ctx& c) {
            ASSERT_EQ(c.boxes.size(), 1u);
            EXPECT_EQ(c.boxes[0].caption, "scan.TIF:  Already exists");
            EXPECT_FALSE(std::filesystem::is_symlink(c.out + "/scan.TIF"));
            EXPECT_EQ(ReadBytes(c.elsewhere + "/target.TIF"), "another folder's file");
        };
        v.push_back(std::move(r));
    }

    {
        LocalFileCase r;
        r.name = "DanglingLinkIsAskedAboutToo";
        r.scans = {{"007", "20000101000000", 4000, 6}};
        r.chosen = "scan.TIF";
        r.boxAnswers = {IDCANCEL};
        r.starts = false;
        r.prepare = [](Ctx& c) {
            ASSERT_EQ(::symlink((c.elsewhere + "/nothing").c_str(), (c.out + "/scan.TIF").c_str()), 0);
        };
        r.check = [](Ctx& c) {
            ASSERT_EQ(c.boxes.size(), 1u);
            EXPECT_EQ(c.boxes[0].caption, "scan.TIF:  Already exists");
            EXPECT_TRUE(std::filesystem::is_symlink(c.out + "/scan.TIF"));
            EXPECT_FALSE(std::filesystem::exists(c.elsewhere + "/nothing"));
        };
        v.push_back(std::move(r));
    }

    {
        LocalFileCase r;
        r.name = "FolderAtTheDestinationIsRefused";
        r.scans = {{"007", "20000101000000", 4000, 6}, {"008", "20000102000000", 4000, 7}};
        r.chosen = "job.TIF";
        r.starts = false;
        r.prepare = [](Ctx& c) { std::filesystem::create_directory(c.out + "/job008.TIF"); };
        r.check = [](Ctx& c) {
            ASSERT_EQ(c.boxes.size(), 1u);
            EXPECT_EQ(c.boxes[0].text,
                      c.out + "/job008.TIF is a folder; a scan cannot replace it. Choose another name.");
            EXPECT_TRUE(std::filesystem::is_directory(c.out + "/job008.TIF"));
        };
        v.push_back(std::move(r));
    }

    {
        LocalFileCase r;
        r.name = "FolderMadeReadOnlyAfterSaveAs";
        r.scans = {{"001", "20000101000000", 5000, 1}, {"002", "20000102000000", 5000, 2}};
        r.chosen = "ro.TIF";
        r.between = [](Ctx& c) { c.skip = !MakeUnwritable(c); };
        r.check = [](Ctx& c) {
            c.Restore();
            ASSERT_EQ(c.boxes.size(), 1u);
            EXPECT_EQ(c.boxes[0].caption, "Unable to open file ");
            const std::string reason = ::geteuid() == 0 ? "Read-only file system" : "Permission denied";
            EXPECT_EQ(c.boxes[0].text, "Cannot create a file in " + c.out + ": " + reason + kNotSaved);
        };
        v.push_back(std::move(r));
    }

    {
        LocalFileCase r;
        r.name = "FolderRemovedAfterSaveAs";
        r.scans = {{"001", "20000101000000", 5000, 1}};
        r.chosen = "gone.TIF";
        r.between = [](Ctx& c) { std::filesystem::remove_all(c.out); };
        r.check = [](Ctx& c) {
            ASSERT_EQ(c.boxes.size(), 1u);
            EXPECT_EQ(c.boxes[0].text, "Cannot create a file in " + c.out + ": No such file or directory" + kNotSaved);
            std::filesystem::create_directory(c.out);  // for the disk check
        };
        v.push_back(std::move(r));
    }

    {
        LocalFileCase r;
        r.name = "DiskRefusesBytesAfterOverwriteAgreed";
        r.scans = {{"007", "20000101000000", 9000, 1}};
        r.chosen = "old.TIF";
        r.boxAnswers = {IDYES};
        r.prepare = [](Ctx& c) { WriteText(c.out + "/old.TIF", "keep me"); };
        r.between = [](Ctx& c) { c.limit = std::make_unique<FileSizeLimit>(4096); };
        r.check = [](Ctx& c) {
            c.Restore();
            ASSERT_EQ(c.boxes.size(), 2u);
            EXPECT_EQ(c.boxes[1].caption, "Unable to save file");
            EXPECT_EQ(c.boxes[1].text.rfind("Cannot write " + c.out + "/old.TIF: File too large", 0), 0u)
                << c.boxes[1].text;
        };
        v.push_back(std::move(r));
    }

    {
        LocalFileCase r;
        r.name = "LeftoversOfACrashAreCleanedOthersKept";
        r.scans = {{"007", "20000101000000", 2000, 9}};
        r.chosen = "scan.TIF";
        r.prepare = [](Ctx& c) {
            WriteText(c.out + "/.scan.TIF.quillbox-0badf00d.part", "half a scan");
            WriteText(c.out + "/.notes.part", "someone else's");
            WriteText(c.out + "/.notes.cafebabe.part", "the user's own");
        };
        v.push_back(std::move(r));
    }
    {
        // The printer could only send the first 2147483647 bytes of it in one answer:
        // it is not asked for, the user is told, and the batch goes on without it.
        LocalFileCase r;
        r.name = "FileOver2GiBStaysOnThePrinterTheBatchGoesOn";
        r.scans = {{"001", "20000101000000", 3000, 1},
                   {"002", "20000102000000", 10, 2},
                   {"003", "20000103000000", 3000, 3},
                   {"004", "20000104000000", 10, 4}};
        r.chosen = "job.TIF";
        r.done = std::vector<std::size_t>{0, 2};
        r.prepare = [](Ctx& c) {
            std::filesystem::resize_file(c.storeRoot + "/" + c.paths[1], 2200000000ULL);
            // Exactly the size a printer announces for a larger file it cuts.
            std::filesystem::resize_file(c.storeRoot + "/" + c.paths[3], 2147483647ULL);
        };
        r.check = [](Ctx& c) {
            ASSERT_EQ(c.boxes.size(), 2u);
            EXPECT_EQ(c.boxes[1].text.rfind("The file 004.TIF is too large", 0), 0u) << c.boxes[1].text;
            EXPECT_EQ(c.boxes[0].caption, "File not copied");
            EXPECT_EQ(c.boxes[0].text,
                      "The file 002.TIF is too large for the printer to send in one piece (2147483647 bytes or "
                      "more; a cut answer announces that size too), so it was not copied.\n\nIt stays on the printer; "
                      "the other files are retrieved as "
                      "usual.");
            EXPECT_EQ(c.uploads.size(), 2u);
            for (auto& u : c.uploads) EXPECT_EQ(u.find(c.paths[1]), std::string::npos) << "never asked for";
            EXPECT_EQ(std::filesystem::file_size(c.storeRoot + "/" + c.paths[1]), 2200000000ULL);
        };
        v.push_back(std::move(r));
    }

    {
        // The printer answers the request for 007 with 008, of the same size.
        LocalFileCase r;
        r.name = "AnswerWithAnotherFileIsNotTheFile";
        r.scans = {{"007", "20000101000000", 5000, 1}, {"008", "20000102000000", 5000, 2}};
        r.chosen = "job.TIF";
        // A file of the same size that no listing shows, so the batch's first upload is
        // answered with another file whichever scan it asks for.
        r.knobs = [](Knobs& k, const Ctx& c) {
            WriteText(c.storeRoot + "/other.TIF", PatternBytes(5000, 3));
            k.upload_other_file = "other.TIF";
        };
        r.check = [](Ctx& c) {
            ASSERT_EQ(c.boxes.size(), 1u);
            EXPECT_EQ(c.boxes[0].caption, "File not copied");
            EXPECT_EQ(c.boxes[0].text.rfind("The printer answered the request for 00", 0), 0u) << c.boxes[0].text;
            EXPECT_NE(c.boxes[0].text.find(".TIF with a different file, so nothing was copied to " + c.out + "/job00"),
                      std::string::npos)
                << c.boxes[0].text;
            EXPECT_EQ(c.uploads.size(), 1u) << "the batch stops";
        };
        v.push_back(std::move(r));
    }

    {
        // Another program makes the destination's name while the copy is on its way.
        LocalFileCase r;
        r.name = "FileThatAppearsAtTheDestinationIsNotReplaced";
        r.scans = {{"001", "20000101000000", 40000, 1}, {"002", "20000102000000", 40000, 2}};
        r.slow = true;
        r.chosen = "job.TIF";
        r.during = [](Ctx& c, CMainFrame* f) {
            c.temp = f->m_szDestPath;
            WriteText(c.temp, "another program's");
            c.added[std::filesystem::path(c.temp).filename().string()] = "another program's";
        };
        r.check = [](Ctx& c) {
            ASSERT_EQ(c.boxes.size(), 1u);
            EXPECT_EQ(c.boxes[0].caption, "Unable to save file");
            EXPECT_EQ(c.boxes[0].text,
                      "Cannot save " + c.temp +
                          ": a file of that name appeared in the folder while the copy was on its way; it "
                          "was left as it is\n\nThe copy was not saved and the file stays on the printer; the files "
                          "not yet retrieved were left as well. Retrieve them again and choose another name, or move "
                          "that file away first.");
            EXPECT_EQ(c.uploads.size(), 1u) << "the batch stops";
        };
        v.push_back(std::move(r));
    }

    {
        // The user agreed to replace old.TIF; while the copy is on its way another program
        // (another instance saving a scan of its own) puts a new file under that name. The
        // Yes was for the file that was there when asked, not for this one.
        LocalFileCase r;
        r.name = "FileReplacedAfterTheYesIsNotReplacedAgain";
        r.scans = {{"001", "20000101000000", 40000, 1}};
        r.slow = true;
        r.chosen = "old.TIF";
        r.boxAnswers = {IDYES};
        r.prepare = [](Ctx& c) { WriteText(c.out + "/old.TIF", "agreed to lose"); };
        r.during = [](Ctx& c, CMainFrame*) {
            c.temp = c.out + "/old.TIF";
            WriteText(c.out + "/other.tmp", "another program's");
            std::filesystem::rename(c.out + "/other.tmp", c.temp);
            c.added["old.TIF"] = "another program's";
        };
        r.check = [](Ctx& c) {
            ASSERT_EQ(c.boxes.size(), 2u);
            EXPECT_EQ(c.boxes[0].caption, "old.TIF:  Already exists");
            EXPECT_EQ(c.boxes[1].caption, "Unable to save file");
            EXPECT_EQ(
                c.boxes[1].text.rfind("Cannot save " + c.temp + ": a file of that name appeared in the folder", 0), 0u)
                << c.boxes[1].text;
        };
        v.push_back(std::move(r));
    }

    {
        LocalFileCase r;
        r.name = "NewCopyTakesTheUmask";
        r.scans = {{"001", "20000101000000", 3000, 1}};
        r.chosen = "scan.TIF";
        r.between = [](Ctx& c) { c.umask = ::umask(002); };
        r.check = [](Ctx& c) { EXPECT_EQ(ModeOf(c.out + "/scan.TIF"), 0664u); };
        v.push_back(std::move(r));
    }

    {
        LocalFileCase r;
        r.name = "ReplacedFileKeepsItsMode";
        r.scans = {{"001", "20000101000000", 3000, 1}};
        r.chosen = "old.TIF";
        r.boxAnswers = {IDYES};
        r.prepare = [](Ctx& c) {
            WriteText(c.out + "/old.TIF", "old");
            ::chmod((c.out + "/old.TIF").c_str(), 0600);
        };
        r.between = [](Ctx& c) { c.umask = ::umask(002); };
        r.check = [](Ctx& c) { EXPECT_EQ(ModeOf(c.out + "/old.TIF"), 0600u); };
        v.push_back(std::move(r));
    }

    {
        // One name on a folder that ignores case; the second file gets a name of its own.
        LocalFileCase r;
        r.name = "NamesDifferingInAccentedCaseGetTwoFiles";
        r.scans = {{"\xC3\x89x", "20000101000000", 3000, 1}, {"\xC3\xA9x", "20000102000000", 3000, 2}};
        r.chosen = "job.TIF";
        r.check = [](Ctx& c) {
            EXPECT_EQ(NamesIn(c.out), (std::vector<std::string>{"job\xC3\x89x.TIF", "job\xC3\xA9x_1.TIF"}));
        };
        v.push_back(std::move(r));
    }

    return v;
}

class LocalFilesTest : public RetrievalTest, public ::testing::WithParamInterface<LocalFileCase> {
protected:
    // The one disk check: the folder holds exactly these files (no temporary file, no
    // extra copy) with exactly these bytes. A content of "" in expected means "any".
    void ExpectFolder(const std::string& folder, const std::map<std::string, std::string>& expected)
    {
        std::map<std::string, std::string> actual;
        for (auto& e : std::filesystem::directory_iterator(folder))
            actual[e.path().filename().string()] = e.is_regular_file() ? ReadFile(e.path().string()) : "<not a file>";
        std::vector<std::string> names, wanted;
        for (auto& [n, b] : actual) names.push_back(n);
        for (auto& [n, b] : expected) wanted.push_back(n);
        EXPECT_EQ(names, wanted) << "files in " << folder;
        for (auto& [n, bytes] : expected)
            if (!bytes.empty() && actual.count(n)) {
                EXPECT_TRUE(actual[n] == bytes) << n << " has other bytes";
            }
    }

    // Every copy of a good batch: a file per scan, each the bytes of one scan, no scan twice.
    void ExpectOneCopyPerScan(Ctx& c, const std::map<std::string, std::string>& extra)
    {
        std::multiset<std::string> copies, originals(c.storeBytes.begin(), c.storeBytes.end());
        std::map<std::string, std::string> expected = extra;
        for (auto& e : std::filesystem::directory_iterator(c.out)) {
            const std::string n = e.path().filename().string();
            if (extra.count(n)) continue;
            copies.insert(ReadFile(e.path().string()));
            expected[n] = "";
        }
        EXPECT_EQ(copies.size(), c.storeBytes.size());
        EXPECT_TRUE(copies == originals) << "each scan's bytes, once each";
        ExpectFolder(c.out, expected);
    }
};

TEST_P(LocalFilesTest, OnDisk)
{
    const LocalFileCase& row = GetParam();
    Knobs k;
    k.apply_to = ApplyTo::UploadAnswers;
    if (row.dropAfter) k.drop_after = row.dropAfter;
    if (row.dropAfter || row.slow) {
        k.trickle_bytes = 4000;
        k.trickle_interval_ms = 30;
    }
    StartPrinter(k);
    Ctx c;
    for (auto& s : row.scans) {
        c.paths.push_back(AddImageOfSize(store, kUser, s.seq, s.date, s.size, s.seed, s.ext));
        c.storeBytes.push_back(StoreBytes(c.paths.back()));
    }
    if (row.knobs) {
        row.knobs(k, c);
        sim->SetKnobs(k);
    }
    c.storeRoot = store;
    c.out = MakeTempFolder("localfiles");
    c.elsewhere = MakeTempFolder("elsewhere");
    std::map<std::string, std::string> before;
    if (row.prepare) row.prepare(c);
    for (auto& e : std::filesystem::directory_iterator(c.out))
        before[e.path().filename().string()] = e.is_regular_file() ? ReadFile(e.path().string()) : "";

    AppHarness h(IniWith(row.autoDelete));
    ListFor(h, kUser);
    Select(h, c.paths);

    // Watches the program's own trace: the batch is decided once QBX_GET is posted from
    // the list, and a deletion job is about to go when the frame sends a job after its
    // copy ended (the transfer flag is down).
    bool betweenDone = false;
    SetTraceSink([&](const std::string& line) {
        h.traces.push_back(line);
        CMainFrame* f = h.Frame();
        if (!f) return;
        if (!betweenDone && line == "Message WM_QBX_IP_OP, QBX_GET posted\n") {
            betweenDone = true;
            if (row.between) row.between(c);
        }
        if (line == "Sending PS commands\n" && !f->m_bTransferActive && !f->m_pOutFile) {
            const DirEntry* e = f->CurrentEntry();
            const std::string path = e ? e->path : "";
            c.deletionsSeen.push_back(path);
            auto at = std::find(c.paths.begin(), c.paths.end(), path);
            if (at == c.paths.end() ||
                ReadFile(f->m_szDestPath) != c.storeBytes[static_cast<std::size_t>(at - c.paths.begin())])
                c.deletionFaults.push_back(path + " deleted while " + f->m_szDestPath + " was not its whole copy");
        }
    });

    QTimer watch;
    bool duringDone = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        CMainFrame* f = h.Frame();
        if (duringDone || !row.during || !f || !f->m_pOutFile || f->m_nBytesReceived < 6000) return;
        duringDone = true;
        row.during(c, f);
    });
    watch.start(20);

    h.prompts.saveAnswers = {c.out + "/" + row.chosen, ""};
    h.prompts.boxAnswers.assign(row.boxAnswers.begin(), row.boxAnswers.end());
    if (row.starts) {
        RetrieveAndWait(h, 30000);
    } else {
        AppHarness::Click(h.Frame()->m_pRetrieveDlg, IDC_RETRIEVE);
        ASSERT_TRUE(h.PumpUntil([&] { return h.prompts.calls.size() >= 2; }, 10000));
        h.PumpFor(500);
    }
    watch.stop();
    SetTraceSink([&](const std::string& line) { h.traces.push_back(line); });
    c.boxes = h.prompts.Boxes();
    for (auto& j : Uploads()) c.uploads.push_back(j.bytes);
    if (c.skip) {
        c.Restore();
        GTEST_SKIP() << "the folder cannot be made unwritable here";
    }
    if (row.check) row.check(c);
    c.Restore();

    EXPECT_FALSE(h.Frame()->m_bClosing) << "a local-file problem never ends the program";
    std::string faults;
    for (auto& f : c.deletionFaults) faults += f + "\n";
    EXPECT_EQ(faults, "");
    for (auto& [n, b] : c.added) before[n] = b;
    const bool good = row.starts && c.deletionsSeen.size() == row.scans.size();
    if (row.done) {
        // Some copies made, each scan deleted only after its own; the rest stay on the
        // printer, and whatever was in the folder stays as it was.
        std::set<std::string> deleted, left;
        std::multiset<std::string> made;
        for (std::size_t i = 0; i < row.scans.size(); ++i) {
            const bool isDone = std::count(row.done->begin(), row.done->end(), i) > 0;
            (isDone ? deleted : left).insert(c.paths[i]);
            if (isDone) made.insert(c.storeBytes[i]);
        }
        EXPECT_EQ(std::set<std::string>(c.deletionsSeen.begin(), c.deletionsSeen.end()), deleted);
        EXPECT_TRUE(h.PumpUntil(
            [&] {
                auto s = ListStore(store);
                return std::set<std::string>(s.begin(), s.end()) == left;
            },
            20000));
        std::multiset<std::string> copies;
        std::map<std::string, std::string> expected = before;
        for (auto& e : std::filesystem::directory_iterator(c.out)) {
            const std::string n = e.path().filename().string();
            if (before.count(n)) continue;
            copies.insert(ReadFile(e.path().string()));
            expected[n] = "";
        }
        EXPECT_TRUE(copies == made) << "each done scan's bytes, once each";
        ExpectFolder(c.out, expected);
    } else if (good) {
        // Every scan copied and then deleted: one whole copy each.
        std::map<std::string, std::string> kept;
        for (auto& [n, b] : before)
            if (!LocalCopy::IsOurLeftover(n.c_str()) && n != row.chosen) kept[n] = b;
        ExpectOneCopyPerScan(c, kept);
        // The printer runs each deletion job after the program has moved on.
        ASSERT_TRUE(sim->WaitForJobs(1 + 2 * row.scans.size(), std::chrono::milliseconds(10000)));
        EXPECT_EQ(Deletions().size(), row.scans.size());
        EXPECT_TRUE(h.PumpUntil([&] { return ListStore(store).empty(); }, 20000));
    } else {
        // Nothing of a failed or refused batch stays, nothing of the user's is lost, and
        // every scan stays on the printer.
        ExpectFolder(c.out, before);
        EXPECT_TRUE(Deletions().empty());
        EXPECT_EQ(ListStore(store).size(), row.scans.size());
        if (!row.starts) {
            EXPECT_TRUE(Uploads().empty());
        }
        EXPECT_TRUE(h.PumpUntil([&] { return ListShown(h); }, 5000));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, LocalFilesTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<LocalFileCase>& i) { return i.param.name; });

}  // namespace
