// The file list's contents and order: the View By box, the lines, and the three sorts.
#include "file_list_fixture.h"

#include <vector>

namespace {

using Texts = std::vector<std::string>;

class FileListOrder : public FileListTest {};

}  // namespace

class FileListOpening : public FileListTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FileListOpening, EmptyOrUnknownSortByShowsNameInAscendingOrder)
{
    Start(GetParam());
    File("019", "20000105080000", "300");
    File("003", "20000102080000", "1000");
    File("011", "19991231235959", "2000");
    ReceiveAndShow();

    EXPECT_EQ(ViewBy(), "Name");
    EXPECT_EQ(Names(), (Texts{"003.TIF", "011.TIF", "019.TIF"}));
    // The choice is remembered in decimal from the first showing on.
    EXPECT_STREQ(g_szSortBy, "105");
    EXPECT_TRUE(g_bSortByChanged);
}

INSTANTIATE_TEST_SUITE_P(SortBy, FileListOpening,
                         ::testing::Values("", "[MiscData]\nSortBy=\n", "[MiscData]\nSortBy=999\n",
                                           "[MiscData]\nSortBy=abc\n", "[MiscData]\nSortBy=-1\n"));

TEST_F(FileListOrder, ViewByOffersThreeItemsWithTheirStringIds)
{
    Start("[MiscData]\nSortBy=107\n");
    File("001", "20000101000000", "1");
    ReceiveAndShow();

    CComboBox& cb = Dlg()->m_cbViewBy;
    ASSERT_EQ(cb.GetCount(), 3);
    const char* texts[] = {"Name", "Size", "Date & Time"};
    for (int i = 0; i < 3; ++i) {
        char buf[32] = {};
        cb.GetLBText(i, buf, sizeof buf);
        EXPECT_STREQ(buf, texts[i]);
        EXPECT_EQ(cb.GetItemData(i), 105 + i);
    }
    EXPECT_EQ(cb.GetCurSel(), 2);
    EXPECT_STREQ(g_szSortBy, "107");
}

TEST_F(FileListOrder, LineShowsNameSizeDateAndTimeAndTheUserIdStandsBesideFiles)
{
    Start();
    File("007", "19991213093005", "48213");
    ReceiveAndShow();

    EXPECT_EQ(Lines(), (Texts{"007.TIF\t48213\t12/13/99\t09:30:05"}));
    EXPECT_EQ(Order(), (std::vector<int>{0}));
    char id[16] = {};
    Dlg()->GetDlgItemText(IDC_LIST_USERID, id, sizeof id);
    EXPECT_STREQ(id, "1234");
}

TEST_F(FileListOrder, SizeIsComparedAsANumberLargestFirst)
{
    Start("[MiscData]\nSortBy=106\n");
    File("001", "20000101000000", "300");
    File("002", "20000101000000", "1000");
    File("003", "20000101000000", "99");
    ReceiveAndShow();

    EXPECT_EQ(ViewBy(), "Size");
    EXPECT_EQ(Order(), (std::vector<int>{1, 0, 2}));
    ExpectLinesMatchRecords();
}

TEST_F(FileListOrder, EqualSizesComeOutAsTheExchangeProcedureLeavesThem)
{
    Start("[MiscData]\nSortBy=106\n");
    File("001", "20000101000000", "100");  // first
    File("002", "20000101000000", "100");  // second
    File("003", "20000101000000", "500");
    ReceiveAndShow();

    // 500, then the second, then the first: equal keys are not kept in table order.
    EXPECT_EQ(Order(), (std::vector<int>{2, 1, 0}));
}

