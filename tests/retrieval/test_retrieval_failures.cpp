// The questions and the failures around a copy: an existing file, a folder that is
// not there, a disk that takes no more bytes, a name too long, an answer without
// its header line. No file may be deleted on the printer unless its copy is whole.
#include "retrieval_fixture.h"

#include <unistd.h>

#include <map>
#include <optional>

using namespace qbxsim;

namespace {

const std::string kUser = "1234";

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

}  // namespace

TEST_F(RetrievalTest, OverwriteQuestionYesNoAndCancel)
{
    StartPrinter();
    std::string a = AddImageOfSize(store, kUser, "007", "19991213093005", 3000, 1);
    std::string out = MakeTempFolder("overwrite");
    WriteText(out + "/old.TIF", "keep me");
    AppHarness h(IniWith(false));
    ListFor(h, kUser);
    Select(h, {a});

    // Cancel: nothing starts, the list stays open with its selection.
    h.prompts.saveAnswers.push_back(out + "/old.TIF");
    h.prompts.boxAnswers.push_back(IDCANCEL);
    AppHarness::Click(h.Frame()->m_pRetrieveDlg, IDC_RETRIEVE);
    ASSERT_TRUE(h.PumpUntil([&] { return h.prompts.Boxes().size() == 1; }, 5000));
    h.PumpFor(200);
    auto box = h.prompts.Boxes()[0];
    EXPECT_EQ(box.text, "Do you wish to overwrite this file?");
    EXPECT_EQ(box.caption, "old.TIF:  Already exists");
    EXPECT_EQ(box.type, MB_YESNOCANCEL | MB_ICONQUESTION);
    EXPECT_EQ(box.owner, h.Frame()->m_hWnd);
    EXPECT_TRUE(ListShown(h));
    EXPECT_EQ(SelectedPaths(h), (std::set<std::string>{a}));
    EXPECT_TRUE(Uploads().empty());
    EXPECT_EQ(ReadFile(out + "/old.TIF"), "keep me");

    // No: the Save As dialog again; a new name is written, the old file stays.
    h.prompts.calls.clear();
    h.prompts.saveAnswers = {out + "/old.TIF", out + "/new.TIF"};
    h.prompts.boxAnswers = {IDNO};
    RetrieveAndWait(h);
    ASSERT_EQ(h.prompts.calls.size(), 3u);
    EXPECT_EQ(h.prompts.calls[0].kind, "SaveAs");
    EXPECT_EQ(h.prompts.calls[1].kind, "MessageBox");
    EXPECT_EQ(h.prompts.calls[2].kind, "SaveAs");
    EXPECT_EQ(ReadFile(out + "/new.TIF"), PatternBytes(3000, 1));
    EXPECT_EQ(ReadFile(out + "/old.TIF"), "keep me");

    // Yes: the existing file is replaced by the copy.
    h.prompts.saveAnswers = {out + "/old.TIF"};
    h.prompts.boxAnswers = {IDYES};
    RetrieveAndWait(h);
    EXPECT_EQ(ReadFile(out + "/old.TIF"), PatternBytes(3000, 1));
}

