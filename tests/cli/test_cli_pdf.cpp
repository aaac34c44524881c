// get --pdf and sync --pdf through the real executable: a real two-page scan becomes
// one valid PDF, a file that is no TIFF is kept as its TIFF (and said so), and the
// printer's files go only after the copy that holds them is on disk.
#include "cli_fixture.h"

#include <cstdio>

namespace {

// Runs a shell command; its exit status (output in *out).
int Shell(const std::string& cmd, std::string* out = nullptr)
{
    std::string text;
    FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return -1;
    char buf[1024];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    const int st = ::pclose(p);
    if (out) *out = text;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

}  // namespace

class CliPdf : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        // Two pages from Ghostscript's fax device, as the simulated printer makes its scans.
        scan = qbxsim::ImageRelPath("1234", "001", "20261207093005");
        const fs::path ps = base / "pages.ps";
        std::ofstream(ps) << "%!PS\n/Helvetica findfont 30 scalefont setfont 72 600 moveto (one) show showpage\n"
                             "72 500 moveto (two) show 100 100 200 200 rectfill showpage\n";
        std::string err;
        ASSERT_EQ(Shell("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=tiffg4 -r100 -sOutputFile='" +
                            (store / scan).string() + "' " + ps.string(),
                        &err),
                  0)
            << err;
        notTiff = Add("1234", "002", "20261207100000", 3000, 7);
        StartPrinter();
    }
    // Pages of a PDF by qpdf, after qpdf --check found it sound; -1 when it did not.
    int CheckedPages(const fs::path& pdf)
    {
        std::string out;
        if (Shell("qpdf --check '" + pdf.string() + "'", &out) != 0) {
            ADD_FAILURE() << out;
            return -1;
        }
        Shell("qpdf --show-npages '" + pdf.string() + "'", &out);
        return std::atoi(out.c_str());
    }

    std::string scan, notTiff;
};

TEST_F(CliPdf, GetSavesEachScanAsOnePdfOrKeepsItsTiffAndDeletesOnlyThen)
{
    const std::string tiffBytes = StoreBytes(notTiff);
    CliRun r = Run(With({"get", "--pdf", "--short-names", "--delete", "--settle", "0", "--to", out.string()}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"001.pdf", "002.TIF"}));
    EXPECT_EQ(CheckedPages(out / "001.pdf"), 2);
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

TEST_F(CliPdf, SyncMakesThePdfOnceAndNeverDeletesOnTheStrengthOfAnOldOne)
{
    CliRun r = Run(With({"sync", "--pdf", "--to", out.string()}));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string pdf = "2026-12-07_093005_001.pdf";
    EXPECT_EQ(CheckedPages(out / pdf), 2);
    EXPECT_TRUE(fs::exists(out / "2026-12-07_100000_002.TIF"));
    const int uploads = UploadJobs();

    // Again: both are there (the PDF, and the TIFF kept in place of one), nothing is fetched.
    r = Run(With({"sync", "--pdf", "--to", out.string()}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(UploadJobs(), uploads);

    // With --delete, the TIFF kept earlier is compared with the printer's and its scan
    // deleted; a PDF cannot be compared, so its scan stays.
    r = Run(With({"sync", "--pdf", "--delete", "--settle", "0", "--to", out.string()}));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(pdf + " is already there"), std::string::npos) << r.err;
    EXPECT_EQ(DeletionJobs().size(), 1u);
    EXPECT_TRUE(fs::exists(store / scan));
    EXPECT_FALSE(fs::exists(store / notTiff));
}
