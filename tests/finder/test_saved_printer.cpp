// The first connection and the printer saved by its name: on a manual clock, with
// scripted finder answers in place of the system's sources and a scripted network that
// refuses the connection (each row looks only at where and when the listing started).
#include "app_harness.h"
#include "posted_steps.h"

#include "platform/clock.h"
#include "platform/printer_finder.h"
#include "platform/resources.h"
#include "platform/scripted_socket.h"
#include "res/resource.h"

#include <QtCore/qnamespace.h>

#include <gtest/gtest.h>

#include <cstdio>

#include <memory>
#include <ostream>
#include <string>

namespace {

// The sources of the finder the frame starts; the test adds answers through the inbox.
struct ScriptedSources {
    CPrinterInbox* inbox = nullptr;
    bool stopped = false;
};

class ScriptedSourcesHandle : public IPrinterSources {
public:
    explicit ScriptedSourcesHandle(ScriptedSources* s) : m_s(s) {}
    void Stop() override { m_s->stopped = true; }

private:
    ScriptedSources* m_s;
};

PrinterAnswer RawService(const std::string& name, const std::string& uuid, const std::string& address, int port)
{
    PrinterAnswer a;
    a.serviceName = name;
    a.serviceType = kRawPrinterService;
    a.domain = "local";
    a.hostName = "printer.local";
    a.address = address;
    a.port = port;
    a.txt.uuid = uuid;
    return a;
}

struct WaitRow {
    const char* name;
    const char* ini;          // [NetInfo] keys beside RemoteIP=10.0.0.5, RemotePort=3102
    const char* typed;        // an address the user types before OK, or null
    int okAtMs;               // OK pressed this long after start
    int answerAtMs;           // the printer's answer (10.0.0.9:9100 as "Office"), -1 none
    const char* answerUuid;   // its UUID
    int doneAtMs;             // the sources have said all they had, -1 never
    int wantListingAtMs;      // when the listing starts, after start
    const char* wantAddress;  // where it connects
    int wantPort;
};

void PrintTo(const WaitRow& r, std::ostream* os) { *os << r.name; }

class SavedPrinterWait : public ::testing::TestWithParam<WaitRow> {
protected:
    void SetUp() override
    {
        SetClock(&clock);
        SetSocketIoFactory(script.Factory());
        SetPrinterSourcesFactory([this](CPrinterInbox& inbox) {
            sources = ScriptedSources{&inbox, false};
            inbox.ExpectSources(1);
            return std::make_unique<ScriptedSourcesHandle>(&sources);
        });
    }
    void TearDown() override
    {
        SetPrinterSourcesFactory({});
        SetSocketIoFactory({});
        SetClock(nullptr);
    }
    std::string Status(AppHarness& h)
    {
        char buf[256] = "";
        h.MainDlg()->GetDlgItemText(IDC_STATUS, buf, sizeof buf);
        return buf;
    }

