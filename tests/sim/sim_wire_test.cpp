// The simulated printer's answers to the client's jobs, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <thread>

#include "sim_test_client.h"

namespace {
using namespace simtest;
namespace fs = std::filesystem;

class SimWire : public ::testing::Test, public SimFixtureBase {
protected:
    void SetUp() override { ASSERT_TRUE(StartSim()) << sim().LastError(); }
};

std::string Line(const std::string& rel, std::size_t size) { return rel + "\t" + std::to_string(size); }

TEST_F(SimWire, ListingGivesPathTabSizeLinesThenPercentSigns)
{
    std::set<std::string> expected;
    expected.insert(Line(qbxsim::AddImageOfSize(root(), "1234", "007", "20240101120000", 5), 5));
    expected.insert(Line(qbxsim::AddImageOfSize(root(), "1234", "008", "20240101120100", 70000), 70000));
    expected.insert(Line(qbxsim::AddImage(root(), "1234", "009", "20240101120200", ""), 0));
    // The pattern is a prefix: another user whose ID starts with 1234 is listed too.
    expected.insert(Line(qbxsim::AddImageOfSize(root(), "12345", "001", "20240101120300", 9), 9));
    expected.insert(Line(qbxsim::AddImageOfSize(root(), "1234", "010", "20240101120400", 3, 1, ".tif"), 3));
    expected.insert(Line(qbxsim::AddImageOfSize(root(), "1234", "011", "20240101120500", 4, 1, ".TIFF"), 4));
    // A line far longer than 63 characters.
    std::string long_user = "1234" + std::string(40, '7');
    std::string long_line = Line(qbxsim::AddImageOfSize(root(), long_user, "012", "20240101120600", 1234567), 1234567);
    ASSERT_GT(long_line.size(), 63u);
    expected.insert(long_line);
    qbxsim::AddImageOfSize(root(), "4321", "001", "20240101120000", 7);
    qbxsim::AddImageOfSize(root(), "123", "001", "20240101120000", 7);

    Client c(port());
    ASSERT_TRUE(c.ok());
    const std::string job = ListingJob("1234");
    ASSERT_TRUE(c.Send(job));
    std::string term;
    auto lines = Lines(c.ReadListing(), &term);
    EXPECT_EQ(term, "%%%");
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expected);
    EXPECT_EQ(lines.size(), expected.size());

    auto jobs = sim().Jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].bytes, job);
    EXPECT_EQ(jobs[0].connection, 1);
    EXPECT_TRUE(jobs[0].complete);
}

TEST_F(SimWire, ListingForUserWithoutFilesIsThreeStars)
{
    qbxsim::AddImageOfSize(root(), "1234", "001", "20240101120000", 5);
    Client c(port());
    ASSERT_TRUE(c.Send(ListingJob("999")));
    EXPECT_EQ(c.ReadListing(), "***");
}

TEST_F(SimWire, ListingOfMoreThanAThousandFilesIsComplete)
{
    auto names = qbxsim::AddManyImages(root(), "77", 1005, 3);
    Client c(port());
    ASSERT_TRUE(c.Send(ListingJob("77")));
    std::string term;
    auto lines = Lines(c.ReadListing(), &term);
    EXPECT_EQ(term, "%%%");
    std::set<std::string> expected;
    for (auto& n : names) expected.insert(Line(n, 3));
    EXPECT_EQ(expected.size(), 1005u);
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expected);
}

TEST_F(SimWire, DeletionRemovesTheFileAndLaterJobsSeeIt)
{
    auto gone = qbxsim::AddImageOfSize(root(), "42", "ab", "cd", 10);
    auto kept = qbxsim::AddImageOfSize(root(), "42", "001", "20240101120000", 11);
    Client c(port());
    // Deletion answers nothing; the listing behind it on the same connection
    // shows the result.
    ASSERT_TRUE(c.Send(DeleteJob("DXR/Images/42(ab)(cd).TIF") + ListingJob("42")));
    EXPECT_EQ(c.ReadListing(), Line(kept, 11) + "\n%%%");
    EXPECT_FALSE(fs::exists(root() / gone));
    EXPECT_TRUE(fs::exists(root() / kept));
}

