// The marks: how a selection becomes them, how they come back as a selection, and
// which records the bookkeeping may touch at all.
#include "dir_table_fixture.h"

#include <climits>

using MarksTest = DirTableTest;

namespace {

std::vector<int> Marked(const DirHeader& dir, int upTo)
{
    std::vector<int> out;
    for (int i = 0; i < upTo; ++i)
        if (dir.entries[i].marked) out.push_back(i);
    return out;
}

}  // namespace

TEST_F(MarksTest, UsableCountStaysInsideTheBlock)
{
    struct Case {
        int count;
        bool withEntries;
        int expected;
    };
    const Case cases[] = {
        {-5, true, 0},
        {0, true, 0},
        {1, true, 1},
        {QBX_MAX_DIR_ENTRIES, true, QBX_MAX_DIR_ENTRIES},
        {QBX_MAX_DIR_ENTRIES + 1, true, QBX_MAX_DIR_ENTRIES},
        {INT_MAX, true, QBX_MAX_DIR_ENTRIES},
        {7, false, 0},
    };
    for (const Case& c : cases) {
        DirHeader h{c.count, 0, c.withEntries ? entries.data() : nullptr};
        EXPECT_EQ(UsableRecordCount(&h), c.expected) << "count " << c.count;
    }
    EXPECT_EQ(UsableRecordCount(nullptr), 0);
}

TEST_F(MarksTest, SelectionReplacesTheMarksAndIgnoresIndexesOutsideTheTable)
{
    dir.count = 5;
    entries[0].marked = 1;  // a mark of an earlier command
    entries[3].marked = 1;
    entries[2].processed = 1;
    entries[5].marked = 0;  // beyond the table: never touched
    const std::vector<LPARAM> selected = {4, 2, -1, 5, 1000, QBX_MAX_DIR_ENTRIES, -2000000};

    MarkOnlyRecords(dir, selected);

    EXPECT_EQ(Marked(dir, 6), (std::vector<int>{2, 4}));
    EXPECT_EQ(entries[2].processed, 0) << "a chosen record is to be dealt with again";
    EXPECT_EQ(entries[5].marked, 0);
}

TEST_F(MarksTest, AddingMarksKeepsTheOthersAndTheProcessedFlags)
{
    dir.count = 4;
    entries[0].marked = 1;
    entries[2].processed = 1;
    const std::vector<LPARAM> selected = {2, 4, -1};

    AddRecordMarks(dir, selected);

    EXPECT_EQ(Marked(dir, 5), (std::vector<int>{0, 2}));
    EXPECT_EQ(entries[2].processed, 1);
}

TEST_F(MarksTest, FirstMarkedRecordSearchesFromTheGivenIndex)
{
    dir.count = 6;
    entries[1].marked = 1;
    entries[4].marked = 1;
    entries[7].marked = 1;  // beyond the table
    struct Case {
        int from;
        int expected;
    };
    const Case cases[] = {{-3, 1}, {0, 1}, {1, 1}, {2, 4}, {4, 4}, {5, -1}, {6, -1}, {INT_MAX, -1}};
    for (const Case& c : cases) EXPECT_EQ(FirstMarkedRecord(dir, c.from), c.expected) << "from " << c.from;

    DirHeader none{3, 0, nullptr};
    EXPECT_EQ(FirstMarkedRecord(none), -1);
}

TEST_F(MarksTest, TakingAMarkClearsItOnce)
{
    dir.count = 3;
    entries[1].marked = 1;
    entries[3].marked = 1;  // beyond the table

    EXPECT_FALSE(TakeRecordMark(dir, 0));
    EXPECT_TRUE(TakeRecordMark(dir, 1));
    EXPECT_FALSE(TakeRecordMark(dir, 1)) << "the mark has become a selection";
    EXPECT_FALSE(TakeRecordMark(dir, 3));
    EXPECT_EQ(entries[3].marked, 1);
    EXPECT_FALSE(TakeRecordMark(dir, -1));
}

TEST_F(MarksTest, FieldTextStopsAtTheFieldsEnd)
{
    DirEntry e;
    std::memset(&e, 'A', sizeof e);  // no terminator anywhere in the record
    EXPECT_EQ(FieldText(e.name), std::string(sizeof e.name, 'A'));
    std::strcpy(e.size, "123");
    EXPECT_EQ(FieldText(e.size), "123");
}

TEST_F(MarksTest, ARunOfRetrievalsGivesTheSelectionBack)
{
    dir.count = 5;
    MarkOnlyRecords(dir, std::vector<LPARAM>{0, 2, 3});

    SetRecordProcessed(dir, 2);  // the first file was fetched
    SetRecordProcessed(dir, 7);  // outside the table: nothing
    SetRecordProcessed(dir, -1);
    EXPECT_EQ(Marked(dir, 8), (std::vector<int>{0, 3}));
    EXPECT_EQ(entries[2].processed, 1);
    EXPECT_EQ(entries[7].processed, 0);

    SetMarkedRecordsProcessed(dir);  // Cancel All
    EXPECT_EQ(FirstMarkedRecord(dir), -1);

    entries[5].processed = 1;  // beyond the table: stays as it is
    RestoreProcessedMarks(dir);
    EXPECT_EQ(Marked(dir, 6), (std::vector<int>{0, 2, 3}));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(entries[i].processed, 0) << i;
    EXPECT_EQ(entries[5].processed, 1);
}
