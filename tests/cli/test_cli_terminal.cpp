// What the tool says on a terminal while it works and when it is done, run through a
// pseudo-terminal; and the tool beside the dialogs of the same tree.
#include "cli_fixture.h"

#include <poll.h>
#include <pty.h>
#include <utmp.h>

#include <algorithm>
#include <cstdio>

namespace {

// Runs a program, its output gathered through a pipe (stdout and stderr together).
CliRun RunProgram(const std::string& command)
{
    CliRun r;
    std::FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return r;
}

// How many times the tool has asked "… [y/N] " in text.
std::size_t Questions(const std::string& text)
{
    std::size_t n = 0;
    for (std::size_t at = 0; (at = text.find("? [y/N] ", at)) != std::string::npos; at += 8) ++n;
    return n;
}

}  // namespace

class CliTerminal : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        Add("1234", "007", "20261207093005", 3000, 1);
        Add("1234", "008", "20261207100000", 70000, 2);
        Add("1234", "009", "20261208110000", 500, 3);
    }

    // Runs the tool on a new pseudo-terminal; everything it wrote there comes back in
    // out (the terminal turns "\n" into "\r\n"). input is typed ahead. Killed after 60 s.
    CliRun RunOnTerminal(const std::vector<std::string>& args, const std::string& input = "")
    {
        CliRun r;
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(QBX_CLI_EXE));
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        winsize ws{};
        ws.ws_col = 100;
        ws.ws_row = 30;
        int master = -1, slave = -1;
        if (::openpty(&master, &slave, nullptr, nullptr, &ws) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return r;
        }
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(master);
            ::login_tty(slave);
            ::execv(QBX_CLI_EXE, argv.data());
            ::_exit(127);
        }
        if (!input.empty() && ::write(master, input.data(), input.size()) != static_cast<ssize_t>(input.size()))
            ADD_FAILURE() << "typing ahead failed";
        // The terminal stays open on this side too, so what the tool wrote last is
        // still there to read after it has ended.
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        char buf[4096];
        int st = 0;
        bool ended = false;
        for (;;) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 100) > 0) {
                ssize_t n = ::read(master, buf, sizeof buf);
                if (n > 0) {
                    r.out.append(buf, static_cast<std::size_t>(n));
                    continue;
                }
            }
            if (ended) break;  // nothing more after the end
            ended = ::waitpid(pid, &st, WNOHANG) == pid;
            if (!ended && std::chrono::steady_clock::now() > until) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &st, 0);
                ADD_FAILURE() << "quillbox-cli did not end within 60 s";
                break;
            }
        }
        ::close(master);
        ::close(slave);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        return r;
    }
};

TEST_F(CliTerminal, StatusLineWhileWaitingIsClearedBeforeTheFailureAndNeverWrittenElsewhere)
{
    qbxsim::Knobs silent;
    silent.silent = true;
    StartPrinter(silent);
    const std::string connecting = "Connecting to " + Printer() + "\u2026";
    const std::string waiting = "Waiting for the printer\u2026";

    CliRun t = RunOnTerminal(With({"list", "--timeout", "2"}));
    EXPECT_EQ(t.status, 3) << t.out;
    auto shownConnecting = t.out.find(connecting);
    auto shownWaiting = t.out.rfind(waiting);
    auto failure = t.out.find("quillbox-cli: user 1234:");
    ASSERT_NE(shownConnecting, std::string::npos) << t.out;
    ASSERT_NE(shownWaiting, std::string::npos) << t.out;
    ASSERT_NE(failure, std::string::npos) << t.out;
    EXPECT_LT(shownConnecting, shownWaiting);
    // The line is erased before the failure is written over it.
    auto cleared = t.out.rfind("\r\033[K", failure);
    ASSERT_NE(cleared, std::string::npos) << t.out;
    EXPECT_GT(cleared, shownWaiting) << t.out;

    CliRun f = Run(With({"list", "--timeout", "2"}));
    EXPECT_EQ(f.status, 3);
    EXPECT_EQ(f.err.find("Waiting"), std::string::npos) << f.err;
    EXPECT_EQ(f.err.find("Connecting"), std::string::npos) << f.err;
    EXPECT_EQ(f.err.find('\r'), std::string::npos) << f.err;
}

TEST_F(CliTerminal, SummaryLineEndsGetSyncAndDeleteOnATerminalOrWhenVerbose)
{
    StartPrinter();
    const std::string to = out.string();
    struct Case {
        std::vector<std::string> args;
        bool terminal;
        std::string summary;  // empty: no summary line at all
    } cases[] = {
        {With({"sync", "--to", to}), true, "copied 3 to " + to + ", 0 already there, 0 failed"},
        {With({"sync", "--to", to}), true, "copied 0 to " + to + ", 3 already there, 0 failed"},
        {With({"sync", "--to", to, "-q"}), true, ""},
        {With({"sync", "--to", to}), false, ""},
        {With({"sync", "--to", to, "-v"}), false, "copied 0 to " + to + ", 3 already there, 0 failed"},
        {With({"get", "--to", to, "--delete", "--short-names", "007.TIF", "nothere.TIF"}), true,
         "copied 1 to " + to + ", deleted 1 on the printer, 1 failed"},
        {With({"delete", "--yes", "008.TIF"}), true, "deleted 1 on the printer, 0 failed"},
        {With({"get", "--to", (base / "second").string(), "--delete"}), true,
         "copied 1 to " + (base / "second").string() + ", deleted 1 on the printer, 0 failed"},
    };
    fs::create_directories(base / "second");
    for (auto& c : cases) {
        CliRun r = c.terminal ? RunOnTerminal(c.args) : Run(c.args);
        std::string all = r.out + r.err;
        SCOPED_TRACE(all.size() > 300 ? all.substr(all.size() - 300) : all);
        if (c.summary.empty()) {
            EXPECT_EQ(all.find(" failed"), std::string::npos);
        } else {
            std::string line = c.summary + (c.terminal ? "\r\n" : "\n");
            ASSERT_NE(all.find(line), std::string::npos) << c.summary;
            // The last thing the command says.
            EXPECT_EQ(all.substr(all.size() - line.size()), line);
        }
    }
}

