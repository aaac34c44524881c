// The tool's names and its output pieces.
#include "cli/Names.h"
#include "cli/Output.h"
#include "cli/Settle.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

DirEntry Entry(const char* path, const char* name, const char* dup = "")
{
    DirEntry e{};
    std::strncpy(e.path, path, sizeof e.path - 1);
    std::strncpy(e.name, name, sizeof e.name - 1);
    std::strncpy(e.dupNumber, dup, sizeof e.dupNumber - 1);
    return e;
}

}  // namespace

// A file counts as finished only once two listings the settle time apart showed it at
// one size; a listing's begin and end bound when the printer looked.
TEST(CliSettle, OnlyOneSizeInListingsTheSettleTimeApartCountsAsFinished)
{
    using namespace std::chrono;
    const QbxClock::time_point t0{};
    struct Listing {
        int at;  // seconds after t0 the listing began; it ended a second later
        const char* size;
    };
    const struct {
        const char* what;
        int settle;
        std::vector<Listing> listings;
        bool settled;
        int settlesAt;  // seconds after t0; -1: never, at this size
    } rows[] = {
        {"one listing proves nothing", 10, {{0, "100"}}, false, 11},
        {"same size, far enough apart", 10, {{0, "100"}, {11, "100"}}, true, 11},
        // The first ended at 1 s, the second began at 10 s: 9 s are proved, not 10.
        {"same size, too close together", 10, {{0, "100"}, {10, "100"}}, false, 11},
        {"grown meanwhile: its time starts anew", 10, {{0, "100"}, {11, "200"}}, false, 22},
        {"a pause between pages does not count as the end",
         10,
         {{0, "100"}, {5, "100"}, {11, "200"}, {16, "200"}},
         false,
         22},
        {"gone from a listing and back: a new file", 10, {{0, "100"}, {11, ""}, {22, "100"}}, false, 33},
        {"no settle time: the first listing proves it", 0, {{0, "100"}}, true, 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        CSettleTracker t(seconds(r.settle));
        DirEntry e = Entry("DXR/Images/1234(007)(20261207093005).TIF", "007.TIF");
        for (const Listing& l : r.listings) {
            DirEntry listed = e;
            std::strncpy(listed.size, l.size, sizeof listed.size - 1);
            DirHeader dir{*l.size ? 1 : 0, 0, &listed};
            t.Listed(dir, t0 + seconds(l.at), t0 + seconds(l.at + 1));
            std::strncpy(e.size, l.size, sizeof e.size - 1);
        }
        EXPECT_EQ(t.Settled(e), r.settled);
        EXPECT_EQ(t.SettlesAt(e), r.settlesAt < 0 ? QbxClock::time_point::max() : t0 + seconds(r.settlesAt));
        // Another size than the one listed last is never settled.
        DirEntry other = e;
        std::strncpy(other.size, "99999", sizeof other.size - 1);
        EXPECT_FALSE(t.Settled(other));
    }
}

TEST(CliNames, SyncAndCommandLineNames)
{
    struct Case {
        const char* path;
        const char* name;
        const char* dup;
        const char* cli;
        const char* sync;
        const char* stable;  // null: the path
    } cases[] = {
        {"DXR/Images/1234(007)(20261207093005).TIF", "007.TIF", "", "007.TIF", "2026-12-07_093005_007.TIF",
         "2026-12-07_093005_007.TIF"},
        {"DXR/Images/1234(007)(20261207093005).TIF", "007.TIF", "2", "007_2.TIF", "2026-12-07_093005_007.TIF",
         "2026-12-07_093005_007.TIF"},
        {"DXR/Images/1234(007)(20261207093005).TIFF", "007.TIFF", "", "007.TIFF", "2026-12-07_093005_007.TIFF",
         "2026-12-07_093005_007.TIFF"},
        // No date: the display name with its duplicate suffix; only the path is stable.
        {"DXR/Images/1234(007).TIF", "007.TIF", "1", "007_1.TIF", "007_1.TIF", nullptr},
        // A date part that is not 14 digits is no date.
        {"DXR/Images/1234(007)(2026120709300X).TIF", "007.TIF", "", "007.TIF", "007.TIF", nullptr},
        {"DXR/Images/1234(007)(2026).TIF", "007.TIF", "", "007.TIF", "007.TIF", nullptr},
        {"DXR/Images/1234(007)x(20261207093005).TIF", "007.TIF", "", "007.TIF", "007.TIF", nullptr},
    };
    for (auto& c : cases) {
        DirEntry e = Entry(c.path, c.name, c.dup);
        EXPECT_EQ(CliFileName(e), c.cli) << c.path;
        EXPECT_EQ(SyncFileName(e), c.sync) << c.path;
        EXPECT_EQ(StableName(e), c.stable ? c.stable : c.path) << c.path;
    }
}

TEST(CliNames, GetNamesAreUniqueWithinTheBatchAndTakeTheDialogsExtension)
{
    DirEntry a = Entry("DXR/Images/1(007)(20261207093005).TIF", "007.TIF");
    DirEntry b = Entry("DXR/Images/1(007)(20261208093005).TIF", "007.TIF", "1");
    DirEntry c = Entry("DXR/Images/1(007)(20261209093005).TIFF", "007.TIFF", "2");
    DirEntry d = Entry("DXR/Images/1(0_1)(20261209093005).TIF", "0_1.TIF");  // its own name clashes with none
    auto paths = GetDestPaths("/tmp/x/", {&a, &b, &c, &d});
    EXPECT_EQ(paths,
              (std::vector<std::string>{"/tmp/x/007.TIF", "/tmp/x/007_1.TIF", "/tmp/x/007_2.TIF", "/tmp/x/0_1.TIF"}));
    // A second file whose own name is that of the first gets the next free _N.
    DirEntry e = Entry("DXR/Images/1(007)(20261207093005).TIF", "007.TIF");
    auto clash = GetDestPaths("/tmp/x", {&a, &e});
    EXPECT_EQ(clash[0], "/tmp/x/007.TIF");
    EXPECT_NE(clash[1], clash[0]);
    // A folder too long for a path refuses every name, one at a time, without stopping.
    auto tooLong = GetDestPaths(std::string(300, 'd'), {&a, &b});
    EXPECT_EQ(tooLong, (std::vector<std::string>{"", ""}));
}

TEST(CliOutput, JsonStringsEscapeWhatJsonNeeds)
{
    EXPECT_EQ(JsonString("007.TIF"), "\"007.TIF\"");
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString(std::string("t\tn\n\x01", 5)), "\"t\\u0009n\\u000a\\u0001\"");
}

