// What real printers put into the listing besides its lines: back-channel messages,
// PJL status blocks and echoes, NUL bytes, volume prefixes, and "%" or "*" inside
// names. Every row is fed whole, one byte at a time, and cut in two at every position:
// the result must not depend on where the receives end.
#include "dir_table_fixture.h"

#include <vector>

namespace {

const std::string kStatusBlock = "@PJL USTATUS DEVICE\r\nCODE=10001\r\nDISPLAY=\"00 READY\"\r\nONLINE=TRUE\r\n\f";
const std::string kAccessOff = "%%[ Error: invalidaccess; OffendingCommand: filenameforall ]%%\r\n"
                               "%%[ Flushing: rest of job (to end-of-file) will be ignored ]%%\r\n";

struct Row {
    const char* what;
    std::string answer;
    int result;
    std::vector<std::string> paths;  // the records, in order, as the upload would name them
    std::string message = {};        // PrinterMessage() after a refusal
    int otherVolume = 0;
    std::vector<std::string> sizes = {};  // the records' sizes, when the row is about them
};

std::string Path(const std::string& user, const std::string& seq)
{
    return "DXR/Images/" + user + "(" + seq + ")(19991213093005).TIF";
}
std::string L(const std::string& seq, const std::string& user = "12") { return Path(user, seq) + "\t100\n"; }

std::vector<Row> Rows()
{
    const std::vector<std::string> four = {Path("12", "001"), Path("12", "002"), Path("12", "003"), Path("12", "004")};
    return {
        {"status and printer-condition messages between lines",
         L("001") + "%%[ status: busy ]%%\r\n" + L("002") + "%%[ PrinterError: paper jam ]%%\n" + L("003") + L("004") +
             "%%%",
         QBX_LIST_COMPLETE, four},
        {"a message that shares its line with the next record",
         L("001") + "%%[ status: idle ]%%" + L("002") + "%%[ status: busy ]%%\r\n%%%",
         QBX_LIST_COMPLETE,
         {Path("12", "001"), Path("12", "002")}},
        {"a message cut by its line end is no record",
         L("001") + "%%[ PrinterError: DXR/Images/12(002)\n%%%",
         QBX_LIST_COMPLETE,
         {Path("12", "001")}},
        {"file access switched off",
         kAccessOff,
         QBX_LIST_REFUSED,
         {},
         "Error: invalidaccess; OffendingCommand: filenameforall"},
        {"an interpreter error after some lines",
         L("001") + L("002") + "%%[ Error: stackunderflow; OffendingCommand: exch ]%%\r\n" + "%%[ Flushing: x ]%%%%%",
         QBX_LIST_REFUSED,
         {Path("12", "001"), Path("12", "002")},
         "Error: stackunderflow; OffendingCommand: exch"},
        {"flushing alone",
         "%%[ Flushing: rest of job (to end-of-file) will be ignored ]%%",
         QBX_LIST_REFUSED,
         {},
         "Flushing: rest of job (to end-of-file) will be ignored"},
        {"status blocks before and between lines",
         kStatusBlock + L("001") + kStatusBlock + L("002") + "%%%",
         QBX_LIST_COMPLETE,
         {Path("12", "001"), Path("12", "002")}},
        {"a status block before the no-files marker", kStatusBlock + "***", QBX_LIST_NO_FILES, {}},
        {"a job-end block whose NAME looks like a record",
         "@PJL USTATUS JOB\r\nEND\r\nNAME=\"" + Path("12", "009") + "\"\r\nPAGES=1\r\n\f" + L("001") + "%%%",
         QBX_LIST_COMPLETE,
         {Path("12", "001")}},
        {"NULs and an echo before a line",
         std::string(2, '\0') + "@PJL ECHO quillbox 1\r\n\f" + L("001") + "%%%",
         QBX_LIST_COMPLETE,
         {Path("12", "001")}},
        {"a % in a name and another user's %%% in a path",
         "DXR/Images/12(0%1)(19991213093005).TIF\t5\n" + L("001", "12%%%") + L("002") + "%%%",
         QBX_LIST_COMPLETE,
         {"DXR/Images/12(0%1)(19991213093005).TIF", Path("12", "002")}},
        {"*** inside a line",
         "DXR/Images/12(***)(19991213093005).TIF\t5\n" + L("002") + "%%%",
         QBX_LIST_COMPLETE,
         {"DXR/Images/12(***)(19991213093005).TIF", Path("12", "002")}},
        {"markers only at the start of a line",
         L("001") + "x%%%\r\n x***\n" + L("002") + " \t%%%",
         QBX_LIST_COMPLETE,
         {Path("12", "001"), Path("12", "002")}},
        {"Ctrl-D and line ends before the marker", L("001") + "\r\n\x04%%%", QBX_LIST_COMPLETE, {Path("12", "001")}},
        {"volume prefixes",
         "%disk0%" + L("001") + "0:" + L("002") + "%disk1%" + L("003") + "1:" + L("004") + "%%%",
         QBX_LIST_COMPLETE,
         {Path("12", "001"), Path("12", "002")},
         "",
         2},
        {"only files on another volume", "%disk1%" + L("001") + "%%%", QBX_LIST_NO_FILES, {}, "", 1},
        {"a PJL line behind a volume prefix",
         "%disk0%@PJL ECHO " + L("001") + L("002") + "%%%",
         QBX_LIST_COMPLETE,
         {Path("12", "002")}},
        {"messages in the middle of record lines",
         Path("12", "001") + "%%[ status: busy ]%%\t100\n" + Path("12", "002") +
             "\t1%%[PrinterError: paper jam]%%00\n" + "%%%",
         QBX_LIST_COMPLETE,
         {Path("12", "001"), Path("12", "002")},
         "",
         0,
         {"100", "100"}},
        {"an error message in the middle of a record line",
         L("001") + Path("12", "002") + "\t%%[ error: ioerror; OffendingCommand: status ]%%\r\n",
         QBX_LIST_REFUSED,
         {},
         "error: ioerror; OffendingCommand: status"},
        {"a message cut by its line end in the middle of a record line",
         L("001") + Path("12", "002") + "\t1%%[ status: busy\n" + L("003") + "%%%",
         QBX_LIST_COMPLETE,
         {Path("12", "001"), Path("12", "003")}},
        {"blanks and TABs around the size",
         Path("12", "001") + "\t 100 \t\n" + Path("12", "002") + "\t\t100\r\n%%%",
         QBX_LIST_COMPLETE,
         {Path("12", "001"), Path("12", "002")},
         "",
         0,
         {"100", "100"}},
    };
}

class BackChannelTest : public DirTableTest {
protected:
    // Feeds the answer in receives of the given sizes (the rest in one last receive),
    // each in a buffer of its own exact size, from a fresh table.
    int FeedCut(const std::string& answer, const std::vector<std::size_t>& cuts)
    {
        Restart();
        std::size_t pos = 0;
        int r = QBX_LIST_MORE;
        auto feed = [&](std::size_t len) {
            std::vector<char> recv(answer.begin() + static_cast<long>(pos),
                                   answer.begin() + static_cast<long>(pos + len));
            pos += len;
            if (r == QBX_LIST_MORE && !recv.empty())
                r = reader.Feed(dir, userID.c_str(), recv.data(), static_cast<int>(recv.size()));
        };
        for (std::size_t c : cuts) feed(std::min(c, answer.size() - pos));
        feed(answer.size() - pos);
        return r;
    }

