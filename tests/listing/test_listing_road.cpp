// The whole listing road, from the user ID to the file list, against the simulated
// printer running the listing program in Ghostscript.
#include "listing_fixture.h"

#include "res/strings.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <fstream>
#include <set>

using namespace qbxsim;

namespace {

std::set<std::string> Names(CMainFrame* f)
{
    std::set<std::string> s;
    for (int i = 0; i < f->m_pDirectory->count; ++i) {
        const DirEntry& e = f->m_pDirectory->entries[i];
        s.insert(std::string(e.name) + "|" + e.dupNumber + "|" + e.size + "|" + e.dateTime + "|" + e.path);
    }
    return s;
}

}  // namespace

TEST_F(ListingTest, OkListsTheUsersFilesAndCloseBringsTheMainDialogBack)
{
    StartPrinter();
    AddImageOfSize(store, "1234", "007", "19991213093005", 48213);
    AddImageOfSize(store, "1234", "007", "19991214101500", 1000);
    AddImageOfSize(store, "1234", "008", "20000101000000", 300);
    AddImageOfSize(store, "12345", "001", "20000101000000", 10);  // another user, same digits
    AddImageOfSize(store, "1234", "009", "20000102000000", 10, 1, ".tif");
    AppHarness h(Ini());
    PostedSteps ops;
    AskForListing(h, "1234");
    ASSERT_TRUE(h.PumpUntil([&] { return ListShown(h); }, 20000));

    CMainFrame* f = h.Frame();
    ASSERT_EQ(f->m_pDirectory->count, 3);
    std::set<std::string> names = Names(f);
    EXPECT_TRUE(names.count("007.TIF||48213|12/13/99\t09:30:05|DXR/Images/1234(007)(19991213093005).TIF") ||
                names.count("007.TIF|1|48213|12/13/99\t09:30:05|DXR/Images/1234(007)(19991213093005).TIF"));
    EXPECT_TRUE(g_bDirectoryLoaded);
    EXPECT_FALSE(h.MainDlg()->m_btnOK.IsWindowEnabled());
    EXPECT_EQ(Status(h), "");
    EXPECT_EQ(f->m_nCurrentOp, 0);
    EXPECT_FALSE(f->m_bConnected);

    // The printer got exactly the listing job, on one connection.
    auto jobs = sim->Jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].bytes, ExpectedListingJob("1234"));
    EXPECT_EQ(sim->ConnectionsAccepted(), 1);
    EXPECT_STEPS(ops.steps, {"DIR", "CONNECT", "DIR_RESUME"});

    // Close: the main dialog comes back ready for the next user.
    AppHarness::Click(f->m_pRetrieveDlg, IDOK);
    ASSERT_TRUE(h.PumpUntil([&] { return h.MainDlg()->m_btnOK.IsWindowEnabled(); }, 5000));
    char id[12];
    h.MainDlg()->GetDlgItemText(1001, id, sizeof id);
    EXPECT_STREQ(id, "");
    EXPECT_TRUE(h.MainDlg()->GetDlgItem(1001)->HasFocus());
    EXPECT_FALSE(ListShown(h));
    EXPECT_FALSE(g_bDirectoryLoaded);
    EXPECT_FALSE(f->m_bBusy);
}

TEST_F(ListingTest, UserWithoutFilesGetsOneBoxAndTheMainDialogBack)
{
    StartPrinter();
    AddImageOfSize(store, "12345", "001", "20000101000000", 10);
    AppHarness h(Ini());
    AskForListing(h, "777");
    ASSERT_TRUE(h.PumpUntil([&] { return !h.prompts.Boxes().empty(); }, 20000));
    h.PumpPending();
    ASSERT_EQ(h.prompts.Boxes().size(), 1u);
    EXPECT_EQ(h.prompts.Boxes()[0].text, "No files matching this User ID");
    EXPECT_EQ(h.prompts.Boxes()[0].caption, "File not found");
    EXPECT_TRUE(h.MainDlg()->m_btnOK.IsWindowEnabled());
    char id[12];
    h.MainDlg()->GetDlgItemText(1001, id, sizeof id);
    EXPECT_STREQ(id, "");
    EXPECT_FALSE(ListShown(h));
    EXPECT_FALSE(h.Frame()->m_bClosing);
}

TEST_F(ListingTest, OnlyOtherUsersLinesThenEndMarkerMeansNoFiles)
{
    StartPrinter();
    AddImageOfSize(store, "123", "001", "20000101000000", 10);
    AddImageOfSize(store, "12", "001", "20000101000000", 10, 1, ".tif");
    AppHarness h(Ini());
    AskForListing(h, "12");
    ASSERT_TRUE(h.PumpUntil([&] { return !h.prompts.Boxes().empty(); }, 20000));
    EXPECT_EQ(h.prompts.Boxes()[0].text, "No files matching this User ID");
}