TEST(CliOutput, ControlCharactersAreNeverWrittenAsThemselves)
{
    struct Case {
        std::string text, shown, json;
    } cases[] = {
        {"\x1b]0;X\x07\x1b[2J", "?]0;X??[2J", "\"\\u001b]0;X\\u0007\\u001b[2J\""},
        {"a\x7f"
         "b",
         "a?b", "\"a\\u007fb\""},
        // C1 as UTF-8 (U+009B), and as a lone byte that is no UTF-8.
        {"a\xc2\x9b"
         "b",
         "a?b", "\"a\\u009bb\""},
        {"a\x9b"
         "b",
         "a?b", "\"a\\ufffdb\""},
        // Letters beyond ASCII pass, in UTF-8 or Latin-1; JSON takes only UTF-8.
        {"\xc3\x89x.TIF", "\xc3\x89x.TIF", "\"\xc3\x89x.TIF\""},
        {"M\xfcller", "M\xfcller", "\"M\\ufffdller\""},
        // A sequence cut short or overlong is no UTF-8: its C1-range bytes go.
        {"x\xe2\x82", "x\xe2?", "\"x\\ufffd\\ufffd\""},
        {"\xc0\xaf", "\xc0\xaf", "\"\\ufffd\\ufffd\""},
    };
    for (auto& c : cases) {
        EXPECT_EQ(Shown(c.text), c.shown) << c.text;
        EXPECT_EQ(JsonString(c.text), c.json) << c.text;
    }
}

TEST(CliOutput, ProgressLineShowsBytesRateAndTimeLeftWithinTheWidth)
{
    std::string l = CProgressBar::Line("/x/007.TIF", 1024 * 1024, 4 * 1024 * 1024, 1.0, 120);
    EXPECT_EQ(l, "007.TIF [#######-----------------------]  25%     1.0 MiB / 4.0 MiB        1.0 MiB/s   0:03 left");
    // The line keeps its length while the bar fills.
    EXPECT_EQ(CProgressBar::Line("007.TIF", 0, 4 * 1024 * 1024, 0, 120).size(), l.size());
    EXPECT_LE(CProgressBar::Line("007.TIF", 5, 10, 0.5, 40).size(), 40u);
    // Nothing received yet: no rate, no estimate; an empty file is complete.
    EXPECT_NE(CProgressBar::Line("a", 0, 10, 0, 100).find("--:-- left"), std::string::npos);
    EXPECT_NE(CProgressBar::Line("a", 0, 0, 0, 100).find("100%"), std::string::npos);
}
