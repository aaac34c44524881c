// The upload-answer reader, one row per answer shape. Every row is fed whole, byte
// by byte, and cut in two at every position: the verdict and the file bytes must
// not depend on how the printer's answer was split into receives.
#include "retrieval/UploadAnswer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using V = UploadVerdict;

const std::string kPath = "DXR/Images/1234(007)(19991213093005).TIF";
const std::string kHead = "@PJL FSUPLOAD FORMAT:BINARY NAME=\"" + kPath + "\" OFFSET=0 SIZE=";

// An unsolicited status block, through its form feed.
const std::string kStatus = "@PJL USTATUS DEVICE\r\nCODE=10001\r\nDISPLAY=\"00 READY\"\r\nONLINE=TRUE\r\n\f";

std::string Header(std::uint64_t size) { return kHead + std::to_string(size) + "\r\n"; }

// A header line of exactly len bytes with its CR LF (the name fills it up).
std::string HeaderOfLength(std::size_t len, std::uint64_t size)
{
    const std::string rest = "\" OFFSET=0 SIZE=" + std::to_string(size) + "\r\n";
    const std::string front = "@PJL FSUPLOAD NAME=\"";
    return front + std::string(len - front.size() - rest.size(), 'n') + rest;
}

// The name HeaderOfLength puts in a line of len bytes.
std::string NameOfLength(std::size_t len, std::uint64_t size)
{
    return std::string(len - 20 - 16 - std::to_string(size).size() - 2, 'n');
}

// Every byte value, CR LF and form feed among them.
std::string Bytes(std::size_t n)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + 3) % 256);
    return s;
}

struct Row {
    const char* what;
    std::uint64_t listed;
    std::string answer;
    bool closeAfter;  // the printer closes the connection after the answer
    V verdict;
    std::string data;           // what goes into the file
    std::string asked = kPath;  // the path the job asked for
};

struct Outcome {
    V verdict;
    std::string data;
};

// Feeds the answer in receives of the given sizes (the rest in one last receive),
// each in a buffer of its own exact size, and checks what the reader hands out.
Outcome FeedAnswer(const Row& r, const std::vector<std::size_t>& cuts)
{
    CUploadAnswer reader(r.asked, r.listed);
    std::string data;
    std::size_t pos = 0;
    auto feed = [&](std::size_t len) {
        std::vector<char> recv(r.answer.begin() + static_cast<long>(pos),
                               r.answer.begin() + static_cast<long>(pos + len));
        pos += len;
        const bool wasFinished = reader.Finished();
        UploadBytes b = reader.Feed(recv.data(), recv.size());
        if (b.len > 0) {
            EXPECT_GE(b.data, recv.data());
            EXPECT_LE(b.data + b.len, recv.data() + recv.size());
            data.append(b.data, b.len);
        } else {
            EXPECT_EQ(b.data, nullptr);
        }
        if (wasFinished) {
            EXPECT_EQ(b.len, 0u);
        }
        EXPECT_LE(reader.DataBytes(), reader.AnnouncedSize());
    };
    for (std::size_t c : cuts) feed(std::min(c, r.answer.size() - pos));
    feed(r.answer.size() - pos);
    if (r.closeAfter) reader.ConnectionEnded();
    EXPECT_EQ(reader.DataBytes(), data.size());
    if (reader.Verdict() == V::Whole) {
        EXPECT_TRUE(reader.HeaderDone());
        EXPECT_EQ(reader.AnnouncedSize(), r.listed);
        EXPECT_EQ(reader.DataBytes(), r.listed);
    }
    return {reader.Verdict(), data};
}

