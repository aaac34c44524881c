#include "res/strings.h"

#include "platform/posix/socket_errno.h"
#include "platform/socket.h"

#include <netdb.h>

#include <cstring>

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
#ifdef _WIN32
        {11006, "Version %s for Windows %s"},
#else
        {11006, "Version %s for Linux %s"},
#endif
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
        if (g_qbxStringTable[i].id >= 10004 && g_qbxStringTable[i].id <= 11004) ++socketErrors;
    }
    EXPECT_EQ(socketErrors, 48);
    EXPECT_EQ(QbxFindString(10066), nullptr);
    EXPECT_EQ(QbxFindString(0), nullptr);
}

// Every Windows Sockets number the socket layer can report: what its errno and host
// look-up tables give for any input, and the numbers it sets itself.
std::set<int> ReportableSocketErrors()
{
    std::set<int> codes = {WSAEINTR,       WSAEFAULT,      WSAEINVAL,         WSAENOBUFS,   WSAENOTSOCK,
                           WSAEWOULDBLOCK, WSAEINPROGRESS, WSANOTINITIALISED, WSAETIMEDOUT, WSAEISCONN};
    for (int e = 1; e < 4096; ++e) codes.insert(MapSocketErrno(e));
    const int eai[] = {EAI_NONAME,     EAI_AGAIN,    EAI_FAIL,   EAI_FAMILY,   EAI_SOCKTYPE,
                       EAI_SERVICE,    EAI_BADFLAGS, EAI_MEMORY, EAI_OVERFLOW,
#ifdef EAI_NODATA
                       EAI_NODATA,
#endif
#ifdef EAI_ADDRFAMILY
                       EAI_ADDRFAMILY,
#endif
                       -9999};
    for (int code : eai) codes.insert(MapAddrInfoError(code, 0));
    for (int e = 1; e < 4096; ++e) codes.insert(MapAddrInfoError(EAI_SYSTEM, e));
    codes.erase(0);
    return codes;
}

TEST(StringTable, EverySocketErrorTheLayerCanReportHasItsOwnText)
{
    std::set<int> codes = ReportableSocketErrors();
    // The eight numbers that once showed an empty box are among them.
    for (int n : {10046, 10059, 10062, 10063, 10068, 10069, 10070, 10071}) EXPECT_TRUE(codes.count(n)) << n;
    for (int code : codes) {
        const char* text = QbxFindString(static_cast<unsigned>(code));
        ASSERT_NE(text, nullptr) << "no text for " << code;
        EXPECT_GT(std::strlen(text), 10u) << code;
        char box[256];
        QbxSocketErrorText(code, box, sizeof box);
        EXPECT_STREQ(box, text) << code;
    }
}

TEST(StringTable, UnknownSocketErrorsStillGetATextNamingTheNumber)
{
    struct Case {
        int code;
        const char* number;
    } cases[] = {{10066, "10066"}, {12345, "12345"}, {0, " 0"}, {-7, "-7"}};
    for (const Case& c : cases) {
        char box[256];
        QbxSocketErrorText(c.code, box, sizeof box);
        EXPECT_NE(std::string(box).find(c.number), std::string::npos) << box;
        EXPECT_NE(std::string(box).find("try again"), std::string::npos) << box;
    }
    // A small buffer gets a cut, terminated text, never an overflow.
    char small[8];
    std::memset(small, 'x', sizeof small);
    QbxSocketErrorText(12345, small, sizeof small);
    EXPECT_EQ(std::strlen(small), 7u);
}

}  // namespace
