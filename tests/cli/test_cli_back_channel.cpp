// The tool against a printer that answers like real devices: status on the back
// channel gives the whole listing; a refusal is quoted, ends with its own status and
// deletes nothing; an answer that ends before the listing did is no listing.
#include "cli_fixture.h"

#include <sys/socket.h>
#include <netinet/in.h>

class CliBackChannel : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        for (int i = 0; i < 4; ++i)
            paths.push_back(Add("1234", "00" + std::to_string(i), "2026120709300" + std::to_string(i), 100 + i));
    }
    CliRun SyncDelete() { return Run(With({"sync"}, {"--to", out.string(), "--delete"})); }
    std::vector<std::string> paths;
};

TEST_F(CliBackChannel, StatusOnTheBackChannelGivesTheWholeListingAndTheWholeSync)
{
    StartPrinter();
    std::multiset<std::string> originals;
    for (const std::string& p : paths) originals.insert(StoreBytes(p));
    const unsigned rows[] = {qbxsim::kQuirkStatusMessages,
                             qbxsim::kQuirkStatusBlocks,
                             qbxsim::kQuirkVolumePrefix,
                             qbxsim::kQuirkBlanksAroundEquals,
                             qbxsim::kQuirkStatusInside,
                             qbxsim::kQuirkStatusTimer | qbxsim::kQuirkStatusBlocks | qbxsim::kQuirkStatusMessages |
                                 qbxsim::kQuirkVolumePrefix | qbxsim::kQuirkBlanksAroundEquals |
                                 qbxsim::kQuirkStatusInside};
    for (unsigned quirks : rows) {
        SCOPED_TRACE("quirks " + std::to_string(quirks));
        qbxsim::Knobs k;
        k.quirks = quirks;
        sim->SetKnobs(k);
        CliRun list = Run(With({"list", "--json"}));
        EXPECT_EQ(list.status, 0) << list.err;
        for (const std::string& p : paths) EXPECT_NE(list.out.find("\"" + p + "\""), std::string::npos) << list.out;
        EXPECT_EQ(list.out.find("%disk"), std::string::npos);
    }
    // With every quirk at once, the copies are whole and only then the originals go.
    CliRun sync = SyncDelete();
    EXPECT_EQ(sync.status, 0) << sync.err;
    EXPECT_EQ(OutFiles().size(), 4u);
    std::multiset<std::string> copies;
    for (const std::string& name : OutFiles()) copies.insert(ReadWhole(out / name));
    EXPECT_TRUE(copies == originals) << "a copy is not its printer file byte for byte";
    EXPECT_EQ(DeletionJobs().size(), 4u);
    EXPECT_TRUE(qbxsim::ListStore(store).empty());
}

TEST_F(CliBackChannel, ARefusedListingIsQuotedEndsWithItsOwnStatusAndDeletesNothing)
{
    StartPrinter();
    struct Row {
        unsigned quirk;
        const char* says;
    } rows[] = {
        {qbxsim::kQuirkAccessOff,
         "The printer stopped the listing with an error: invalidaccess in filenameforall. Its file-system access may "
         "be switched off"},
        {qbxsim::kQuirkInterpreterError, "The printer stopped the listing with an error: stackunderflow in exch."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.says);
        qbxsim::Knobs k;
        k.quirks = row.quirk;
        sim->SetKnobs(k);
        for (const char* command : {"list", "sync"}) {
            SCOPED_TRACE(command);
            CliRun r = std::string(command) == "list" ? Run(With({"list"})) : SyncDelete();
            EXPECT_EQ(r.status, 4) << r.err;
            EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("No files"), std::string::npos) << r.err;
            EXPECT_EQ(r.out, "");
        }
        EXPECT_TRUE(OutFiles().empty());
        EXPECT_TRUE(DeletionJobs().empty());
        EXPECT_EQ(qbxsim::ListStore(store).size(), 4u);
    }
}

TEST_F(CliBackChannel, AnAnswerThatEndsBeforeTheListingIsNoListing)
{
    // A port that accepts, says something else and closes, as a web server does.
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    std::thread server([listener] {
        int c = ::accept(listener, nullptr, nullptr);
        if (c < 0) return;
        const char answer[] = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
        [[maybe_unused]] auto n = ::send(c, answer, sizeof answer - 1, MSG_NOSIGNAL);
        ::shutdown(c, SHUT_WR);
        char sink[4096];
        while (::recv(c, sink, sizeof sink, 0) > 0) {
        }
        ::close(c);
    });
    const std::string port = std::to_string(ntohs(addr.sin_port));
    CliRun r = Run({"sync", "--printer", "127.0.0.1:" + port, "--user", "1234", "--to", out.string(), "--delete",
                    "--timeout", "20"});
    server.join();
    ::close(listener);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("The answer from 127.0.0.1, port " + port + ", ended before the listing did"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(OutFiles().empty());
}