// Several existing files in a batch: each is named in a question of its own, and only
// the files the user said Yes to are replaced. No after a Yes brings the Save As dialog
// back (nothing replaced yet), Cancel stops before any transfer.
TEST_F(RetrievalTest, SeveralExistingFilesAreAskedAboutOneByOne)
{
    StartPrinter();
    const std::vector<std::string> scans = {AddImageOfSize(store, kUser, "007", "19991213093005", 100, 1),
                                            AddImageOfSize(store, kUser, "008", "20000101000000", 200, 2),
                                            AddImageOfSize(store, kUser, "009", "20000102000000", 300, 3)};
    const std::vector<std::string> names = {"job007.TIF", "job008.TIF", "job009.TIF"};
    struct Row {
        const char* what;
        std::vector<int> answers;
        bool starts;     // a batch is run
        bool replaced;   // the three existing files hold the scans afterwards
        bool elsewhere;  // the scans were saved under the second Save As name
    };
    const Row rows[] = {
        {"three Yes replace the three files", {IDYES, IDYES, IDYES}, true, true, false},
        {"Yes then No: Save As again, nothing replaced", {IDYES, IDNO}, true, false, true},
        {"Yes then Cancel: nothing starts", {IDYES, IDCANCEL}, false, false, false},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim->ClearJobs();
        const std::string out = MakeTempFolder("overwrite-each" + std::to_string(n++));
        for (const std::string& name : names) WriteText(out + "/" + name, "old " + name);
        AppHarness h(IniWith(false));
        ASSERT_NO_FATAL_FAILURE(ListAndChoose(h, kUser, scans, out + "/job.TIF"));
        h.prompts.saveAnswers.push_back(out + "/other.TIF");
        h.prompts.boxAnswers.assign(row.answers.begin(), row.answers.end());
        if (row.starts) {
            RetrieveAndWait(h);
        } else {
            AppHarness::Click(h.Frame()->m_pRetrieveDlg, IDC_RETRIEVE);
            ASSERT_TRUE(h.PumpUntil([&] { return h.prompts.Boxes().size() == row.answers.size(); }, 5000));
            h.PumpFor(200);
            EXPECT_TRUE(ListShown(h));
            EXPECT_TRUE(Uploads().empty());
        }
        // One question per existing file asked about, each naming another file.
        ASSERT_EQ(h.prompts.Boxes().size(), row.answers.size());
        std::set<std::string> asked;
        for (const auto& box : h.prompts.Boxes()) {
            EXPECT_EQ(box.text, "Do you wish to overwrite this file?");
            EXPECT_EQ(box.type, MB_YESNOCANCEL | MB_ICONQUESTION);
            asked.insert(box.caption);
        }
        EXPECT_EQ(asked.size(), row.answers.size());
        for (const std::string& caption : asked)
            EXPECT_EQ(caption.substr(caption.size() - 17), ":  Already exists") << caption;
        for (std::size_t k = 0; k < names.size(); ++k) {
            EXPECT_EQ(ReadFile(out + "/" + names[k]),
                      row.replaced ? PatternBytes(100 * (k + 1), static_cast<unsigned>(k + 1)) : "old " + names[k]);
            EXPECT_EQ(std::filesystem::exists(out + "/other" + names[k].substr(3)), row.elsewhere);
        }
    }
}