TEST_F(SimWire, DeletionOutsideTheImageFolderIsRefused)
{
    qbxsim::EnsureStore(root());
    std::ofstream(root() / "secret.TIF") << "root file";
    std::ofstream(root().parent_path() / "outside.TIF") << "outside";
    fs::create_directories(root() / "DXR" / "Other");
    std::ofstream(root() / "DXR" / "Other" / "x.TIF") << "other";

    const std::vector<std::string> attempts = {
        "secret.TIF", "DXR/Other/x.TIF", "DXR/Images/../../secret.TIF",
        (root().parent_path() / "outside.TIF").string(),  // absolute, under the system temp dir
        (root() / "secret.TIF").string()};
    Client c(port());
    for (const auto& a : attempts) {
        ASSERT_TRUE(c.Send(DeleteJob(a) + ListingJob("nobody")));
        std::string answer = c.ReadListing();
        // Ghostscript reports the refusal on its output; the listing still follows.
        EXPECT_NE(answer.find("Error"), std::string::npos) << a << ": " << answer;
        EXPECT_TRUE(std::string_view(answer).ends_with("***")) << answer;
    }
    EXPECT_TRUE(fs::exists(root() / "secret.TIF"));
    EXPECT_TRUE(fs::exists(root().parent_path() / "outside.TIF"));
    EXPECT_TRUE(fs::exists(root() / "DXR" / "Other" / "x.TIF"));
}

TEST_F(SimWire, UploadSendsHeaderExactBytesAndFormFeed)
{
    const std::string bytes = qbxsim::PatternBytes(70000, 3);
    ASSERT_NE(bytes.find('\f'), std::string::npos);  // form feeds inside the data too
    auto rel = qbxsim::AddImage(root(), "42", "ab", "cd", bytes);
    ASSERT_EQ(rel, "DXR/Images/42(ab)(cd).TIF");
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel)));
    c.ShutdownWrite();  // the answer is complete when the printer closes
    EXPECT_EQ(c.ReadToEof(), UploadAnswer(rel, bytes));
    EXPECT_TRUE(c.eof());
}

TEST_F(SimWire, UploadHonoursOffsetAndSize)
{
    const std::string bytes = qbxsim::PatternBytes(1000, 4);
    auto rel = qbxsim::AddImage(root(), "42", "001", "20240101120000", bytes);
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel, 10, 100) + UploadJob(rel, 990, 100) + UploadJob(rel, 2000, 5)));
    c.ShutdownWrite();
    EXPECT_EQ(c.ReadToEof(), UploadAnswer(rel, bytes.substr(10, 100), 10) + UploadAnswer(rel, bytes.substr(990), 990) +
                                 UploadAnswer(rel, "", 2000));
}

TEST_F(SimWire, UploadOfMissingOrOutsideFileGivesFileError)
{
    qbxsim::EnsureStore(root());
    std::ofstream(root().parent_path() / "outside.TIF") << "outside";
    fs::create_symlink(root().parent_path() / "outside.TIF", root() / "DXR" / "Images" / "link.TIF");
    const std::vector<std::string> names = {"DXR/Images/42(ab)(cd).TIF",
                                            "../outside.TIF",
                                            "DXR/Images/../../../outside.TIF",
                                            (root().parent_path() / "outside.TIF").string(),
                                            "DXR/Images",
                                            "DXR/Images/link.TIF",
                                            ""};
    Client c(port());
    std::string sent, expected;
    for (const auto& n : names) {
        sent += UploadJob(n);
        expected += FileErrorAnswer(n);
    }
    ASSERT_TRUE(c.Send(sent));
    c.ShutdownWrite();
    EXPECT_EQ(c.ReadToEof(), expected);
}