std::vector<Row> Rows()
{
    const std::string ten = Bytes(10), big = Bytes(5000);
    const std::string fileError =
        "@PJL FSUPLOAD NAME=\"DXR/Images/1234(007)(19991213093005).TIF\"\r\nFILEERROR=3\r\n\f";
    return {
        {"healthy answer", 10, Header(10) + ten + "\f", false, V::Whole, ten},
        {"healthy answer of 5000 bytes", 5000, Header(5000) + big + "\f", false, V::Whole, big},
        {"0-byte file", 0, Header(0) + "\f", false, V::Whole, ""},
        {"0-byte file, closed without form feed", 0, Header(0), true, V::Whole, ""},
        {"form feed missing, then close", 10, Header(10) + ten, true, V::Whole, ten},
        {"bytes between the data and the form feed", 10, Header(10) + ten + "@PJL USTATUS JOB\r\n\f", false, V::Whole,
         ten},
        {"bytes after the form feed", 10, Header(10) + ten + "\fmore", true, V::Whole, ten},
        {"header line ended by LF alone", 10, kHead + "10\n" + ten + "\f", false, V::Whole, ten},
        {"a name that holds SIZE= does not count", 10,
         "@PJL FSUPLOAD NAME=\"a SIZE=3 b\" OFFSET=0 SIZE=10\r\n" + ten + "\f", false, V::Whole, ten, "a SIZE=3 b"},
        {"header line of exactly 127 bytes", 10, HeaderOfLength(127, 10) + ten + "\f", false, V::Whole, ten,
         NameOfLength(127, 10)},
        {"header line of 128 bytes", 10, HeaderOfLength(128, 10) + ten + "\f", false, V::NotAFile, "",
         NameOfLength(128, 10)},
        {"another file of the same size", 10, Header(10) + ten + "\f", false, V::OtherFile, "",
         "DXR/Images/1234(008)(19991213093005).TIF"},
        {"the name asked for differs in case only", 10, Header(10) + ten + "\f", false, V::OtherFile, "",
         "DXR/Images/1234(007)(19991213093005).tif"},
        {"the name asked for is a prefix of the one answered", 10, Header(10) + ten + "\f", false, V::OtherFile, "",
         "DXR/Images/1234(007)"},
        {"NAME missing", 10, "@PJL FSUPLOAD FORMAT:BINARY OFFSET=0 SIZE=10\r\n" + ten + "\f", false, V::NotAFile, ""},
        {"NAME twice", 10, "@PJL FSUPLOAD NAME=\"" + kPath + "\" " + kHead.substr(5) + "10\r\n" + ten + "\f", false,
         V::NotAFile, ""},
        {"FILEERROR for another file", 10, fileError, false, V::OtherFile, "", "DXR/Images/1234(008)(1).TIF"},
        {"over 2 GiB listed, SIZE capped at 2147483647", 2200000000ULL, Header(2147483647) + ten, false, V::SizeChanged,
         ""},
        {"FILEERROR for a tiny file", 10, fileError, false, V::NotOnPrinter, ""},
        {"FILEERROR for a large file", 300, fileError, true, V::NotOnPrinter, ""},
        {"FILEERROR line cut by the close", 300, fileError.substr(0, fileError.size() - 3), true, V::NotOnPrinter, ""},
        {"SIZE smaller than listed", 12, Header(10) + ten + "\f", false, V::SizeChanged, ""},
        {"SIZE larger than listed (the file grew)", 10, Header(12) + Bytes(12) + "\f", false, V::SizeChanged, ""},
        {"SIZE missing, no FILEERROR", 10, "@PJL FSUPLOAD NAME=\"" + kPath + "\"\r\n" + ten + "\f", false, V::NotAFile,
         ""},
        {"SIZE not a number", 10, kHead + "1O\r\n" + ten + "\f", false, V::NotAFile, ""},
        {"SIZE empty", 10, kHead + "\r\n" + ten + "\f", false, V::NotAFile, ""},
        {"SIZE twice", 10, kHead + "10 SIZE=10\r\n" + ten + "\f", false, V::NotAFile, ""},
        {"SIZE of 20 digits", 10, kHead + "00000000000000000010\r\n" + ten + "\f", false, V::NotAFile, ""},
        {"OFFSET not 0", 10, "@PJL FSUPLOAD NAME=\"x\" OFFSET=5 SIZE=10\r\n" + ten + "\f", false, V::NotAFile, ""},
        {"quote left open", 10, "@PJL FSUPLOAD NAME=\"x SIZE=10\r\n" + ten + "\f", false, V::NotAFile, ""},
        {"not an upload answer", 10, "@PJL INFO STATUS SIZE=10\r\n" + ten + "\f", false, V::NotAFile, ""},
        // What printers send on their own before the answer is never part of the file.
        {"status block before the header", 10, kStatus + Header(10) + ten + "\f", false, V::Whole, ten},
        {"status blocks, NULs and an echo before the header", 10,
         std::string(3, '\0') + kStatus + "@PJL ECHO quillbox\r\n\f" + kStatus + Header(10) + ten + "\f", false,
         V::Whole, ten},
        {"a status block never ends the wait for the header", 10, kStatus + kStatus, false, V::InProgress, ""},
        {"status block between the header and the data", 10, Header(10) + kStatus + ten + "\f", false, V::Whole, ten},
        {"echo and status block between the header and the data", 10,
         Header(10) + "@PJL ECHO quillbox\r\n\f" + kStatus + ten + "\f", false, V::Whole, ten},
        {"data that begin with @ and are no status", 10, Header(10) + "@PJL INFO ID\r\n" + ten + "\f", false,
         V::NotAFile, ""},
        {"a status block cut by the close before the data", 10, Header(10) + kStatus.substr(0, 20), true, V::EndedEarly,
         ""},
        {"lower-case words", 10, "@PJL fsupload format:binary name=\"" + kPath + "\" offset=0 size=10\r\n" + ten + "\f",
         false, V::Whole, ten},
        {"FILEERROR on the header line", 10, "@PJL FSUPLOAD NAME = \"" + kPath + "\" FILEERROR=3\r\n\f", false,
         V::NotOnPrinter, ""},
        {"lower-case FILEERROR after blanks", 10, "@PJL FSUPLOAD NAME=\"" + kPath + "\"\r\n  fileerror=3\r\n\f", false,
         V::NotOnPrinter, ""},
        {"blanks around =", 10,
         "@PJL FSUPLOAD FORMAT:BINARY NAME = \"" + kPath + "\" OFFSET = 0 SIZE = 10\r\n" + ten + "\f", false, V::Whole,
         ten},
        {"blanks around = keep the quoted name as it is", 10,
         "@PJL FSUPLOAD NAME = \"a = b\" OFFSET =0 SIZE= 10\r\n" + ten + "\f", false, V::Whole, ten, "a = b"},
        {"blanks around = for another file", 10,
         "@PJL FSUPLOAD NAME = \"" + kPath + "x\" OFFSET = 0 SIZE = 10\r\n" + ten + "\f", false, V::OtherFile, ""},
        {"FILEERROR with blanks around =", 10, "@PJL FSUPLOAD NAME = \"" + kPath + "\"\r\nFILEERROR = 3\r\n\f", false,
         V::NotOnPrinter, ""},
        {"CR not followed by LF", 10, kHead + "10\r" + ten + "\f", false, V::NotAFile, ""},
        {"no line end in the window", 10, std::string(200, 'x') + Header(10) + ten + "\f", false, V::NotAFile, ""},
        {"close after half the data", 5000, Header(5000) + big.substr(0, 2500), true, V::EndedEarly,
         big.substr(0, 2500)},
        {"close one byte short", 10, Header(10) + ten.substr(0, 9), true, V::EndedEarly, ten.substr(0, 9)},
        {"close inside the header line", 10, kHead.substr(0, 30), true, V::EndedEarly, ""},
        {"close before any byte", 10, "", true, V::EndedEarly, ""},
        {"data not yet complete", 10, Header(10) + ten.substr(0, 5), false, V::InProgress, ten.substr(0, 5)},
        {"data complete, end not yet seen", 10, Header(10) + ten, false, V::InProgress, ten},
    };
}

