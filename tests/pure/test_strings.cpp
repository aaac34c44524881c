#include "res/strings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(StringTable, ExactTexts)
{
    struct Case {
        unsigned id;
        const char* text;
    } cases[] = {
        {102, "Quillbox"},
        {110, "Unable to open file "},
        {115, "%d\tof %d (at %.1f K/sec)"},
        {116, "Retrieving File:  "},
        {124, ":  Already exists"},
        {10014, "An improper pointer was passed  in a call, or a buffer was too small."},
        {10024, "Too many open sockets. "},
        {10061, "The attempt to connect was rejected."},
        {11003, "A non recoverable error occurred while looking up a host name.\nUse the dotted decimal format."},
        {11006, "Version %s for Windows %s"},
    };
    for (const Case& c : cases) {
        const char* text = QbxFindString(c.id);
        ASSERT_NE(text, nullptr) << c.id;
        EXPECT_EQ(std::string(text), c.text) << c.id;
    }
}

TEST(StringTable, IdsAreUniqueAndMissingOnesAreNull)
{
    std::set<unsigned> ids;
    int socketErrors = 0;
    for (int i = 0; i < g_qbxStringCount; ++i) {
        EXPECT_TRUE(ids.insert(g_qbxStringTable[i].id).second) << g_qbxStringTable[i].id;
        ASSERT_NE(g_qbxStringTable[i].text, nullptr);
        if (g_qbxStringTable[i].id >= 10004 && g_qbxStringTable[i].id <= 11004)
            ++socketErrors;
    }
    EXPECT_EQ(socketErrors, 40);
    EXPECT_EQ(QbxFindString(10059), nullptr);
    EXPECT_EQ(QbxFindString(0), nullptr);
}

}  // namespace
