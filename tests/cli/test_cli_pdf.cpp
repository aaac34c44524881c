// get --pdf and sync --pdf through the real executable: a real two-page scan becomes
// one valid PDF, a file that is no TIFF is kept as its TIFF (and said so), and the
// printer's files go only after the copy that holds them is on disk.
#include "cli_fixture.h"
#include "pdf_scans.h"

using qbxtest::CheckedPdfPages;

class CliPdf : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        scan = qbxsim::ImageRelPath("1234", "001", "20261207093005");
        qbxtest::MakeTwoPageScan(store / scan);
        notTiff = Add("1234", "002", "20261207100000", 3000, 7);
        StartPrinter();
    }

    std::string scan, notTiff;
};

TEST_F(CliPdf, GetSavesEachScanAsOnePdfOrKeepsItsTiffAndDeletesOnlyThen)
{
    const std::string tiffBytes = StoreBytes(notTiff);
    CliRun r = Run(With({"get", "--pdf", "--short-names", "--delete", "--settle", "0", "--to", out.string()}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"001.pdf", "002.TIF"}));
    EXPECT_EQ(CheckedPdfPages(out / "001.pdf"), 2);
    // The file that is no TIFF is saved as it came, under its TIFF name, and the one
    // line about it names it and says why.
    EXPECT_EQ(ReadWhole(out / "002.TIF"), tiffBytes);
    EXPECT_NE(r.err.find("not saved as PDF (the file is not a TIFF image); its TIFF was saved as " +
                         (out / "002.TIF").string()),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find((out / "001.pdf").string()), std::string::npos) << r.out;
    EXPECT_EQ(DeletionJobs().size(), 2u);
    EXPECT_FALSE(fs::exists(store / scan));
}

TEST_F(CliPdf, GetLeavesAnExistingPdfAloneAndTheScanOnThePrinter)
{
    std::ofstream(out / "001.pdf") << "mine";
    CliRun r =
        Run(With({"get", "--pdf", "--short-names", "--delete", "--settle", "0", "--to", out.string()}, {"001.TIF"}));
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(ReadWhole(out / "001.pdf"), "mine");
    EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;
    EXPECT_TRUE(DeletionJobs().empty());
    EXPECT_TRUE(fs::exists(store / scan));
}

TEST_F(CliPdf, SyncMakesThePdfOnceAndDeletesOnlyWhenThePdfIsTheOneTheScanMakes)
{
    CliRun r = Run(With({"sync", "--pdf", "--to", out.string()}));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string pdf = "2026-12-07_093005_001.pdf";
    EXPECT_EQ(CheckedPdfPages(out / pdf), 2);
    EXPECT_TRUE(fs::exists(out / "2026-12-07_100000_002.TIF"));
    const int uploads = UploadJobs();

    // Again: both are there (the PDF, and the TIFF kept in place of one), nothing is fetched.
    r = Run(With({"sync", "--pdf", "--to", out.string()}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(UploadJobs(), uploads);

    // With --delete, the TIFF kept earlier is compared with the printer's and its scan
    // deleted; the PDF is made again from the printer's file and compared: one that
    // differs by a byte is left alone, and so is its scan.
    const std::string made = ReadWhole(out / pdf);
    std::string changed = made;
    changed[changed.size() / 2] ^= 1;
    std::ofstream(out / pdf, std::ios::binary | std::ios::trunc) << changed;
    r = Run(With({"sync", "--pdf", "--delete", "--to", out.string()}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(pdf + " is not the PDF this scan makes (its bytes differ); both were left alone"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadWhole(out / pdf), changed);
    EXPECT_EQ(DeletionJobs().size(), 1u);
    EXPECT_TRUE(fs::exists(store / scan));
    EXPECT_FALSE(fs::exists(store / notTiff));

    // The PDF as this scan makes it is its whole copy: the scan goes, the PDF stays.
    std::ofstream(out / pdf, std::ios::binary | std::ios::trunc) << made;
    r = Run(With({"sync", "--pdf", "--delete", "--to", out.string()}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DeletionJobs().size(), 2u);
    EXPECT_FALSE(fs::exists(store / scan));
    EXPECT_EQ(ReadWhole(out / pdf), made);
}

// Within one run the tool never replaces a PDF it wrote itself, even with --overwrite:
// a second name of the first scan's PDF (a hard link, as a folder that folds case has
// one) appears as the next scan's destination, and that scan is left on the printer.
TEST_F(CliPdf, GetNeverReplacesAPdfOfItsOwnRun)
{
    sim.reset();
    fs::remove(store / notTiff);
    const std::string second = qbxsim::ImageRelPath("1234", "002", "20261207100000");
    qbxtest::MakeTwoPageScan(store / second);
    qbxsim::Knobs slow;
    slow.answer_delay_ms = 300;  // time for the second name to appear
    StartPrinter(slow);
    const fs::path first = out / "001.pdf", other = out / "002.pdf";
    CliRun r = Run(With({"get", "--pdf", "--short-names", "--overwrite", "--delete", "--to", out.string()}), {},
                   [&](pid_t pid) {
                       for (int i = 0; i < 3000 && !fs::exists(first) && ::waitpid(pid, nullptr, WNOHANG) == 0; ++i)
                           std::this_thread::sleep_for(std::chrono::milliseconds(2));
                       std::error_code ec;
                       fs::create_hard_link(first, other, ec);
                       EXPECT_FALSE(ec) << ec.message();
                   });
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(other.string() + " is the copy of another scan of this batch"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::equivalent(first, other));
    EXPECT_EQ(CheckedPdfPages(first), 2);
    EXPECT_FALSE(fs::exists(store / scan));
    EXPECT_TRUE(fs::exists(store / second));
    EXPECT_EQ(DeletionJobs().size(), 1u);
}
