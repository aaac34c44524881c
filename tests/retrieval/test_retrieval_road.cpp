// The retrieval road from end to end: files chosen in the list, the Save As choice,
// the copies on disk byte for byte, the deletions on the printer, and what the user
// sees when the batch is over.
#include "retrieval_fixture.h"

using namespace qbxsim;

namespace {

const std::string kUser = "1234";

}  // namespace

TEST_F(RetrievalTest, OneSelectedFileIsSavedAsTheChosenPathAndTheListComesBackSelected)
{
    StartPrinter();
    std::string big = AddImageOfSize(store, kUser, "007", "19991213093005", 48213, 7);
    std::string other = AddImageOfSize(store, kUser, "008", "20000101000000", 300, 8);
    std::string out = MakeTempFolder("single");
    AppHarness h(IniWith(false));
    ListFor(h, kUser);
    CMainFrame* f = h.Frame();
    const std::string firstDir = f->m_szSaveDir;  // nothing configured yet
    EXPECT_EQ(firstDir, "");

    Select(h, {big});
    h.prompts.saveAnswers.push_back(out + "/scan.TIF");
    RetrieveAndWait(h);

    // The exact chosen path, whatever the record's display name; the bytes are the printer's.
    EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"scan.TIF"}));
    EXPECT_EQ(ReadFile(out + "/scan.TIF"), PatternBytes(48213, 7));

    // The Save As dialog as asked for: the user's pictures folder the first time.
    ASSERT_FALSE(h.prompts.calls.empty());
    const PromptCall& save = h.prompts.calls[0];
    EXPECT_EQ(save.kind, "SaveAs");
    EXPECT_EQ(save.filters, "TIFF image (*.TIF)|*.TIF|PDF document (*.pdf)|*.pdf|");
    EXPECT_EQ(save.filterIndex, 1u);
    EXPECT_EQ(save.defExt, "TIF");
    EXPECT_EQ(save.initialDir, GetUserPicturesFolder());
    EXPECT_EQ(save.flags, OFN_HIDEREADONLY | OFN_NOTESTFILECREATE | OFN_NONETWORKBUTTON | OFN_LONGNAMES);
    EXPECT_EQ(save.owner, f->m_hWnd);
    EXPECT_TRUE(h.prompts.Boxes().empty());
    // The next Save As opens where this one saved.
    EXPECT_EQ(std::string(f->m_szSaveDir), out + "/");
    EXPECT_TRUE(f->m_bSettingsChanged);

    // One upload on a connection of its own; nothing deleted with automatic deletion off.
    auto up = Uploads();
    ASSERT_EQ(up.size(), 1u);
    EXPECT_NE(up[0].bytes.find("@PJL FSUPLOAD NAME=\"" + big + "\" OFFSET=0 SIZE=2147483647\r\n"), std::string::npos);
    EXPECT_TRUE(Deletions().empty());
    EXPECT_EQ(ListStore(store).size(), 2u);
    EXPECT_EQ(sim->ConnectionsAccepted(), 2);

    // The list is back with the same table and the retrieved file selected again.
    ASSERT_TRUE(ListShown(h));
    EXPECT_EQ(f->m_pDirectory->count, 2);
    EXPECT_EQ(SelectedPaths(h), (std::set<std::string>{big}));
    EXPECT_FALSE(f->m_pProgressDlg);
    EXPECT_FALSE(f->m_bTransferActive);
    EXPECT_EQ(f->m_pOutFile, nullptr);

    // A second retrieval opens in the folder used last.
    h.prompts.saveAnswers.push_back(out + "/other.TIF");
    Deselect(h);
    Select(h, {other});
    RetrieveAndWait(h);
    EXPECT_EQ(h.prompts.calls.back().initialDir, out + "/");
    EXPECT_EQ(ReadFile(out + "/other.TIF"), PatternBytes(300, 8));
}

