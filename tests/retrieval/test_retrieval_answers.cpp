// Answers of a printer that behaves like real ones, end to end with automatic
// deletion on: a copy counts as good only when it is the printer's whole file.
// Every fault leaves the printer's file in place, no partial local file, one box
// that names the file and the reason, and the batch stopped with the list back as
// it was selected.
#include "retrieval_fixture.h"

#include <cstring>

using namespace qbxsim;

namespace {

const std::string kUser = "1234";

struct FaultRow {
    const char* what;
    std::size_t size;                   // of the first file
    std::function<void(Knobs&)> knobs;  // set after the listing
    std::size_t grownBy;                // the printer's file grew by this much
    std::string reason;                 // in the box's text; # stands for the sequence part
};

}  // namespace

TEST_F(RetrievalTest, AnswersThatAreNotTheWholeFileDeleteNothingAndStopTheBatch)
{
    const std::size_t header = ("@PJL FSUPLOAD FORMAT:BINARY NAME=\"" + ImageRelPath(kUser, "001", "20000101000000") +
                                "\" OFFSET=0 SIZE=30000\r\n")
                                   .size();
    const FaultRow rows[] = {
        {"FILEERROR for a large file", 30000, [](Knobs& k) { k.upload_file_error = true; }, 0,
         "The printer no longer has the file #.TIF,"},
        {"FILEERROR for a tiny file", 10, [](Knobs& k) { k.upload_file_error = true; }, 0,
         "The printer no longer has the file #.TIF,"},
        {"the file grew after the listing", 30000, [](Knobs& k) { k.grow_before_upload = 1000; }, 1000,
         "The file #.TIF has changed on the printer"},
        {"close in the middle of the data", 30000,
         [&](Knobs& k) {
             k.apply_to = ApplyTo::UploadAnswers;
             k.drop_after = header + 15000;
         },
         0, "The printer ended the transfer of #.TIF before"},
        {"reset in the middle of the data", 30000,
         [&](Knobs& k) {
             k.apply_to = ApplyTo::UploadAnswers;
             k.drop_after = header + 15000;
             k.reset_on_drop = true;
         },
         0, "The printer ended the transfer of #.TIF before"},
        {"close one byte before the end", 30000,
         [&](Knobs& k) {
             k.apply_to = ApplyTo::UploadAnswers;
             k.drop_after = header + 29999;
         },
         0, "The printer ended the transfer of #.TIF before"},
    };
    for (const FaultRow& r : rows) {
        SCOPED_TRACE(r.what);
        StartPrinter();
        // Two files alike: the batch meets the fault at whichever comes first.
        const std::string a = AddImageOfSize(store, kUser, "001", "20000101000000", r.size, 1);
        const std::string b = AddImageOfSize(store, kUser, "002", "20000102000000", r.size, 2);
        const std::string out = MakeTempFolder("fault");
        AppHarness h(IniWith(true));
        ListFor(h, kUser);
        Knobs k;
        r.knobs(k);
        sim->SetKnobs(k);
        Select(h, {a, b});
        h.prompts.saveAnswers = {out + "/s.TIF"};
        RetrieveAndWait(h);

        ASSERT_EQ(Uploads().size(), 1u) << "the batch stops at the first file";
        const bool aFirst = Uploads()[0].bytes.find(a) != std::string::npos;
        const std::string seq = aFirst ? "001" : "002";
        ASSERT_EQ(h.prompts.Boxes().size(), 1u);
        const auto box = h.prompts.Boxes()[0];
        EXPECT_EQ(box.caption, "File not copied");
        EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
        std::string reason = r.reason;
        reason.replace(reason.find('#'), 1, seq);
        EXPECT_NE(box.text.find(reason), std::string::npos) << box.text;
        EXPECT_NE(box.text.find(out + "/s" + seq + ".TIF"), std::string::npos) << box.text;
        EXPECT_TRUE(FilesIn(out).empty());
        EXPECT_TRUE(Deletions().empty());
        // The listing and the one upload: no deletion job even left the program.
        EXPECT_EQ(std::count(h.traces.begin(), h.traces.end(), std::string("Sending PS commands\n")), 2);
        EXPECT_EQ(StoreBytes(a).size(), r.size + (aFirst ? r.grownBy : 0));
        EXPECT_EQ(StoreBytes(b).size(), r.size + (aFirst ? 0 : r.grownBy));
        EXPECT_EQ(StoreBytes(a).substr(0, r.size), PatternBytes(r.size, 1));
        EXPECT_EQ(StoreBytes(b).substr(0, r.size), PatternBytes(r.size, 2));
        EXPECT_FALSE(h.Frame()->m_bClosing);
        ASSERT_TRUE(ListShown(h));
        EXPECT_EQ(h.Frame()->m_pDirectory->count, 2);
        EXPECT_EQ(SelectedPaths(h), (std::set<std::string>{a, b}));
    }
}

