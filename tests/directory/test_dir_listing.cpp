// Receiving the listing: markers, lines split over receives, judging lines,
// the table's limit and lines the program refuses to store.
#include "dir_table_fixture.h"

using ListingTest = DirTableTest;

TEST_F(ListingTest, EndMarkers)
{
    EXPECT_EQ(Feed({"***"}), QBX_LIST_NO_FILES);
    EXPECT_EQ(dir.count, 0);
}

TEST_F(ListingTest, OnlyRejectedLinesBeforeEndMarkerMeansNoFiles)
{
    EXPECT_EQ(Feed({Line("123", "001") + Line("12", "002", "19991213093005", "5", ".tif") + "%%%"}), QBX_LIST_NO_FILES);
    EXPECT_EQ(dir.count, 0);
}

TEST_F(ListingTest, MarkersSplitOverReceives)
{
    EXPECT_EQ(Feed({"*", "*"}), QBX_LIST_MORE);
    EXPECT_EQ(Feed({"*"}), QBX_LIST_NO_FILES);

    Restart();
    EXPECT_EQ(Feed({Line("12", "001") + "%", "%", "%"}), QBX_LIST_COMPLETE);
    EXPECT_EQ(dir.count, 1);
    // A marker is never stored, not even in part.
    EXPECT_STREQ(entries[1].path, "");
}

TEST_F(ListingTest, LinesSplitOverReceivesAreJoined)
{
    const std::string a = Line("12", "001");
    const std::string b = Line("12", "002");
    // Split inside the text, then between CR and LF: the LF opening the next receive is skipped.
    const std::string first = a.substr(0, 20);
    const std::string second = a.substr(20, a.size() - 21) + "\r";
    EXPECT_EQ(Feed({first, second, "\n" + b + "%%%"}), QBX_LIST_COMPLETE);
    EXPECT_EQ(dir.count, 2);
    EXPECT_TRUE(SameBytes(entries[0], Received(a)));
    EXPECT_TRUE(SameBytes(entries[1], Received(b)));
}

TEST_F(ListingTest, NulBytesBeforeALineAreDroppedAndALineHoldingOneIsNot)
{
    const std::string nul(1, '\0');
    const std::string a = Line("12", "001"), b = Line("12", "002");
    EXPECT_EQ(Feed({a + nul + nul + b + "DXR/Images/12(003)" + nul + "(19991213093005).TIF\t5\n%%%"}),
              QBX_LIST_COMPLETE);
    ASSERT_EQ(dir.count, 2);
    EXPECT_TRUE(SameBytes(entries[0], Received(a)));
    EXPECT_TRUE(SameBytes(entries[1], Received(b)));
}

TEST_F(ListingTest, JudgesEachLineOnItsOwn)
{
    const std::string keep1 = Line("12", "001");
    const std::string keep2 = Line("12", "003", "19991213093005", "7", ".TIFF");
    EXPECT_EQ(Feed({keep1 + Line("123", "002") + Line("1", "009") + keep2 +
                    Line("12", "004", "19991213093005", "7", ".tif") + "%%%"}),
              QBX_LIST_COMPLETE);
    ASSERT_EQ(dir.count, 2);
    EXPECT_TRUE(SameBytes(entries[0], Received(keep1)));
    EXPECT_TRUE(SameBytes(entries[1], Received(keep2)));
}

TEST_F(ListingTest, TableHoldsAtMostOneThousandFiles)
{
    std::string listing;
    for (int i = 0; i < QBX_MAX_DIR_ENTRIES + 1; ++i) listing += Line("12", std::to_string(100 + i % 900));
    listing += "%%%";
    EXPECT_EQ(Feed({listing}), QBX_LIST_MORE);
    EXPECT_EQ(dir.count, QBX_MAX_DIR_ENTRIES);
    EXPECT_TRUE(reader.Full());
    // A further receive stores nothing.
    EXPECT_EQ(Feed({listing}), QBX_LIST_MORE);
    EXPECT_EQ(dir.count, QBX_MAX_DIR_ENTRIES);
}

TEST_F(ListingTest, OverlongLinesAreDroppedWithoutTouchingNeighbours)
{
    userID = "12345678";
    // 63 characters: exactly what `path` holds.
    const std::string longest = "DXR/Images/12345678(001)(19991213093005).TIFABCDEFGH\t1234567890\n";
    ASSERT_EQ(longest.size() - 1, 63u);
    const std::string tooLong = "DXR/Images/12345678(002)(19991213093005).TIFABCDEFGH\t12345678901\n";
    const std::string huge = "DXR/Images/12345678(003)(19991213093005).TIF\t" + std::string(300, '9') + "\n";
    const std::string after = Line("12345678", "004");

    EXPECT_EQ(Feed({longest + tooLong + huge.substr(0, 100), huge.substr(100), after + "%%%"}), QBX_LIST_COMPLETE);
    ASSERT_EQ(dir.count, 2);
    EXPECT_TRUE(SameBytes(entries[0], Received(longest)));
    EXPECT_TRUE(SameBytes(entries[1], Received(after)));
    EXPECT_STREQ(entries[2].path, "");
}

TEST_F(ListingTest, DropsLinesThatCannotBeUsedSafely)
{
    const char* bad[] = {
        "DXR/Images/12(001)(19991213093005).TIF\t123456789012\n",  // size wider than its field
        "DXR/Images/12(001.TIF\t5\n",                              // no ")"
        "DXR/Image/12(001)(19991213093005).TIF\t5\n",              // no "s/"
        "DXR/Images/12(0/1)(19991213093005).TIF\t5\n",             // separators in the sequence part
        "DXR/Images/12(0\\1)(19991213093005).TIF\t5\n",
        "DXR/Images/12(C:1)(19991213093005).TIF\t5\n",
        "DXR/Images/12(0\x01"
        "1)(19991213093005).TIF\t5\n",                           // control character
        "DXR/Images/12(001)(19991213093005).TIF/../x\t5\n",      // separator in the extension
        "DXR/Images/12(001)(19991213093005).TIFFFFFFFFFF\t5\n",  // display name over 15 characters
        "DXR/Images/12(001)(1999\"1213093005).TIF\t5\n",         // a quote: no upload could name it
        "DXR/Images/12(001)(1999\x1b"
        "1213093005).TIF\t5\n",  // control character outside the name
        "DXR/Images/12(001)(1999\x7f"
        "1213093005).TIF\t5\n",
    };
    std::string listing;
    for (const char* line : bad) listing += line;
    const std::string good = Line("12", "001");
    EXPECT_EQ(Feed({listing + good + "%%%"}), QBX_LIST_COMPLETE);
    ASSERT_EQ(dir.count, 1);
    EXPECT_TRUE(SameBytes(entries[0], Received(good)));
}
