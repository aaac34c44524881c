// Completing the records, removing one, and the file list's orders.
#include "dir_table_fixture.h"

using RecordsTest = DirTableTest;

TEST_F(RecordsTest, DerivesNameSizeDateAndDuplicateNumbers)
{
    const std::string listing = Line("1234", "007", "19991213093005", "48213") +
                                Line("1234", "008", "20000101000000", "9") +
                                Line("1234", "007", "19991214101500", "1") +
                                "DXR/Images/1234(007)x(2000).TIF\t3\n" +  // ")" not followed by "("
                                "DXR/Images/1234(009)(20000101).TIF\n";   // short date, no size
    userID = "1234";
    ASSERT_EQ(Feed({listing + "%%%"}), QBX_LIST_COMPLETE);
    ASSERT_EQ(dir.count, 5);
    entries[0].marked = 1;
    entries[0].processed = 1;
    ParseDirectoryRecords(dir);

    EXPECT_STREQ(entries[0].path, "DXR/Images/1234(007)(19991213093005).TIF");
    EXPECT_STREQ(entries[0].name, "007.TIF");
    EXPECT_STREQ(entries[0].size, "48213");
    EXPECT_STREQ(entries[0].dateTime, "12/13/99\t09:30:05");
    EXPECT_STREQ(entries[0].dupNumber, "");
    EXPECT_EQ(entries[0].marked, 0);
    EXPECT_EQ(entries[0].processed, 0);
    // Nothing of the size is left behind the path.
    for (size_t k = std::strlen(entries[0].path); k < sizeof entries[0].path; ++k) EXPECT_EQ(entries[0].path[k], '\0');

    EXPECT_STREQ(entries[1].dupNumber, "");
    EXPECT_STREQ(entries[2].dupNumber, "1");
    EXPECT_STREQ(entries[3].name, "007.TIF");
    EXPECT_STREQ(entries[3].dupNumber, "2");
    EXPECT_STREQ(entries[3].dateTime, "");
    EXPECT_STREQ(entries[4].dateTime, "");
    EXPECT_STREQ(entries[4].size, "");
    EXPECT_STREQ(entries[4].path, "DXR/Images/1234(009)(20000101).TIF");
}

TEST_F(RecordsTest, RemoveMovesTheLastRecordIntoThePlace)
{
    AddRecord("a", "001.TIF", "1");
    AddRecord("b", "002.TIF", "2");
    AddRecord("c", "003.TIF", "3");
    const DirEntry last = entries[2];

    RemoveDirRecord(dir, 0);
    EXPECT_EQ(dir.count, 2);
    EXPECT_TRUE(SameBytes(entries[0], last));
    EXPECT_EQ(entries[2].path[0], '\0');

    RemoveDirRecord(dir, 1);  // the last one itself
    EXPECT_EQ(dir.count, 1);
    EXPECT_STREQ(entries[0].name, "003.TIF");
    EXPECT_EQ(entries[1].name[0], '\0');

    RemoveDirRecord(dir, 1);  // outside the table
    RemoveDirRecord(dir, -1);
    EXPECT_EQ(dir.count, 1);
}

TEST_F(RecordsTest, SortsBySizeNumericallyLargestFirst)
{
    AddRecord("p", "001.TIF", "300");
    AddRecord("p", "002.TIF", "1000");
    EXPECT_EQ(Sorted(QBX_SORT_SIZE), (std::vector<int>{1, 0}));
}

TEST_F(RecordsTest, ExchangeProcedureReordersEqualSizes)
{
    AddRecord("p", "001.TIF", "100");
    AddRecord("p", "002.TIF", "100");
    AddRecord("p", "003.TIF", "500");
    EXPECT_EQ(Sorted(QBX_SORT_SIZE), (std::vector<int>{2, 1, 0}));
}

TEST_F(RecordsTest, SortsByNameByteWise)
{
    AddRecord("p", "a01.TIF", "1");
    AddRecord("p", "A01.TIF", "1");
    AddRecord("p", "101.TIF", "1");
    EXPECT_EQ(Sorted(QBX_SORT_NAME), (std::vector<int>{2, 1, 0}));
}

TEST_F(RecordsTest, SortsByFourDigitYearNewestFirst)
{
    AddRecord("DXR/Images/12(001)(19991231235959).TIF", "001.TIF", "1");
    AddRecord("DXR/Images/12(002)(20000101000000).TIF", "002.TIF", "1");
    EXPECT_EQ(Sorted(QBX_SORT_DATE), (std::vector<int>{1, 0}));
}

TEST_F(RecordsTest, PathsWithoutFullDateSortAsOldest)
{
    // ")" as the last character the field holds: the key would run into `name`
    // ("001.TIF", which beats ".TIF") if it were read beyond the path.
    std::string edge(sizeof(DirEntry::path) - 2, 'x');
    edge += ")";
    AddRecord(edge.c_str(), "001.TIF", "1");
    AddRecord("DXR/Images/12(002)x.TIF", "002.TIF", "1");
    AddRecord("DXR/Images/12(003)(19990101000000).TIF", "003.TIF", "1");
    AddRecord("DXR/Images/12(004)(2000).TIF", "004.TIF", "1");
    AddRecord("DXR/Images/12.TIF", "005.TIF", "1");
    const std::vector<int> order = Sorted(QBX_SORT_DATE);
    EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 3), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(order[3] + order[4], 4);
    EXPECT_EQ(Sorted(12345), (std::vector<int>{0, 1, 2, 3, 4}));
}
