// The jobs the program composes, run by the simulated printer's Ghostscript: the
// listing lists, the deletion deletes, the transfer answers, and the parser takes the
// real listing.
#include "link/JobLanguage.h"
#include "directory/DirTable.h"
#include "sim_printer.h"
#include "app_harness.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace qbxsim;

namespace {

// Sends one job, ends the sending side and reads the answer up to the printer's end
// of the connection: the printer closes it once it has acted on the job and sent all
// it answers, however long that takes (a minute at the most).
std::string RunJob(std::uint16_t port, const std::string& job)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return "<no connection>";
    }
    ::send(fd, job.data(), job.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    timeval tv{60, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string answer;
    char buf[4096];
    for (;;) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        answer.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return answer;
}

std::string Compose(int kind, const char* user, const char* path)
{
    char buf[2048];
    int n = ComposeJob(buf, sizeof buf, kind, user, path);
    return n < 0 ? std::string() : std::string(buf, static_cast<std::size_t>(n));
}

class JobsOnPrinter : public ::testing::Test {
protected:
    void SetUp() override
    {
        store = MakeTempFolder("jobs");
        StartSimPrinter(sim, store);
    }
    std::string store;
    std::unique_ptr<PrinterSim> sim;
};

}  // namespace

TEST_F(JobsOnPrinter, ListingJobListsTheUsersFilesWithSizes)
{
    std::string a = AddImageOfSize(store, "1234", "007", "19991213093005", 48213);
    AddImageOfSize(store, "99", "001", "19991213093005", 5);
    std::string answer = RunJob(sim->Port(), Compose(JOB_DIR, "1234", nullptr));
    EXPECT_EQ(answer, a + "\t48213\n%%%");
    EXPECT_EQ(RunJob(sim->Port(), Compose(JOB_DIR, "555", nullptr)), "***");
}

TEST_F(JobsOnPrinter, DeletionJobDeletesExactlyThatFileEvenWithTwoParenthesisGroups)
{
    std::string keep = AddImageOfSize(store, "42", "ab", "20000101000000", 5);
    std::string gone = AddImageOfSize(store, "42", "cd", "20000101000001", 5);
    EXPECT_EQ(RunJob(sim->Port(), Compose(JOB_DELETE, nullptr, gone.c_str())), "");
    auto files = ListStore(store);
    EXPECT_EQ(files, std::vector<std::string>{keep});
}

TEST_F(JobsOnPrinter, TransferJobBringsTheFileBackFramedByHeaderAndFormFeed)
{
    std::string path = AddImageOfSize(store, "42", "001", "20000101000000", 3000, 7);
    std::string answer = RunJob(sim->Port(), Compose(JOB_UPLOAD, nullptr, path.c_str()));
    std::string header = "@PJL FSUPLOAD FORMAT:BINARY NAME=\"" + path + "\" OFFSET=0 SIZE=3000\r\n";
    ASSERT_EQ(answer.size(), header.size() + 3000 + 1);
    EXPECT_EQ(answer.substr(0, header.size()), header);
    EXPECT_EQ(answer.substr(header.size(), 3000), PatternBytes(3000, 7));
    EXPECT_EQ(answer.back(), '\f');
}

TEST_F(JobsOnPrinter, RealListingOfMoreThanAThousandFilesFillsTheTableToItsLimit)
{
    AddManyImages(store, "77", 1001, 4);
    std::string answer = RunJob(sim->Port(), Compose(JOB_DIR, "77", nullptr));
    ASSERT_GE(answer.size(), 3u);
    ASSERT_EQ(answer.substr(answer.size() - 3), "%%%");
    std::vector<DirEntry> entries(QBX_MAX_DIR_ENTRIES);
    DirHeader dir{0, 0, entries.data()};
    CListingReader reader;
    // Fed in receive-sized chunks, as the program reads it.
    int result = 2;
    for (std::size_t pos = 0; pos < answer.size() && result == 2 && !reader.Full(); pos += 2048) {
        std::string chunk = answer.substr(pos, 2048);
        result = reader.Feed(dir, "77", chunk.data(), static_cast<int>(chunk.size()));
    }
    EXPECT_TRUE(reader.Full());
    EXPECT_EQ(dir.count, 1000);
    ParseDirectoryRecords(dir);
    for (int i = 0; i < dir.count; ++i) {
        ASSERT_STREQ(dir.entries[i].size, "4") << i;
        ASSERT_EQ(std::strncmp(dir.entries[i].path, "DXR/Images/77(", 14), 0) << i;
    }
}