TEST(UploadAnswer, EveryAnswerShapeWholeByteByByteAndCutAnywhere)
{
    for (const Row& r : Rows()) {
        SCOPED_TRACE(r.what);
        Outcome whole = FeedAnswer(r, {});
        EXPECT_EQ(whole.verdict, r.verdict);
        EXPECT_EQ(whole.data, r.data);

        Outcome bytes = FeedAnswer(r, std::vector<std::size_t>(r.answer.size(), 1));
        EXPECT_EQ(bytes.verdict, r.verdict);
        EXPECT_EQ(bytes.data, r.data);

        // Every cut in the first 200 bytes (the header and its line end among them).
        const std::size_t last = std::min<std::size_t>(r.answer.size(), 200);
        for (std::size_t cut = 0; cut <= last; ++cut) {
            Outcome two = FeedAnswer(r, {cut});
            ASSERT_EQ(two.verdict, r.verdict) << "cut at " << cut;
            ASSERT_EQ(two.data, r.data) << "cut at " << cut;
        }
    }
}

// The first receive of 2048 bytes behind a 60-byte header line: the data begin right
// after its CR LF and the file's bytes of that receive are handed out in one piece.
TEST(UploadAnswer, DataOfTheFirstReceiveFollowTheHeaderLine)
{
    const std::string head = HeaderOfLength(62, 9000);
    ASSERT_EQ(head.size(), 62u);
    const std::string answer = head + Bytes(9000) + "\f";
    CUploadAnswer reader(NameOfLength(62, 9000), 9000);
    UploadBytes b = reader.Feed(answer.data(), 2048);
    EXPECT_TRUE(reader.HeaderDone());
    EXPECT_EQ(reader.AnnouncedSize(), 9000u);
    EXPECT_EQ(b.data, answer.data() + 62);
    EXPECT_EQ(b.len, 2048u - 62);
    EXPECT_FALSE(reader.Finished());
}

TEST(UploadAnswer, NothingIsHandedOutOnceFinished)
{
    const std::string answer = Header(3) + "abc\f";
    CUploadAnswer reader(kPath, 3);
    UploadBytes b = reader.Feed(answer.data(), answer.size());
    EXPECT_EQ(std::string(b.data, b.len), "abc");
    EXPECT_EQ(reader.Verdict(), V::Whole);
    EXPECT_EQ(reader.Feed("more", 4).len, 0u);
    reader.ConnectionEnded();
    EXPECT_EQ(reader.Verdict(), V::Whole);

    CUploadAnswer ended(kPath, 3);
    ended.ConnectionEnded();
    EXPECT_EQ(ended.Verdict(), V::EndedEarly);
    EXPECT_EQ(ended.Feed(answer.data(), answer.size()).len, 0u);
    EXPECT_EQ(ended.DataBytes(), 0u);

    CUploadAnswer empty(kPath, 3);
    EXPECT_EQ(empty.Feed(nullptr, 0).len, 0u);
    EXPECT_EQ(empty.Feed(answer.data(), 0).len, 0u);
    EXPECT_FALSE(empty.Finished());
}

}  // namespace