TEST_F(FileListOrder, DateUsesTheFourDigitYearNewestFirst)
{
    Start("[MiscData]\nSortBy=107\n");
    File("001", "19991231120000", "10");  // 12/31/99
    File("002", "20000101080000", "10");  // 01/01/00
    File("003", "20000101075959", "10");  // a second earlier the same day
    ReceiveAndShow();

    EXPECT_EQ(ViewBy(), "Date & Time");
    EXPECT_EQ(Order(), (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(Lines()[2], "001.TIF\t10\t12/31/99\t12:00:00");
}

TEST_F(FileListOrder, NameIsByteOrderDigitsThenUpperThenLowerCase)
{
    Start();
    File("a01", "20000101000000", "1");
    File("A01", "20000101000000", "1");
    File("b00", "20000101000000", "1");
    File("101", "20000101000000", "1");
    File("B99", "20000101000000", "1");
    ReceiveAndShow();

    EXPECT_EQ(Names(), (Texts{"101.TIF", "A01.TIF", "B99.TIF", "a01.TIF", "b00.TIF"}));
    ExpectLinesMatchRecords();
}

TEST_F(FileListOrder, ChoosingAnotherViewByResortsAndEveryLineStillNamesItsRecord)
{
    Start();
    File("005", "20000103000000", "700");
    File("001", "20000105000000", "20");
    File("003", "19990101000000", "100000");
    File("004", "20000104000000", "3");
    ReceiveAndShow();
    EXPECT_EQ(Order(), (std::vector<int>{1, 2, 3, 0}));

    Choose(1);
    EXPECT_EQ(Order(), (std::vector<int>{2, 0, 1, 3}));
    EXPECT_STREQ(g_szSortBy, "106");
    ExpectLinesMatchRecords();

    Choose(2);
    EXPECT_EQ(Order(), (std::vector<int>{1, 3, 0, 2}));
    EXPECT_STREQ(g_szSortBy, "107");
    ExpectLinesMatchRecords();
}

TEST_F(FileListOrder, PathsWithoutADatePartSortByTheirOwnBytesOnly)
{
    Start("[MiscData]\nSortBy=107\n");
    // A full table: the last record is the last slot of the block.
    for (int i = 0; i < QBX_MAX_DIR_ENTRIES - 2; ++i) {
        char seq[4], stamp[15];
        std::snprintf(seq, sizeof seq, "%03d", i);
        std::snprintf(stamp, sizeof stamp, "2000%02d%02d120000", 1 + i % 12, 1 + i % 28);
        File(seq, stamp, std::to_string(1000 + i));
    }
    listing += "DXR/Images/1234(998).TIF\t5\n";  // no date part at all
    Receive();
    ASSERT_EQ(Count(), QBX_MAX_DIR_ENTRIES - 1);
    // Its ")" is the path's last character: nothing of a date stands behind it, and
    // the path fills its field.
    DirEntry& odd = Record(QBX_MAX_DIR_ENTRIES - 1);
    std::string path = "DXR/Images/1234(999";
    path += std::string(63 - path.size() - 5, 'x') + ".TIF)";
    ASSERT_EQ(path.size(), sizeof odd.path - 1);
    std::memcpy(odd.path, path.data(), path.size());
    std::strcpy(odd.name, "999.TIF)");
    std::strcpy(odd.size, "6");
    f->m_pDirectory->count = QBX_MAX_DIR_ENTRIES;
    Show();

    std::vector<int> order = Order();
    ASSERT_EQ(static_cast<int>(order.size()), QBX_MAX_DIR_ENTRIES);
    // The key is the bytes two after the first ")": for 1234(998).TIF that is "TIF",
    // which is above every digit, so it comes first. The record whose ")" ends its
    // path has no key bytes at all and comes last: its neighbour field is not read.
    EXPECT_EQ(order.front(), 998);
    EXPECT_EQ(order.back(), 999);
    EXPECT_EQ(Lines()[LineOfRecord(998)], "998.TIF\t5\t");
    ExpectLinesMatchRecords();

    // The other keys take the same records without trouble.
    Choose(0);
    EXPECT_EQ(Names().back(), "999.TIF)");
    Choose(1);
    ExpectLinesMatchRecords();
}

TEST_F(FileListOrder, WithoutAViewByChoiceTheListStaysAsItIs)
{
    Start("[MiscData]\nSortBy=106\n");
    File("002", "20000101000000", "5");
    File("001", "20000101000000", "9");
    File("003", "20000101000000", "7");
    ReceiveAndShow();
    ClickLine(2);
    const std::vector<std::string> before = Lines();
    const std::vector<int> orderBefore = Order();

    Dlg()->m_cbViewBy.SetCurSel(-1);
    Dlg()->SortFileList();

    EXPECT_STREQ(g_szSortBy, "-1");
    EXPECT_EQ(Lines(), before);
    EXPECT_EQ(Order(), orderBefore);
    EXPECT_EQ(SelectedLines(), (std::vector<int>{2}));
    for (int i = 0; i < Count(); ++i) EXPECT_EQ(Record(i).marked, 0) << i;
}

TEST_F(FileListOrder, ShowingAgainRebuildsTheListFromTheTable)
{
    Start();
    File("001", "20000101000000", "5");
    File("002", "20000101000000", "6");
    ReceiveAndShow();
    ASSERT_EQ(Lines().size(), 2u);

    // A fresh listing while the window still stands.
    listing.clear();
    File("010", "20000101000000", "1");
    File("011", "20000101000000", "2");
    File("012", "20000101000000", "3");
    ReceiveAndShow();

    EXPECT_EQ(Names(), (Texts{"010.TIF", "011.TIF", "012.TIF"}));
    ExpectLinesMatchRecords();
}