// delete on a terminal asks before each file: y deletes it, anything else keeps it,
// and the end of the input (Ctrl+D) stops before the next one.
TEST_F(CliTerminal, DeleteAsksForEachFileAndOnlyYesDeletes)
{
    StartPrinter();
    const std::string a = "2026-12-07_093005_007.TIF", b = "2026-12-07_100000_008.TIF", c = "2026-12-08_110000_009.TIF";
    CliRun r = RunOnTerminal(With({"delete"}, {a, b, c, "2026-12-08_110000_010.TIF"}), "no\ny\n\x04");
    EXPECT_EQ(r.status, 1) << r.out;  // the fourth name is on no scan
    EXPECT_EQ(Questions(r.out), 3u) << r.out;
    EXPECT_NE(r.out.find("Delete " + a + " (3000 bytes) from the printer? [y/N] "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("deleted " + b + "\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("deleted " + a), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("deleted " + c), std::string::npos) << r.out;
    EXPECT_EQ(DeletionJobs().size(), 1u);
    auto left = qbxsim::ListStore(store);
    EXPECT_EQ(left.size(), 2u);
    for (const std::string& p : left) EXPECT_EQ(p.find("(008)"), std::string::npos) << p;
}

// In German the question offers "j" for yes, and "ja" deletes ("nein" keeps the file).
TEST_F(CliTerminal, DeleteInGermanTakesItsOwnLetterForYes)
{
    StartPrinter();
    const std::string a = "2026-12-07_093005_007.TIF", b = "2026-12-07_100000_008.TIF";
    CliRun r = RunOnTerminal(With({"delete", "--language", "de"}, {a, b}), "nein\nja\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(a + " (3000 Bytes) auf dem Drucker l\xC3\xB6schen? [j/N] "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("gel\xC3\xB6scht: " + b + "\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(a + "\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(DeletionJobs().size(), 1u);
    EXPECT_EQ(qbxsim::ListStore(store).size(), 2u);
}

// Each question of delete takes its own whole line: a long answer (a No typed with a
// "yes" at its end) never answers the next question too.
TEST_F(CliTerminal, DeleteTakesEachAnswerFromALineOfItsOwn)
{
    StartPrinter();
    const std::set<std::string> scans = {Add("1234", "031", "20261207090000", 100, 1),
                                         Add("1234", "032", "20261207090100", 100, 2)};
    CliRun r = RunOnTerminal(With({"delete", "031.TIF", "032.TIF"}), std::string(15, 'n') + "yes\nn\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Delete 2026-12-07_090100_032.TIF"), std::string::npos) << r.out;
    EXPECT_TRUE(DeletionJobs().empty()) << r.out;
    auto left = qbxsim::ListStore(store);
    for (const std::string& s : scans) EXPECT_NE(std::find(left.begin(), left.end(), s), left.end()) << s;
}

// The tool and the dialogs of one build tree name the same settings file, and the
// dialogs' program answers --version and --help without a display.
TEST(CliBesideTheDialogs, OneSettingsFileAndVersionWithoutADisplay)
{
    const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
    CliRun path = RunProgram(noDisplay + "'" QBX_APP_EXE "' --settings-path");
    ASSERT_EQ(path.status, 0) << path.out;
    ASSERT_FALSE(path.out.empty());
    std::string ini = path.out.substr(0, path.out.find('\n'));
    CliRun help = RunProgram("'" QBX_CLI_EXE "' --help");
    EXPECT_NE(help.out.find("(" + ini + ")"), std::string::npos) << ini << "\n" << help.out;

#ifdef _WIN32
    const std::string builtFor = "Windows";
#else
    const std::string builtFor = "Linux";
#endif
    CliRun version = RunProgram(noDisplay + "'" QBX_APP_EXE "' --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Quillbox 1.13 for " + builtFor + "\n");
    CliRun toolVersion = RunProgram("'" QBX_CLI_EXE "' --version");
    EXPECT_EQ(toolVersion.status, 0);
    EXPECT_EQ(toolVersion.out, version.out);
    CliRun usage = RunProgram(noDisplay + "'" QBX_APP_EXE "' --help");
    EXPECT_EQ(usage.status, 0);
    for (const char* names : {"--settings-path", "--version", "quillbox(1)"})
        EXPECT_NE(usage.out.find(names), std::string::npos) << usage.out;
}