    std::vector<std::string> Paths() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < dir.count; ++i)
            out.push_back(FieldText(entries[i].path).substr(0, FieldText(entries[i].path).find('\t')));
        return out;
    }

    void Expect(const Row& row, const std::string& how)
    {
        SCOPED_TRACE(how);
        if (row.result == QBX_LIST_REFUSED) {
            EXPECT_EQ(reader.PrinterMessage(), row.message);
        } else {
            EXPECT_EQ(Paths(), row.paths);
        }
        if (!row.sizes.empty()) {
            std::vector<std::string> sizes;
            for (int i = 0; i < dir.count; ++i) {
                const std::string line = FieldText(entries[i].path);
                sizes.push_back(line.substr(line.find('\t') + 1));
            }
            EXPECT_EQ(sizes, row.sizes);
        }
        EXPECT_EQ(reader.OtherVolumeFiles(), row.otherVolume);
    }
};

TEST_F(BackChannelTest, EveryFormWholeByteByByteAndCutAnywhere)
{
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(FeedCut(row.answer, {}), row.result);
        Expect(row, "whole");
        ASSERT_EQ(FeedCut(row.answer, std::vector<std::size_t>(row.answer.size(), 1)), row.result);
        Expect(row, "byte by byte");
        for (std::size_t cut = 0; cut <= row.answer.size(); ++cut) {
            ASSERT_EQ(FeedCut(row.answer, {cut}), row.result) << "cut at " << cut;
            Expect(row, "cut at " + std::to_string(cut));
        }
    }
}

TEST_F(BackChannelTest, StatusMessagesAreHandedOnAndNeverStored)
{
    EXPECT_EQ(Feed({L("001") + "%%[ PrinterError: paper jam ]%%\r\n"}), QBX_LIST_MORE);
    EXPECT_EQ(reader.TakeStatus(), "PrinterError: paper jam");
    EXPECT_EQ(reader.TakeStatus(), "");
    EXPECT_EQ(dir.count, 1);
    EXPECT_STREQ(entries[1].path, "");
}

TEST_F(BackChannelTest, TheEndOfTheConnectionEndsTheLastLine)
{
    // An error message cut off by the close still refuses the listing.
    EXPECT_EQ(Feed({L("001") + "%%[ Error: invalidaccess; OffendingCommand: filenameforall"}), QBX_LIST_MORE);
    EXPECT_EQ(reader.ConnectionEnded(dir, userID.c_str()), QBX_LIST_REFUSED);
    EXPECT_EQ(reader.PrinterMessage(), "Error: invalidaccess; OffendingCommand: filenameforall");

    // Anything else is a listing that ended unfinished.
    Restart();
    EXPECT_EQ(Feed({"HTTP/1.1 400 Bad Request\r\n\r\n<html>"}), QBX_LIST_MORE);
    EXPECT_EQ(reader.ConnectionEnded(dir, userID.c_str()), QBX_LIST_MORE);
    EXPECT_EQ(dir.count, 0);
}

TEST(PrinterErrorText, NamesTheErrorAndTheCommand)
{
    EXPECT_EQ(DescribePrinterError("Error: invalidaccess; OffendingCommand: filenameforall"),
              "invalidaccess in filenameforall");
    EXPECT_EQ(DescribePrinterError("Error: VMerror"), "VMerror");
    EXPECT_EQ(DescribePrinterError("Flushing: rest of job (to end-of-file) will be ignored"),
              "rest of job (to end-of-file) will be ignored");
}

}  // namespace
