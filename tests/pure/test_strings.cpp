#include "res/strings.h"

#include "platform/socket.h"

#ifndef _WIN32
#include "platform/posix/socket_errno.h"

#include <netdb.h>
#endif

#include <cstring>

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <utility>
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

#ifndef _WIN32
// Every Windows Sockets number the POSIX socket layer can report: what its errno and
// host look-up tables give for any input, and the numbers it sets itself.
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
#endif

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

// The message box text of every socket error the program names, as the box shows it:
// trailing blanks, the double blank and the line break are part of the texts.
TEST(StringTable, SocketErrorTextsAreExact)
{
    const std::pair<int, const char*> rows[] = {
        {10004, "A blocking operation was interrupted"},
        {10013, "The requested address is a broadcast address, but the appropriate flag was not set."},
        {10014, "An improper pointer was passed  in a call, or a buffer was too small."},
        // Not the system's own text: it has to say that a host name is unknown.
        {10022, "The host name is unknown, or an address or argument is not valid. Check the printer's address."},
        {10024, "Too many open sockets. "},
        {10035, "The socket is marked as nonblocking and no connections are present to be accepted. "},
        {10036, "A blocking Windows Sockets operation is in progress."},
        {10037, "Operation already in progress. "},
        {10038, "The descriptor is not a socket. "},
        {10039, "A destination address is required."},
        {10040, "The datagram was too large to fit into the specified buffer and was truncated."},
        {10041, "The specified port is the wrong type for this socket."},
        {10042, "The option is unknown or unsupported. "},
        {10043, "The specified port is not supported."},
        {10044, "The specified socket type is not supported in this address family. "},
        {10045, "The referenced socket is not a type that supports connection-oriented service."},
        {10047, "The specified address family is not supported."},
        {10048, "The specified address is already in use. "},
        {10049, "The specified address is not available from the local machine."},
        {10050, "The Windows Sockets implementation detected that the network subsystem failed."},
        {10051, "The network cannot be reached from this host at this time."},
        {10052, "Connection has timed out when SO_KEEPALIVE is set."},
        {10053, "The virtual circuit was aborted due to timeout or other failure."},
        {10054, "The virtual circuit was reset by the remote side."},
        {10055, "No buffer space is available. The socket cannot be created."},
        {10056, "The socket is already connected."},
        {10057, "The socket is not connected."},
        {10058, "The socket has been shut down."},
        {10060, "Attempt to connect timed out without establishing a connection."},
        {10061, "The attempt to connect was rejected."},
        {10064, "A socket operation failed because the destination host was down."},
        {10065, "A socket operation was attempted to an unreachable host."},
        {10067, "Too many applications are trying to use the socket interface."},
        {10091, "Network subsystem on local machine not available."},
        {10093, "A successful AfxSocketInit must occur before using this API."},
        {10101, "Remote shutdown in progress."},
        {11001, "The host name cannot be found in the database(s) being queried."},
        {11002, "An error occurred during hostname resolution. A retry at some time later may be successful."},
        {11003, "A non recoverable error occurred while looking up a host name.\nUse the dotted decimal format."},
        {11004, "Host name has been found but there is no address for it."},
    };
    EXPECT_EQ(std::size(rows), 40u);
    for (const auto& [code, text] : rows) {
        char box[256];
        QbxSocketErrorText(code, box, sizeof box);
        EXPECT_EQ(std::string(box), text) << code;
    }
}

}  // namespace