// A link in the image folder that leads out of the store is no file of the printer's,
// for a PostScript job as for an upload; one that stays inside the store is.
TEST_F(SimWire, LinkLeadingOutOfTheStoreIsNoFileForPostScriptEither)
{
    const auto kept = qbxsim::AddImageOfSize(root(), "42", "001", "20240101120000", 5);
    std::ofstream(root().parent_path() / "outside.TIF") << "outside secret";
    const fs::path images = root() / "DXR" / "Images";
    fs::create_symlink(root().parent_path() / "outside.TIF", images / "42(002)(20240101120000).TIF");
    fs::create_symlink(images / "42(001)(20240101120000).TIF", images / "42(003)(20240101120000).TIF");
    const std::string out = "DXR/Images/42(002)(20240101120000).TIF";
    const std::string read =
        "%!\n{ (" + out + ") (r) file 100 string readstring pop print } stopped { (refused) print } if\n";
    const std::string readJob = " " + kUel + "@PJL JOB\n@PJL ENTER LANGUAGE=POSTSCRIPT\n" + read + kTrailer;

    Client c(port());
    ASSERT_TRUE(c.Send(ListingJob("42")));
    std::string term;
    auto lines = Lines(c.ReadListing(), &term);
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()),
              (std::set<std::string>{Line(kept, 5), Line("DXR/Images/42(003)(20240101120000).TIF", 5)}));
    ASSERT_TRUE(c.Send(readJob + DeleteJob(out) + UploadJob(out)));
    c.ShutdownWrite();
    const std::string answer = c.ReadToEof();
    EXPECT_EQ(answer.find("secret"), std::string::npos) << answer;
    EXPECT_NE(answer.find("refused"), std::string::npos) << answer;
    EXPECT_TRUE(std::string_view(answer).ends_with(FileErrorAnswer(out))) << answer;
    EXPECT_TRUE(fs::is_symlink(images / "42(002)(20240101120000).TIF"));
    EXPECT_TRUE(fs::exists(root().parent_path() / "outside.TIF"));
}

// A job that never ends is not buffered without limit: past the cap the printer
// keeps only its beginning, closes the connection and serves the next one.
TEST_F(SimWire, OverlongJobIsCutAndTheConnectionClosed)
{
    auto rel = qbxsim::AddImageOfSize(root(), "1234", "001", "20240101120000", 8);
    {
        Client c(port());
        const std::string piece(1u << 20, 'x');
        const std::string start = kUel + "@PJL ENTER LANGUAGE=POSTSCRIPT\r\n";
        c.Send(start);
        for (std::size_t sent = 0; sent <= qbxsim::kMaxJobBytes && c.Send(piece); sent += piece.size()) {
        }
        c.ReadToEof();
        EXPECT_TRUE(c.eof());
    }
    ASSERT_TRUE(sim().WaitForJobs(1, std::chrono::seconds(20)));
    auto jobs = sim().Jobs();
    EXPECT_EQ(jobs[0].bytes.size(), qbxsim::kRefusedJobKept);
    EXPECT_FALSE(jobs[0].complete);
    Client next(port());
    ASSERT_TRUE(next.Send(UploadJob(rel)));
    EXPECT_EQ(next.ReadBytes(UploadAnswer(rel, qbxsim::PatternBytes(8)).size()),
              UploadAnswer(rel, qbxsim::PatternBytes(8)));
}

TEST_F(SimWire, JobsAreRecordedPerConnectionWhateverTheirSegmentation)
{
    const std::string bytes = qbxsim::PatternBytes(300, 5);
    auto rel = qbxsim::AddImage(root(), "1234", "001", "20240101120000", bytes);
    const std::string three = ListingJob("1234") + UploadJob(rel) + UploadJob("DXR/Images/none.TIF");
    const std::string expected =
        Line(rel, 300) + "\n%%%" + UploadAnswer(rel, bytes) + FileErrorAnswer("DXR/Images/none.TIF");

    Client first(port());
    ASSERT_TRUE(first.Send(three));  // three jobs in one write
    EXPECT_EQ(first.ReadBytes(expected.size()), expected);

    Client second(port());
    for (char ch : three) ASSERT_TRUE(second.Send(std::string(1, ch)));  // a byte at a time
    EXPECT_EQ(second.ReadBytes(expected.size()), expected);

    auto jobs = sim().Jobs();
    ASSERT_EQ(jobs.size(), 6u);
    const std::string each[] = {ListingJob("1234"), UploadJob(rel), UploadJob("DXR/Images/none.TIF")};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(jobs[i].connection, i < 3 ? 1 : 2) << i;
        EXPECT_EQ(jobs[i].bytes, each[i % 3]) << i;
        EXPECT_TRUE(jobs[i].complete);
    }
    EXPECT_EQ(sim().ConnectionsAccepted(), 2);
}