// A printer that refuses, and a host name nobody knows: the box says which, and the
// program ends.
TEST_F(ListingTest, RefusingPrinterShowsTheErrorAndEndsTheProgramInOrder)
{
    StartPrinter();
    Knobs k;
    k.refuse = true;
    sim->SetKnobs(k);
    struct Row {
        const char* address;
        std::string text;
    } rows[] = {
        {"127.0.0.1", "The attempt to connect was rejected."},
        {"no-such-printer.invalid", QbxFindString(10022)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.address);
        AppHarness h("[NetInfo]\nRemoteIP=" + std::string(r.address) + "\nRemotePort=" + std::to_string(sim->Port()) +
                     "\n");
        AskForListing(h, "1234");
        ASSERT_TRUE(h.PumpUntilExit(15000));
        ASSERT_EQ(h.prompts.Boxes().size(), 1u);
        EXPECT_EQ(h.prompts.Boxes()[0].text, r.text);
        EXPECT_EQ(h.prompts.Boxes()[0].caption, "Socket Connection Error");
    }
    EXPECT_NE(std::string(QbxFindString(10022)).find("host name is unknown"), std::string::npos);
}

// With a local address in Halvern.ini the printer socket is bound to it; an address
// that is not this machine's cannot be bound: its box under "Socket Creation Error",
// and the program ends.
TEST_F(ListingTest, SocketIsBoundToTheAddressOfTheSiblingProductsFile)
{
    Knobs k;
    k.silent = true;
    StartPrinter(k);
    struct Row {
        const char* what;
        const char* bindIP;
        unsigned error;  // 0: the socket connects from bindIP
    } rows[] = {
        {"a loopback address of this machine", "127.0.0.2", 0},
        {"a documentation address, on no machine", "192.0.2.1", 10049},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        AppHarness h(Ini());
        std::ofstream(h.Folder() + "/Halvern.ini") << "[IP]\nIPFROMINI=1\nIP=" << r.bindIP << "\n";
        AskForListing(h, "1234");
        // Seen from inside the listing's wait, as soon as the socket is connected.
        std::string boundTo;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            CMainFrame* f = h.Frame();
            if (!boundTo.empty() || !f || !f->m_bConnected) return;
            sockaddr_in local{};
            socklen_t len = sizeof local;
            char text[INET_ADDRSTRLEN] = "?";
            if (::getsockname(f->m_socket.m_hSocket, reinterpret_cast<sockaddr*>(&local), &len) == 0)
                ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
            boundTo = text;
            AppHarness::PressKey(h.MainDlg(), Qt::Key_Escape);
        });
        watch.start(50);
        ASSERT_TRUE(h.PumpUntilExit(20000));
        watch.stop();
        if (r.error == 0) {
            EXPECT_EQ(boundTo, r.bindIP);
            EXPECT_TRUE(h.prompts.Boxes().empty());
        } else {
            EXPECT_EQ(boundTo, "");
            ASSERT_EQ(h.prompts.Boxes().size(), 1u);
            EXPECT_EQ(h.prompts.Boxes()[0].caption, "Socket Creation Error");
            EXPECT_EQ(h.prompts.Boxes()[0].text, QbxFindString(r.error));
        }
    }
}

TEST_F(ListingTest, ListingCutIntoOddPiecesGivesTheSameTable)
{
    StartPrinter();
    for (int i = 0; i < 12; ++i)
        AddImageOfSize(store, "42", std::to_string(100 + i), "2001020304050" + std::to_string(i % 10), 1000 + i);
    std::set<std::string> whole;
    {
        AppHarness h(Ini());
        AskForListing(h, "42");
        ASSERT_TRUE(h.PumpUntil([&] { return ListShown(h); }, 20000));
        whole = Names(h.Frame());
        ASSERT_EQ(whole.size(), 12u);
    }
    Knobs k;
    k.pieces = {1, 2, 3, 40, 5, 50, 1, 1, 7, 64, 13};
    k.piece_pause_ms = 30;
    sim->SetKnobs(k);
    AppHarness h(Ini());
    AskForListing(h, "42");
    ASSERT_TRUE(h.PumpUntil([&] { return ListShown(h); }, 30000));
    EXPECT_EQ(Names(h.Frame()), whole);
}

