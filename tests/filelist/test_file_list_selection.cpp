// The user's selection in the file list: across re-sorts, from marks set while the
// list was closed, and the Delete and Retrieve buttons that follow it.
#include "file_list_fixture.h"

#include <vector>

namespace {

using Ints = std::vector<int>;

class FileListSelection : public FileListTest {
protected:
    void SixFiles()
    {
        File("006", "20000106000000", "60");
        File("002", "20000101000000", "2000");
        File("005", "19991230000000", "5");
        File("001", "20000103000000", "100");
        File("004", "20000102000000", "400000");
        File("003", "20000104000000", "30");
    }
};

}  // namespace

TEST_F(FileListSelection, ThreeSelectedFilesStaySelectedAtTheirNewPlacesAfterAResort)
{
    Start();
    SixFiles();
    ReceiveAndShow();
    // By name: 001(3) 002(1) 003(5) 004(4) 005(2) 006(0).
    ASSERT_EQ(Order(), (Ints{3, 1, 5, 4, 2, 0}));
    ClickLine(0);
    ClickLine(3);
    ClickLine(5);
    ASSERT_EQ(SelectedRecords(), (Ints{0, 3, 4}));

    Choose(1);  // Size: 400000(4) 2000(1) 100(3) 60(0) 30(5) 5(2)
    EXPECT_EQ(Order(), (Ints{4, 1, 3, 0, 5, 2}));
    EXPECT_EQ(SelectedLines(), (Ints{0, 2, 3}));
    EXPECT_EQ(SelectedRecords(), (Ints{0, 3, 4}));
    ExpectLinesMatchRecords();

    Choose(2);  // Date: 0106(0) 0104(5) 0103(3) 0102(4) 0101(1) 991230(2)
    EXPECT_EQ(Order(), (Ints{0, 5, 3, 4, 1, 2}));
    EXPECT_EQ(SelectedLines(), (Ints{0, 2, 3}));
    ExpectLinesMatchRecords();

    // The marks only carried the selection through the sort.
    for (int i = 0; i < Count(); ++i) EXPECT_EQ(Record(i).marked, 0) << i;
    // The buttons stay as the selection has them.
    EXPECT_TRUE(ButtonsEnabled(true));
}

TEST_F(FileListSelection, ButtonsFollowTheFirstAndTheLastSelection)
{
    Start();
    SixFiles();
    ReceiveAndShow();
    EXPECT_TRUE(ButtonsEnabled(false));

    ClickLine(1);
    EXPECT_TRUE(ButtonsEnabled(true));
    ClickLine(4);
    EXPECT_TRUE(ButtonsEnabled(true));
    ClickLine(1);  // toggled off: one line still selected
    EXPECT_TRUE(ButtonsEnabled(true));
    ClickLine(4);  // the last one off
    EXPECT_TRUE(SelectedLines().empty());
    EXPECT_TRUE(ButtonsEnabled(false));
}

TEST_F(FileListSelection, RecordsMarkedWhileTheListWasClosedComeUpSelectedAndUnmarked)
{
    Start();
    SixFiles();
    Receive();
    // As after a "No" in the deletion question, or after a run of retrievals.
    Record(2).marked = 1;
    Record(4).marked = 1;
    Show();

    EXPECT_EQ(SelectedRecords(), (Ints{2, 4}));
    for (int i = 0; i < Count(); ++i) EXPECT_EQ(Record(i).marked, 0) << i;
    EXPECT_TRUE(ButtonsEnabled(true));
}