// Some devices send status bytes between the data and the closing form feed, or a
// status block between the header line and the data: they are not part of the file,
// and the copy is whole (so the printer's file is deleted).
TEST_F(RetrievalTest, BytesBetweenTheDataAndTheFormFeedAreNotWritten)
{
    StartPrinter();
    const std::string a = AddImageOfSize(store, kUser, "001", "20000101000000", 30000, 1);
    const std::string b = AddImageOfSize(store, kUser, "002", "20000102000000", 10, 2);
    const std::string out = MakeTempFolder("beforeff");
    AppHarness h(IniWith(true));
    ListFor(h, kUser);
    Knobs k;
    k.before_form_feed = "@PJL USTATUS JOB\r\nEND\r\nNAME=\"x\"\r\n";
    k.quirks = kQuirkStatusInside;
    sim->SetKnobs(k);
    Select(h, {a, b});
    h.prompts.saveAnswers = {out + "/s.TIF"};
    RetrieveAndWait(h);

    EXPECT_TRUE(h.prompts.Boxes().empty());
    EXPECT_EQ(ReadFile(out + "/s001.TIF"), PatternBytes(30000, 1));
    EXPECT_EQ(ReadFile(out + "/s002.TIF"), PatternBytes(10, 2));
    // The printer runs the deletions after the program has closed their connections.
    EXPECT_TRUE(h.PumpUntil([&] { return ListStore(store).empty(); }, 20000));
    EXPECT_EQ(Deletions().size(), 2u);
}

// A file whose name holds a quote cannot be named in an upload request: the listing
// leaves it out rather than let the request name another file.
TEST_F(RetrievalTest, FileWhoseNameHoldsAQuoteIsLeftOutOfTheList)
{
    StartPrinter();
    const std::string a = AddImageOfSize(store, kUser, "001", "20000101000000", 100, 1);
    const std::string q = AddImageOfSize(store, kUser, "002", "2000\"102000000", 100, 2);
    AppHarness h(IniWith(true));
    ListFor(h, kUser);
    EXPECT_EQ(h.Frame()->m_pDirectory->count, 1);
    EXPECT_GE(RowOf(h, a), 0);
    EXPECT_LT(RowOf(h, q), 0);
}

// Should a record still hold a name the upload request cannot quote, the request is
// not sent (it would ask for another file): a box, nothing deleted, the batch stops.
TEST_F(RetrievalTest, RecordWhoseNameCannotBeQuotedIsNotRequested)
{
    StartPrinter();
    const std::string a = AddImageOfSize(store, kUser, "001", "20000101000000", 100, 1);
    const std::string out = MakeTempFolder("unquotable");
    AppHarness h(IniWith(true));
    ListFor(h, kUser);
    Select(h, {a});
    DirEntry& e = h.Frame()->m_pDirectory->entries[static_cast<int>(Lines(h).GetItemData(RowOf(h, a)))];
    std::strcpy(e.path, "DXR/Images/1234(001)(2000\"0101000000).TIF");
    h.prompts.saveAnswers = {out + "/u.TIF"};
    RetrieveAndWait(h);

    ASSERT_EQ(h.prompts.Boxes().size(), 1u);
    EXPECT_EQ(h.prompts.Boxes()[0].caption, "File not copied");
    EXPECT_NE(h.prompts.Boxes()[0].text.find("The name of the file 001.TIF on the printer"), std::string::npos);
    EXPECT_TRUE(Uploads().empty());
    EXPECT_TRUE(Deletions().empty());
    EXPECT_TRUE(FilesIn(out).empty());
    EXPECT_EQ(ListStore(store).size(), 1u);
    EXPECT_FALSE(h.Frame()->m_bClosing);
    EXPECT_TRUE(ListShown(h));
}