TEST_F(ListingTest, SilentPrinterBlinksWaitingAndEscEndsTheProgram)
{
    StartPrinter();
    Knobs k;
    k.silent = true;
    sim->SetKnobs(k);
    AddImageOfSize(store, "1234", "007", "19991213093005", 10);
    AppHarness h(Ini());
    AskForListing(h, "1234");
    // Watch the status line as a user would, while the program waits inside its
    // receive; after two blinks the user presses Esc.
    std::vector<std::string> seen;
    bool escPressed = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        std::string s = Status(h);
        if (seen.empty() || seen.back() != s) seen.push_back(s);
        if (!escPressed && std::count(seen.begin(), seen.end(), std::string("Waiting for printer data")) >= 2) {
            escPressed = true;
            AppHarness::PressKey(h.MainDlg(), Qt::Key_Escape);
        }
    });
    watch.start(100);
    // Tied to the watch timer so that it dies with this test and cannot reach the next.
    QTimer::singleShot(9000, &watch, [&] {
        if (!escPressed) {
            escPressed = true;
            AppHarness::PressKey(h.MainDlg(), Qt::Key_Escape);
        }
    });
    ASSERT_TRUE(h.PumpUntilExit(15000));
    watch.stop();
    EXPECT_GE(std::count(seen.begin(), seen.end(), std::string("Waiting for printer data")), 2);
    EXPECT_GE(std::count(seen.begin(), seen.end(), std::string("")), 1);
    EXPECT_TRUE(h.prompts.Boxes().empty());
}

TEST_F(ListingTest, DispatcherTracesEveryCodeAndUnknownCodesOnlyTrace)
{
    StartPrinter();
    AddImageOfSize(store, "5", "001", "20000101000000", 10);
    AppHarness h(Ini());
    AskForListing(h, "5");
    ASSERT_TRUE(h.PumpUntil([&] { return ListShown(h); }, 20000));
    std::vector<std::string> mine;
    for (auto& t : h.traces)
        if (t.rfind("Op Code", 0) == 0 || t == "Getting Directory\n" || t == "Resuming Directory\n" ||
            t == "Message WM_QBX_IP_OP, QBX_DIR posted\n" || t == "Sending PS commands\n" ||
            t == "in function GetDirectory\n" || t == "In function ParseDirectory\n")
            mine.push_back(t);
    std::vector<std::string> expected = {"Message WM_QBX_IP_OP, QBX_DIR posted\n",
                                         "Op Code called with 1, 0\n",
                                         "Getting Directory\n",
                                         "Op Code called with 4, 0\n",
                                         "Op Code called with 6, 0\n",
                                         "Resuming Directory\n",
                                         "Sending PS commands\n",
                                         "in function GetDirectory\n",
                                         "In function ParseDirectory\n"};
    EXPECT_EQ(mine, expected);

    h.traces.clear();
    CMainFrame* f = h.Frame();
    PostedSteps ops;
    f->PostMessage(WM_QBX_IP_OP, 0, 0);
    f->PostMessage(WM_QBX_IP_OP, 9, 3);
    h.PumpPending();
    EXPECT_EQ(h.traces, (std::vector<std::string>{"Op Code called with 0, 0\n", "Op Code called with 9, 3\n"}));
    // Nothing follows the two codes: no step was started.
    EXPECT_STEPS(ops.steps, {"OP 0", "OP 9"});
    EXPECT_TRUE(ListShown(h));
}

TEST_F(ListingTest, InputDuringABlockingReceiveWaitsUntilTheCallIsOver)
{
    StartPrinter();
    Knobs k;
    k.silent = true;
    sim->SetKnobs(k);
    AppHarness h(Ini());
    AskForListing(h, "1234");
    std::string duringCall = "<not seen>";
    std::string afterCall = "<not seen>";
    bool pressed = false;
    bool escPressed = false;
    // A key typed while the program sits in its receive: the field does not change
    // before the call returns, and changes afterwards (the key is not lost). The
    // program stays inside its listing loop all along, so the test acts from a timer.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        CMainFrame* f = h.Frame();
        if (!f || !h.MainDlg()) return;
        char text[12];
        if (!pressed && f->m_socket.IsBlocking()) {
            pressed = true;
            AppHarness::TypeInto(h.MainDlg(), 1001, "9");
            h.MainDlg()->GetDlgItemText(1001, text, sizeof text);
            duringCall = text;
            return;
        }
        h.MainDlg()->GetDlgItemText(1001, text, sizeof text);
        if (pressed && !escPressed && std::string(text) == "12349") {
            afterCall = text;
            escPressed = true;
            AppHarness::PressKey(h.MainDlg(), Qt::Key_Escape);
        }
    });
    watch.start(50);
    QTimer::singleShot(8000, &watch, [&] {  // dies with the test, as above
        if (!escPressed && h.MainDlg()) {
            escPressed = true;
            AppHarness::PressKey(h.MainDlg(), Qt::Key_Escape);
        }
    });
    ASSERT_TRUE(h.PumpUntilExit(15000));
    watch.stop();
    EXPECT_EQ(duringCall, "1234");
    EXPECT_EQ(afterCall, "12349");
}
