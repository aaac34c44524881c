// The dialogs against a printer that answers like real devices: status on the back
// channel gives the whole list; a refusal, or an answer that ends before the listing
// did, is a box that says so, never "No files", and the main dialog can be used again.
#include "listing_fixture.h"

#include <algorithm>

using namespace qbxsim;

namespace {

bool AnyDeletion(const PrinterSim& sim)
{
    const auto jobs = sim.Jobs();
    return std::any_of(jobs.begin(), jobs.end(),
                       [](const RecordedJob& j) { return j.bytes.find("deletefile") != std::string::npos; });
}

}  // namespace

class BackChannelListing : public ListingTest {
protected:
    void AddFour()
    {
        for (int i = 0; i < 4; ++i)
            paths.push_back(AddImageOfSize(store, "1234", "00" + std::to_string(i), "2026120709300" + std::to_string(i),
                                           100 + static_cast<std::size_t>(i)));
    }
    // The box that ends a listing; the main dialog is ready for the next one.
    void ExpectBoxAndMainDialogBack(AppHarness& h, const std::string& says)
    {
        ASSERT_TRUE(h.PumpUntil([&] { return !h.prompts.Boxes().empty(); }, 20000));
        h.PumpPending();
        ASSERT_EQ(h.prompts.Boxes().size(), 1u);
        EXPECT_NE(h.prompts.Boxes()[0].text.find(says), std::string::npos) << h.prompts.Boxes()[0].text;
        EXPECT_EQ(h.prompts.Boxes()[0].caption, "Listing stopped");
        EXPECT_TRUE(h.MainDlg()->m_btnOK.IsWindowEnabled());
        EXPECT_FALSE(ListShown(h));
        EXPECT_FALSE(h.Frame()->m_bClosing);
        EXPECT_FALSE(AnyDeletion(*sim));
        EXPECT_EQ(ListStore(store).size(), paths.size());
    }
    std::vector<std::string> paths;
};

TEST_F(BackChannelListing, StatusBlocksTimedStatusMessagesAndVolumePrefixesGiveTheWholeList)
{
    Knobs k;
    k.quirks = kQuirkStatusTimer | kQuirkStatusBlocks | kQuirkStatusMessages | kQuirkVolumePrefix | kQuirkStatusInside;
    StartPrinter(k);
    AddFour();
    AppHarness h(Ini());
    AskForListing(h, "1234");
    ASSERT_TRUE(h.PumpUntil([&] { return ListShown(h); }, 20000));
    CMainFrame* f = h.Frame();
    ASSERT_EQ(f->m_pDirectory->count, 4);
    std::vector<std::string> listed;
    for (int i = 0; i < 4; ++i) listed.push_back(FieldText(f->m_pDirectory->entries[i].path));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, paths);
    EXPECT_TRUE(h.prompts.Boxes().empty());
    AppHarness::Screenshot(f->m_pRetrieveDlg, "list-with-printer-status");
}

TEST_F(BackChannelListing, ARefusedListingQuotesThePrinterAndDeletesNothing)
{
    StartPrinter();
    AddFour();
    struct Row {
        unsigned quirk;
        const char* says;
    } rows[] = {
        {kQuirkAccessOff,
         "The printer stopped the listing with an error: invalidaccess in filenameforall. Its file-system access may "
         "be switched off"},
        {kQuirkInterpreterError, "The printer stopped the listing with an error: stackunderflow in exch."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.says);
        Knobs k;
        k.quirks = row.quirk;
        sim->SetKnobs(k);
        AppHarness h(Ini());
        AskForListing(h, "1234");
        ExpectBoxAndMainDialogBack(h, row.says);
    }
}

TEST_F(BackChannelListing, AnAnswerThatEndsBeforeTheListingIsABoxAndTheNextListingWorks)
{
    StartPrinter();
    AddFour();
    Knobs k;
    k.drop_after = 60;  // part of the first line, then the connection closes
    sim->SetKnobs(k);
    AppHarness h(Ini());
    AskForListing(h, "1234");
    ExpectBoxAndMainDialogBack(h, "The answer from 127.0.0.1, port " + std::to_string(sim->Port()) +
                                      ", ended before the listing did: it is not a printer's listing");

    sim->SetKnobs(Knobs{});
    AppHarness::TypeInto(h.MainDlg(), 1001, "1234");
    AppHarness::Click(h.MainDlg(), IDOK);
    ASSERT_TRUE(h.PumpUntil([&] { return ListShown(h); }, 20000));
    EXPECT_EQ(h.Frame()->m_pDirectory->count, 4);
}

// Closing while the program waits inside its receive for a silent printer: the exit
// closes the socket under that receive, which is no error to report.
TEST_F(BackChannelListing, ClosingWhileWaitingForASilentPrinterShowsNoBox)
{
    Knobs k;
    k.silent = true;
    StartPrinter(k);
    for (bool closeBox : {true, false}) {
        SCOPED_TRACE(closeBox ? "close box" : "Esc");
        AppHarness h(Ini());
        AskForListing(h, "1234");
        bool closed = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            CMainFrame* f = h.Frame();
            if (closed || !f || !h.MainDlg() || !f->m_socket.IsBlocking()) return;
            closed = true;
            if (closeBox)
                AppHarness::CloseBox(h.MainDlg());
            else
                AppHarness::PressKey(h.MainDlg(), Qt::Key_Escape);
        });
        watch.start(20);
        ASSERT_TRUE(h.PumpUntilExit(15000));
        watch.stop();
        EXPECT_TRUE(closed);
        EXPECT_TRUE(h.prompts.Boxes().empty());
    }
}
