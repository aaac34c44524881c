#include "link/JobLanguage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const std::string kUEL = "\x1b%-12345X";
const std::string kHeader = " " + kUEL + "@PJL JOB\n";
const std::string kTrailer = kUEL + "@PJL EOJ " + kUEL;

std::string Compose(int kind, const char* userID, const char* path)
{
    char buf[2048];
    int n = ComposeJob(buf, sizeof buf, kind, userID, path);
    return n < 0 ? "<refused>" : std::string(buf, static_cast<size_t>(n));
}

TEST(JobLanguage, ListingJob)
{
    const std::string expected =
        " \x1b%-12345X@PJL JOB\n"
        "@PJL ENTER LANGUAGE=POSTSCRIPT\n"
        "%!\n"
        "/sBuf 100 string def /none true def /str 16 string def\n"
        "(DXR/Images/42*) {\n"
        "dup print (\t) print status {pop pop exch pop}if str cvs print (\n) print /none false def\n"
        "} sBuf filenameforall none {(***) print}{(%%%) print}ifelse\n"
        "\x04"
        "\x1b%-12345X@PJL EOJ \x1b%-12345X";
    EXPECT_EQ(Compose(JOB_DIR, "42", nullptr), expected);
    for (const char* id : {"1", "12345678"}) {
        std::string job = Compose(JOB_DIR, id, nullptr);
        EXPECT_EQ(job.size(), 301 + std::strlen(id));
        EXPECT_EQ(job.substr(0, 10), " " + kUEL);
        EXPECT_EQ(job.substr(job.size() - 9), kUEL);
    }
}

TEST(JobLanguage, TransferJobIsHeaderLineTrailer)
{
    const std::string path = "DXR/Images/42(000007)(20240131120000).TIF";
    EXPECT_EQ(Compose(JOB_UPLOAD, nullptr, path.c_str()),
              kHeader + "@PJL FSUPLOAD NAME=\"" + path + "\" OFFSET=0 SIZE=2147483647\r\n" + kTrailer);
}

// A path the NAME="..." of the upload line cannot quote is refused rather than sent:
// a quote would end the name early and the printer would send another file.
TEST(JobLanguage, TransferJobRefusesPathsItCannotQuote)
{
    const struct {
        std::string path;
        bool sent;
    } cases[] = {
        {"DXR/Images/42(ab\"c).TIF", false},
        {"DXR/Images/42(x).TIF\" OFFSET=0 SIZE=1\r\n@PJL FSUPLOAD NAME=\"other", false},
        {"DXR/Images/42(a\nb).TIF", false},
        {"DXR/Images/42(a\rb).TIF", false},
        {"DXR/Images/42(a\tb).TIF", false},
        {"DXR/Images/42(a\x1b"
         "b).TIF",
         false},
        {"DXR/Images/42(a\x7f"
         "b).TIF",
         false},
        {"DXR/Images/42(a b)(c'd\\e).TIF", true},
        {"DXR/Images/42(\xe9t\xe9).TIF", true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(Compose(JOB_UPLOAD, nullptr, c.path.c_str()) != "<refused>", c.sent);
        // The deletion quotes its own way and stays possible.
        EXPECT_NE(Compose(JOB_DELETE, nullptr, c.path.c_str()), "<refused>");
    }
}

TEST(JobLanguage, DeletionEscapesParenthesesAndBackslashes)
{
    const char* cases[][2] = {
        {"DXR/Images/42(ab)(cd).TIF", "(DXR/Images/42\\(ab\\)\\(cd\\).TIF) deletefile\n"},
        {"DXR/Images/42(ab).TIF", "(DXR/Images/42\\(ab\\).TIF) deletefile\n"},
        {"a)b(c((d", "(a\\)b\\(c\\(\\(d) deletefile\n"},
        {"D\\I\\1(x).TIF", "(D\\\\I\\\\1\\(x\\).TIF) deletefile\n"},
    };
    for (auto& c : cases)
        EXPECT_EQ(Compose(JOB_DELETE, nullptr, c[0]),
                  kHeader + "@PJL ENTER LANGUAGE=POSTSCRIPT\n%!\n" + c[1] + "\x04" + kTrailer);
}

TEST(JobLanguage, RefusesWhatDoesNotFitWithoutOverflow)
{
    // Exactly room for the job and its NUL: accepted; one byte less: refused, buffer cleared.
    char buf[400];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(ComposeJob(buf, 303, JOB_DIR, "1", nullptr), 302);
    EXPECT_EQ(buf[303], 'x') << "nothing written past bufSize";
    EXPECT_EQ(ComposeJob(buf, 302, JOB_DIR, "1", nullptr), -1);
    EXPECT_EQ(std::string(buf, 302), std::string(302, '\0'));

    // The transfer line has a 128-byte scratch area: 48 bytes plus at most 79 of path.
    EXPECT_NE(Compose(JOB_UPLOAD, nullptr, std::string(79, 'p').c_str()), "<refused>");
    EXPECT_EQ(Compose(JOB_UPLOAD, nullptr, std::string(80, 'p').c_str()), "<refused>");
    EXPECT_EQ(Compose(JOB_DELETE, nullptr, std::string(1500, '(').c_str()), "<refused>");
    EXPECT_EQ(Compose(4, "1", "p"), "<refused>");
    EXPECT_EQ(Compose(JOB_DELETE, "1", nullptr), "<refused>");
}

}  // namespace
