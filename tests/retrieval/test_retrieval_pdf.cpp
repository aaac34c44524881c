// Save As "PDF document": a real two-page scan becomes one PDF holding both pages,
// made durable before the printer's file is deleted; a file that is no TIFF is kept
// as its TIFF, and one box at the end of the batch names it and says why.
#include "pdf_scans.h"
#include "retrieval_fixture.h"

using namespace qbxsim;
using qbxtest::CheckedPdfPages;

namespace {

const std::string kUser = "1234";

}  // namespace

class RetrievalPdf : public RetrievalTest {
protected:
    std::string AddTwoPageScan(const std::string& seq, const std::string& date)
    {
        const std::string rel = ImageRelPath(kUser, seq, date);
        qbxtest::MakeTwoPageScan(std::filesystem::path(store) / rel);
        return rel;
    }
};

TEST_F(RetrievalPdf, PdfTypeSavesEveryPageBeforeDeletingAndKeepsWhatCannotConvertAsTiff)
{
    StartPrinter();
    const std::string scan = AddTwoPageScan("001", "20261207093005");
    const std::string notTiff = AddImageOfSize(store, kUser, "002", "20261207100000", 3000, 4);
    const std::string notTiffBytes = StoreBytes(notTiff);
    std::string out = MakeTempFolder("pdf");
    AppHarness h(IniWith(true));
    ListFor(h, kUser);
    // The PDF type chosen and a name typed without an extension.
    Select(h, {scan, notTiff});
    h.prompts.saveAnswers.push_back(out + "/job");
    h.prompts.saveTypes.push_back(2);
    RetrieveAndWait(h);

    EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"job001.pdf", "job002.TIF"}));
    EXPECT_EQ(CheckedPdfPages(out + "/job001.pdf"), 2);
    EXPECT_EQ(ReadFile(out + "/job002.TIF"), notTiffBytes);

    // One box for the batch, naming the file kept as TIFF and why.
    auto boxes = h.prompts.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Saved as TIFF");
    EXPECT_NE(boxes[0].text.find(out + "/job002.TIF: the file is not a TIFF image"), std::string::npos)
        << boxes[0].text;

    // Both were deleted on the printer, each after its saved file was in place.
    EXPECT_TRUE(h.PumpUntil([&] { return ListStore(store).empty(); }, 20000));
    EXPECT_EQ(Deletions().size(), 2u);
}

TEST_F(RetrievalPdf, TypedPdfNameSavesAPdfAndTheOverwriteQuestionNamesIt)
{
    StartPrinter();
    const std::string scan = AddTwoPageScan("001", "20261207093005");
    std::string out = MakeTempFolder("pdf-typed");
    std::ofstream(out + "/scan.pdf") << "older";
    AppHarness h(IniWith(false));
    ListFor(h, kUser);
    Select(h, {scan});
    // The TIFF type left as it is, a name ending in .pdf typed; asked, the user agrees.
    h.prompts.saveAnswers.push_back(out + "/scan.pdf");
    h.prompts.boxAnswers.push_back(IDYES);
    RetrieveAndWait(h);

    auto boxes = h.prompts.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "scan.pdf:  Already exists");
    EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"scan.pdf"}));
    EXPECT_EQ(CheckedPdfPages(out + "/scan.pdf"), 2);
    EXPECT_TRUE(Deletions().empty());
}