// A folder that is not there is refused when it is chosen: the box says why and what
// to do, the Save As dialog comes again, and nothing is fetched.
TEST_F(RetrievalTest, FolderThatIsNotThereIsRefusedBeforeTheBatch)
{
    StartPrinter();
    std::string a = AddImageOfSize(store, kUser, "007", "19991213093005", 3000, 1);
    std::string base = MakeTempFolder("nofolder");
    std::string missing = base + "/not/there/scan.TIF";
    AppHarness h(IniWith(true));
    ListFor(h, kUser);
    Select(h, {a});
    h.prompts.saveAnswers = {missing, ""};
    AppHarness::Click(h.Frame()->m_pRetrieveDlg, IDC_RETRIEVE);
    ASSERT_TRUE(h.PumpUntil([&] { return h.prompts.calls.size() == 3; }, 5000));
    h.PumpFor(200);
    ASSERT_EQ(h.prompts.Boxes().size(), 1u);
    EXPECT_EQ(h.prompts.Boxes()[0].text, "Cannot create a file in " + base +
                                             "/not/there: No such file or directory\n\nNo scan can be saved there. "
                                             "Choose another folder.");
    EXPECT_EQ(h.prompts.Boxes()[0].caption, "Unable to save file");
    EXPECT_EQ(h.prompts.Boxes()[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(h.prompts.calls[2].kind, "SaveAs");
    EXPECT_FALSE(h.Frame()->m_bClosing);
    EXPECT_TRUE(Uploads().empty());
    EXPECT_TRUE(ListShown(h));
    EXPECT_EQ(ListStore(store).size(), 1u);
}

// A disk that takes no more bytes: the write or the saving of the copy fails, the copy
// is not good, the printer keeps the file and the batch stops. Files smaller than the
// copy's write buffer fail when it is saved; larger ones in the middle of the transfer.
TEST_F(RetrievalTest, FailedWriteIsReportedStopsTheBatchAndDeletesNothing)
{
    StartPrinter();
    struct Case {
        const char* what;
        std::size_t size;
        rlim_t limit;
    } cases[] = {{"at the save", 9000, 4096}, {"mid-transfer", 300000, 100000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& p : ListStore(store)) std::filesystem::remove(std::filesystem::path(store) / p);
        sim->ClearJobs();
        std::string a = AddImageOfSize(store, kUser, "001", "20000101000000", c.size, 1);
        std::string b = AddImageOfSize(store, kUser, "002", "20000102000000", c.size, 2);
        std::string out = MakeTempFolder("full");
        AppHarness h(IniWith(true));
        ASSERT_NO_FATAL_FAILURE(ListAndChoose(h, kUser, {a, b}, out + "/d.TIF"));
        {
            FileSizeLimit full(c.limit);
            ASSERT_TRUE(full.Ok());
            RetrieveAndWait(h);
        }

        ASSERT_EQ(h.prompts.Boxes().size(), 1u);
        EXPECT_EQ(h.prompts.Boxes()[0].caption, "Unable to save file");
        // Whichever file comes first in the table is the one that fails.
        const std::string prefix = "Cannot write " + out + "/d00";
        const std::string text = h.prompts.Boxes()[0].text;
        EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
        EXPECT_EQ(text.substr(std::min(text.size(), prefix.size() + 1)),
                  ".TIF: File too large\n\nThe copy was not saved and the file stays on the printer; the files not "
                  "yet retrieved were left as well. Make room or choose another folder, then retrieve them again.");
        EXPECT_TRUE(Deletions().empty());
        EXPECT_EQ(Uploads().size(), 1u);
        EXPECT_EQ(ListStore(store).size(), 2u);
        EXPECT_FALSE(h.Frame()->m_bClosing);
        ASSERT_TRUE(ListShown(h));
        EXPECT_EQ(h.Frame()->m_pDirectory->count, 2);
        EXPECT_EQ(SelectedPaths(h), (std::set<std::string>{a, b}));
        EXPECT_TRUE(FilesIn(out).empty());
    }
}

TEST_F(RetrievalTest, AnswerWithoutHeaderLineIsRefusedAndNothingIsDeleted)
{
    Knobs k;
    k.apply_to = ApplyTo::UploadAnswers;
    k.extra_before = std::string(200, 'x');  // no line end in the first 127 bytes
    StartPrinter(k);
    std::string a = AddImageOfSize(store, kUser, "001", "20000101000000", 500, 1);
    std::string out = MakeTempFolder("noheader");
    AppHarness h(IniWith(true));
    ASSERT_NO_FATAL_FAILURE(ListAndChoose(h, kUser, {a}, out + "/h.TIF"));
    RetrieveAndWait(h);
    ASSERT_EQ(h.prompts.Boxes().size(), 1u);
    EXPECT_EQ(h.prompts.Boxes()[0].caption, "File not copied");
    EXPECT_NE(h.prompts.Boxes()[0].text.find("did not answer the request for 001.TIF"), std::string::npos);
    EXPECT_NE(h.prompts.Boxes()[0].text.find(out + "/h.TIF"), std::string::npos);
    EXPECT_TRUE(FilesIn(out).empty());
    EXPECT_TRUE(Deletions().empty());
    EXPECT_EQ(ListStore(store).size(), 1u);
    EXPECT_TRUE(ListShown(h));
}

TEST_F(RetrievalTest, NameTooLongForAPathIsRefusedBeforeAnythingIsFetched)
{
    StartPrinter();
    std::string a = AddImageOfSize(store, kUser, "007", "19991213093005", 100, 1);
    std::string b = AddImageOfSize(store, kUser, "008", "20000101000000", 100, 2);
    std::string out = MakeTempFolder("long");
    AppHarness h(IniWith(false));
    ListFor(h, kUser);
    Select(h, {a, b});
    // Fits the Save As buffer (259 characters) but not once a record's name is added.
    std::string chosen = out + "/" + std::string(259 - out.size() - 1 - 4, 'n') + ".TIF";
    ASSERT_EQ(chosen.size(), 259u);
    h.prompts.saveAnswers = {chosen, ""};
    AppHarness::Click(h.Frame()->m_pRetrieveDlg, IDC_RETRIEVE);
    ASSERT_TRUE(h.PumpUntil([&] { return h.prompts.calls.size() == 3; }, 5000));
    h.PumpFor(200);
    EXPECT_EQ(h.prompts.calls[1].kind, "MessageBox");
    EXPECT_EQ(h.prompts.calls[1].text,
              "The name " + chosen + " is too long for a file in that folder. Choose a shorter name.");
    EXPECT_EQ(h.prompts.calls[2].kind, "SaveAs");
    EXPECT_TRUE(Uploads().empty());
    EXPECT_TRUE(FilesIn(out).empty());
    EXPECT_TRUE(ListShown(h));
    EXPECT_EQ(SelectedPaths(h), (std::set<std::string>{a, b}));
}

// The folder the first Save As offers: the user's pictures folder (as the desktop's
// user-dirs file names it), else the home folder, never the temporary folder; a
// folder the program remembers wins. Each row saves there and finds the copy on disk.
TEST_F(RetrievalTest, FirstSaveAsOffersThePicturesFolderNeverTheTemporaryOne)
{
    StartPrinter();
    const std::string a = AddImageOfSize(store, kUser, "007", "19991213093005", 100, 1);
    const std::string home = MakeTempFolder("home");
    const std::string elsewhere = MakeTempFolder("pics");
    const std::string remembered = MakeTempFolder("remembered");
    std::filesystem::create_directories(home + "/.config");
    std::filesystem::create_directories(home + "/Bilder");
    const struct {
        const char* what;
        std::string userDirs;  // "-": no user-dirs file
        std::string ini;
        std::string homeDir;
        std::string offered;
    } rows[] = {
        {"named under $HOME", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "", home, home + "/Bilder/"},
        {"named by absolute path", "# comment\nXDG_PICTURES_DIR=\"" + elsewhere + "\"\n", "", home, elsewhere + "/"},
        {"names a folder that is not there", "XDG_PICTURES_DIR=\"$HOME/Gone\"\n", "", home, home + "/"},
        {"names the home folder itself", "XDG_PICTURES_DIR=\"$HOME/\"\n", "", home, home + "/"},
        {"no user-dirs file", "-", "", home, home + "/"},
        {"no home folder either", "-", "", home + "/none", ""},
        {"a remembered folder wins", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "[MiscData]\nSaveDir=" + remembered + "/\n",
         home, remembered + "/"},
    };
    const char* names[] = {"HOME", "XDG_CONFIG_HOME", "TMPDIR"};
    std::map<std::string, std::optional<std::string>> saved;
    for (const char* n : names) saved[n] = std::getenv(n) ? std::optional<std::string>(std::getenv(n)) : std::nullopt;
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("TMPDIR", MakeTempFolder("tmpdir").c_str(), 1);
    int n = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        std::filesystem::remove(home + "/.config/user-dirs.dirs");
        if (r.userDirs != "-") WriteText(home + "/.config/user-dirs.dirs", r.userDirs);
        ::setenv("HOME", r.homeDir.c_str(), 1);
        AppHarness h(IniWith(false) + r.ini);
        const std::string folder = r.offered.empty() ? remembered + "/" : r.offered;
        const std::string name = "scan" + std::to_string(n++) + ".TIF";
        ASSERT_NO_FATAL_FAILURE(ListAndChoose(h, kUser, {a}, folder + name));
        RetrieveAndWait(h);
        ASSERT_FALSE(h.prompts.calls.empty());
        EXPECT_EQ(h.prompts.calls[0].initialDir, r.offered);
        EXPECT_EQ(ReadFile(folder + name), StoreBytes(a));
        EXPECT_EQ(std::string(h.Frame()->m_szSaveDir), folder);
    }
    for (auto& [k, v] : saved)
        if (v)
            ::setenv(k.c_str(), v->c_str(), 1);
        else
            ::unsetenv(k.c_str());
}

// With automatic deletion, a scan is deleted only when the printer reported one size
// for it twice, at least the settle time apart: the listing, and the answer to the
// upload. Retrieving at once after the listing waits (the progress dialog says why),
// so a scan the printer is still writing is seen to grow and stays on the printer,
// while a finished one is copied and deleted.
TEST_F(RetrievalTest, AutoDeleteWaitsForAScanStillBeingWrittenToSettle)
{
    StartPrinter();
    struct Row {
        const char* what;
        bool growing;  // a page every 300 ms, well within the 2 s settle time
    };
    for (const Row row : {Row{"still being written", true}, Row{"finished", false}}) {
        SCOPED_TRACE(row.what);
        sim->ClearJobs();
        const std::filesystem::path root = store;
        for (const std::string& p : ListStore(store)) std::filesystem::remove(root / p);
        const std::string a = AddImageOfSize(store, kUser, "007", "19991213093005", 3000, 1);
        std::unique_ptr<GrowingScan> scan;
        if (row.growing) scan = std::make_unique<GrowingScan>(root / a, 3000, std::chrono::milliseconds(300));
        const std::string out = MakeTempFolder("settle");
        AppHarness h(IniWith(true) + "SettleTime=2\n");
        ASSERT_NO_FATAL_FAILURE(ListAndChoose(h, kUser, {a}, out + "/scan.TIF"));
        const auto listed = std::chrono::steady_clock::now();
        int before = BatchEnds(h);
        AppHarness::Click(h.Frame()->m_pRetrieveDlg, IDC_RETRIEVE);
        // The wait runs inside the step; its trace line shows it came, once.
        ASSERT_TRUE(h.PumpUntil([&] { return BatchEnds(h) > before; }, 30000));
        h.PumpPending();
        EXPECT_EQ(std::count(h.traces.begin(), h.traces.end(), std::string("Waiting for the scan to settle\n")), 1);
        ASSERT_EQ(Uploads().size(), 1u);
        EXPECT_GE(std::chrono::steady_clock::now() - listed, std::chrono::seconds(2));
        if (row.growing) {
            ASSERT_EQ(h.prompts.Boxes().size(), 1u);
            EXPECT_EQ(h.prompts.Boxes()[0].caption, "File not copied");
            EXPECT_NE(h.prompts.Boxes()[0].text.find("has changed on the printer"), std::string::npos);
            EXPECT_TRUE(Deletions().empty());
            EXPECT_FALSE(std::filesystem::exists(out + "/scan.TIF"));
            EXPECT_TRUE(std::filesystem::exists(root / a));
        } else {
            EXPECT_TRUE(h.prompts.Boxes().empty());
            // The deletion job is the batch's last: the printer may record it a moment
            // after the batch has ended here.
            EXPECT_TRUE(h.PumpUntil([&] { return Deletions().size() == 1u; }, 10000)) << Deletions().size();
            EXPECT_EQ(ReadFile(out + "/scan.TIF"), PatternBytes(3000, 1));
        }
    }
}