TEST_F(RetrievalTest, ThreeFilesGetComposedNamesAndAutoDeleteEmptiesPrinterAndTable)
{
    StartPrinter();
    AddImageOfSize(store, kUser, "007", "19991213093005", 5000, 1);
    AddImageOfSize(store, kUser, "007", "19991214101500", 2100, 2);
    AddImageOfSize(store, kUser, "008", "20000101000000", 777, 3);
    std::string out = MakeTempFolder("three");
    AppHarness h(IniWith(true));
    ListFor(h, kUser);
    CMainFrame* f = h.Frame();
    ASSERT_EQ(f->m_pDirectory->count, 3);
    const std::map<std::string, std::string> expected = {
        {"job007.TIF", PathOfName(h, "007.TIF", "")},
        {"job007_1.TIF", PathOfName(h, "007.TIF", "1")},
        {"job008.TIF", PathOfName(h, "008.TIF", "")},
    };
    std::map<std::string, std::string> want;
    for (auto& [file, path] : expected) want[file] = StoreBytes(path);

    Select(h, {expected.at("job007.TIF"), expected.at("job007_1.TIF"), expected.at("job008.TIF")});
    h.prompts.saveAnswers.push_back(out + "/job.TIF");
    RetrieveAndWait(h);

    EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"job007.TIF", "job007_1.TIF", "job008.TIF"}));
    for (auto& [file, bytes] : want) EXPECT_EQ(ReadFile(out + "/" + file), bytes) << file;

    // Each file: its upload and then its deletion on the same connection, one
    // connection per file, none shared with the listing or another file. The
    // printer records the last deletion on its own thread: wait for all seven jobs.
    ASSERT_TRUE(sim->WaitForJobs(7, std::chrono::milliseconds(10000)));
    auto up = Uploads();
    auto del = Deletions();
    ASSERT_EQ(up.size(), 3u);
    ASSERT_EQ(del.size(), 3u);
    std::set<int> conns;
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(up[i].connection, del[i].connection);
        conns.insert(up[i].connection);
        // The deletion names the file just uploaded.
        size_t a = up[i].bytes.find("NAME=\"") + 6;
        std::string path = up[i].bytes.substr(a, up[i].bytes.find('"', a) - a);
        std::string escaped;
        for (char c : path) {
            if (c == '(' || c == ')') escaped += '\\';
            escaped += c;
        }
        EXPECT_NE(del[i].bytes.find("(" + escaped + ") deletefile"), std::string::npos) << path;
    }
    EXPECT_EQ(conns.size(), 3u);
    EXPECT_EQ(conns.count(sim->Jobs()[0].connection), 0u);
    for (auto& d : del) EXPECT_TRUE(d.complete);
    // The printer runs each deletion after the connection has gone: give it its time.
    EXPECT_TRUE(h.PumpUntil([&] { return ListStore(store).empty(); }, 20000));

    // Nothing left: the table is empty and the main dialog is back, ready.
    EXPECT_EQ(f->m_pDirectory->count, 0);
    EXPECT_FALSE(ListShown(h));
    EXPECT_TRUE(h.MainDlg()->m_btnOK.IsWindowEnabled());
    EXPECT_FALSE(g_bDirectoryLoaded);
    EXPECT_FALSE(f->m_bBusy);
}

TEST_F(RetrievalTest, AutoDeleteOffKeepsTableAndPrinterAndReselectsTheBatch)
{
    StartPrinter();
    std::string a = AddImageOfSize(store, kUser, "001", "20000101000000", 4000, 1);
    std::string b = AddImageOfSize(store, kUser, "002", "20000102000000", 4001, 2);
    std::string c = AddImageOfSize(store, kUser, "003", "20000103000000", 4002, 3);
    std::string out = MakeTempFolder("keep");
    AppHarness h(IniWith(false));
    ASSERT_NO_FATAL_FAILURE(ListAndChoose(h, kUser, {a, c}, out + "/x.TIF"));
    RetrieveAndWait(h);

    EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"x001.TIF", "x003.TIF"}));
    EXPECT_EQ(ReadFile(out + "/x003.TIF"), PatternBytes(4002, 3));
    EXPECT_TRUE(Deletions().empty());
    EXPECT_EQ(ListStore(store).size(), 3u);
    CMainFrame* f = h.Frame();
    EXPECT_EQ(f->m_pDirectory->count, 3);
    ASSERT_TRUE(ListShown(h));
    EXPECT_EQ(SelectedPaths(h), (std::set<std::string>{a, c}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(f->m_pDirectory->entries[i].processed, 0);
}

// The answer's framing survives the ways a printer cuts and pads it.
TEST_F(RetrievalTest, AnswersInPiecesShortOrPaddedGiveExactCopies)
{
    StartPrinter();
    std::string big = AddImageOfSize(store, kUser, "010", "20000101000000", 6000, 4);
    std::string tiny = AddImageOfSize(store, kUser, "011", "20000101000001", 10, 5);
    std::string empty = AddImageOfSize(store, kUser, "012", "20000101000002", 0, 6);
    std::string out = MakeTempFolder("pieces");
    AppHarness h(IniWith(false));
    ListFor(h, kUser);
    const std::string header = "@PJL FSUPLOAD FORMAT:BINARY NAME=\"" + big + "\" OFFSET=0 SIZE=6000\r\n";

    // The header window filled by two receives (50, then 100 bytes), the data, and
    // the terminator alone in a last receive.
    Knobs k;
    k.apply_to = ApplyTo::UploadAnswers;
    k.pieces = {50, 100, header.size() + 6000 - 150};
    k.piece_pause_ms = 150;
    sim->SetKnobs(k);
    Select(h, {big});
    h.prompts.saveAnswers.push_back(out + "/pieces.TIF");
    RetrieveAndWait(h);
    EXPECT_EQ(ReadFile(out + "/pieces.TIF"), PatternBytes(6000, 4));

    // Bytes after the form feed, in the same receive as the end of the data, are not
    // part of the file; whole answers shorter than the header window end at once.
    k = Knobs{};
    k.apply_to = ApplyTo::UploadAnswers;
    k.extra_after = "\r\n@PJL EOJ\r\n\f";
    sim->SetKnobs(k);
    Deselect(h);
    Select(h, {big, tiny, empty});
    h.prompts.saveAnswers.push_back(out + "/pad.TIF");
    RetrieveAndWait(h);
    EXPECT_EQ(ReadFile(out + "/pad010.TIF"), PatternBytes(6000, 4));
    EXPECT_EQ(ReadFile(out + "/pad011.TIF"), PatternBytes(10, 5));
    EXPECT_EQ(ReadFile(out + "/pad012.TIF"), "");
    EXPECT_TRUE(h.prompts.Boxes().empty());
}