    ManualClock clock;
    ScriptedSocketScript script;
    ScriptedSources sources;
};

TEST_P(SavedPrinterWait, FirstConnectionGoesWhereThePrinterAnswers)
{
    const WaitRow& r = GetParam();
    AppHarness h(std::string("[NetInfo]\nRemoteIP=10.0.0.5\nRemotePort=3102\n") + r.ini);
    script.QueueConnect(-10061);
    PostedSteps log;
    const std::int64_t t0 = clock.NowMs();
    ASSERT_TRUE(h.Start());
    ASSERT_NE(sources.inbox, nullptr) << "the saved printer is looked for from the start";
    AppHarness::TypeInto(h.MainDlg(), IDC_USERID, "1234");
    if (r.typed) {
        h.MainDlg()->SetDlgItemText(IDC_REMOTEIP, "");
        AppHarness::TypeInto(h.MainDlg(), IDC_REMOTEIP, r.typed);
    }
    bool answered = false, done = false, pressed = false;
    std::string statusWhileWaiting;
    // In steps of 50 ms up to well past the bound, the script played at its times.
    while (clock.NowMs() - t0 <= kSavedPrinterWaitMs + 1000 && log.Count(QBX_DIR) == 0) {
        const std::int64_t t = clock.NowMs() - t0;
        if (!sources.stopped && !answered && r.answerAtMs >= 0 && t >= r.answerAtMs) {
            answered = true;
            sources.inbox->Add(RawService("Office", r.answerUuid, "10.0.0.9", 9100));
        }
        if (!sources.stopped && !done && r.doneAtMs >= 0 && t >= r.doneAtMs) {
            done = true;
            sources.inbox->SourceDone();
        }
        if (!pressed && t >= r.okAtMs) {
            pressed = true;
            AppHarness::Click(h.MainDlg(), IDOK);
        }
        h.PumpFor(50);
        if (pressed && log.Count(QBX_DIR) == 0 && statusWhileWaiting.empty()) statusWhileWaiting = Status(h);
    }
    const std::vector<std::int64_t> dirAt = log.TimesOf(QBX_DIR);
    ASSERT_EQ(dirAt.size(), 1u) << "the listing did not start";
    EXPECT_NEAR(static_cast<double>(dirAt[0] - t0), r.wantListingAtMs, 100.0);
    CMainFrame* f = h.Frame();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::string(f->m_szRemoteIP), r.wantAddress);
    EXPECT_EQ(f->m_nRemotePort, r.wantPort);
    EXPECT_TRUE(sources.stopped) << "the search ends with the first connection";
    if (r.wantListingAtMs > r.okAtMs + 100) {
        char want[256];
        const std::string ini = r.ini;
        const auto from = ini.find("ServiceName=") + 12;
        const std::string saved = ini.substr(from, ini.find('\n', from) - from);
        std::snprintf(want, sizeof want, GetStringRes(IDS_LOOKING_FOR_SAVED), saved.c_str());
        EXPECT_EQ(statusWhileWaiting, want);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SavedPrinterWait,
    ::testing::Values(
        // Moved: its answer comes while OK waits; the listing comes from the new address.
        WaitRow{"AnswerAtNewAddress", "ServiceName=Office\n", nullptr, 0, 400, "", -1, 400, "10.0.0.9", 9100},
        // Renamed and moved: its UUID finds it.
        WaitRow{"RenamedFoundByUuid", "ServiceName=Old name\nServiceUUID=abc\n", nullptr, 0, 600, "abc", -1, 600,
                "10.0.0.9", 9100},
        // Answered before OK: the fields took the address; no wait.
        WaitRow{"AnsweredBeforeOK", "ServiceName=Office\n", nullptr, 800, 200, "", -1, 800, "10.0.0.9", 9100},
        // The search is over without it: the saved address at once.
        WaitRow{"SearchOverWithoutIt", "ServiceName=Office\nServiceUUID=def\n", nullptr, 0, 300, "abc", 500, 500,
                "10.0.0.5", 3102},
        // No answer at all: the saved address when the time is up.
        WaitRow{"SilentUntilTheBound", "ServiceName=Office\n", nullptr, 1000, -1, "", -1, kSavedPrinterWaitMs,
                "10.0.0.5", 3102},
        // OK after the bound: no wait.
        WaitRow{"OKAfterTheBound", "ServiceName=Office\n", nullptr, 3500, -1, "", -1, 3500, "10.0.0.5", 3102},
        // The user's own address wins, at once.
        WaitRow{"AddressTyped", "ServiceName=Office\n", "10.0.0.7", 0, 400, "", -1, 0, "10.0.0.7", 3102}),
    [](const ::testing::TestParamInfo<WaitRow>& info) { return std::string(info.param.name); });

TEST_F(SavedPrinterWait, EscWhileWaitingEndsTheProgramWithoutConnecting)
{
    AppHarness h("[NetInfo]\nRemoteIP=10.0.0.5\nRemotePort=3102\nServiceName=Office\n");
    PostedSteps log;
    ASSERT_TRUE(h.Start());
    AppHarness::TypeInto(h.MainDlg(), IDC_USERID, "1234");
    AppHarness::Click(h.MainDlg(), IDOK);
    h.PumpFor(200);
    ASSERT_TRUE(h.Frame()->m_bWaitingForSaved);
    AppHarness::PressKey(h.MainDlg(), Qt::Key_Escape);
    ASSERT_TRUE(h.PumpUntilExit());
    EXPECT_EQ(log.Count(QBX_DIR), 0);
    EXPECT_TRUE(sources.stopped);
}

}  // namespace