TEST_F(SimWire, JobWithoutTrailerIsRecordedButNotAnswered)
{
    auto rel = qbxsim::AddImageOfSize(root(), "1234", "001", "20240101120000", 8);
    std::string job = UploadJob(rel);
    job.resize(job.size() - kUel.size());  // closing UEL missing
    Client c(port());
    ASSERT_TRUE(c.Send(job));
    c.ShutdownWrite();
    EXPECT_EQ(c.ReadToEof(), "");
    EXPECT_TRUE(c.eof());
    ASSERT_TRUE(sim().WaitForJobs(1, std::chrono::seconds(10)));
    auto jobs = sim().Jobs();
    EXPECT_EQ(jobs[0].bytes, job);
    EXPECT_FALSE(jobs[0].complete);
}

TEST_F(SimWire, OtherPjlAndLanguagesAreIgnored)
{
    auto rel = qbxsim::AddImageOfSize(root(), "1234", "001", "20240101120000", 8);
    const std::string job = " " + kUel +
                            "@PJL JOB\n@PJL INFO STATUS\r\nnonsense\n@PJL ENTER LANGUAGE=PCL\n\x1b"
                            "E" +
                            kUel + "@PJL FSUPLOAD NAME=\"" + rel + "\" OFFSET=0 SIZE=2147483647\r\n" + kUel +
                            "@PJL EOJ " + kUel;
    Client c(port());
    ASSERT_TRUE(c.Send(job));
    c.ShutdownWrite();
    EXPECT_EQ(c.ReadToEof(), UploadAnswer(rel, qbxsim::PatternBytes(8)));
}

TEST_F(SimWire, ConcurrentConnectionsEachGetTheirOwnAnswer)
{
    std::vector<std::string> expected;
    for (int u = 0; u < 6; ++u) {
        auto rel = qbxsim::AddImageOfSize(root(), "5" + std::to_string(u), "001", "20240101120000", 10 + u);
        expected.push_back(Line(rel, 10 + u) + "\n%%%");
    }
    std::vector<std::string> got(6);
    std::vector<std::thread> threads;
    for (int u = 0; u < 6; ++u)
        threads.emplace_back([&, u] {
            Client c(port());
            if (c.Send(ListingJob("5" + std::to_string(u)))) got[u] = c.ReadListing();
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(got, expected);
    EXPECT_EQ(sim().ConnectionsAccepted(), 6);
}

// A large answer goes out without being read into memory; a client that leaves in
// the middle of it ends only its own connection, and the printer serves the next one.
TEST_F(SimWire, LargeAnswerToAClientThatLeavesMidwayLeavesThePrinterServing)
{
    const std::size_t size = 24u << 20;
    auto rel = qbxsim::AddImageOfSize(root(), "1234", "001", "20240101120000", size, 3);
    {
        Client c(port());
        ASSERT_TRUE(c.Send(UploadJob(rel)));
        EXPECT_GE(c.ReadBytes(100000).size(), 100000u);
        c.Close();  // with megabytes still to come: the printer's next write fails with EPIPE
    }
    Client c(port());
    ASSERT_TRUE(c.Send(UploadJob(rel)));
    const std::string expected = UploadAnswer(rel, qbxsim::PatternBytes(size, 3));
    EXPECT_TRUE(c.ReadBytes(expected.size()) == expected);
    EXPECT_EQ(sim().ConnectionsAccepted(), 2);
}

}  // namespace
