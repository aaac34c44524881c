// list, get, delete and sync driven through the real executable.
#include "cli_fixture.h"

#include "link/JobLanguage.h"

#include <map>

namespace {

std::string DeletionJobFor(const std::string& path)
{
    char job[2048];
    int n = ComposeJob(job, sizeof job, JOB_DELETE, "", path.c_str());
    return n < 0 ? std::string() : std::string(job, static_cast<std::size_t>(n));
}

}  // namespace

// User 1234 with a duplicate display name, a neighbour user whose ID begins alike and
// a lower-case extension that the listing drops.
class CliCommands : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        p007a = Add("1234", "007", "20261207093005", 3000, 1);
        p008 = Add("1234", "008", "20261207100000", 70000, 2);
        p007b = Add("1234", "007", "20261208110000", 500, 3);
        Add("12345", "009", "20261207120000", 100, 4);
        Add("1234", "010", "20261207130000", 100, 5, ".tif");
        StartPrinter();
        // Which of the two 007 scans gets the duplicate number depends on the order in
        // which the printer lists them; the JSON list says.
        CliRun r = Run(With({"list", "--json"}));
        ASSERT_EQ(r.status, 0) << r.err;
        for (const std::string& p : {p007a, p007b, p008}) {
            auto at = r.out.find("\"path\": \"" + p + "\"");
            ASSERT_NE(at, std::string::npos) << r.out;
            auto line = r.out.rfind("{\"file\": \"", at);
            auto start = line + 10;
            fileOf[p] = r.out.substr(start, r.out.find('"', start) - start);
        }
        ASSERT_EQ((std::set<std::string>{fileOf[p007a], fileOf[p007b]}),
                  (std::set<std::string>{"007.TIF", "007_1.TIF"}));
    }
    // The text line of a scan: name, duplicate number, size, date, time, stable name.
    std::string LineOf(const std::string& p) const
    {
        static const std::map<std::string, std::string> rest = {
            {"a", "        3000  12/07/26  09:30:05  2026-12-07_093005_007.TIF"},
            {"b", "         500  12/08/26  11:00:00  2026-12-08_110000_007.TIF"}};
        if (p == p008) return "008.TIF            -       70000  12/07/26  10:00:00  2026-12-07_100000_008.TIF";
        std::string dup = fileOf.at(p) == "007.TIF" ? "-" : "1";
        return "007.TIF            " + dup + rest.at(p == p007a ? "a" : "b");
    }
    // The name a scan keeps while it is on the printer.
    std::string StableOf(const std::string& p) const
    {
        return p == p008    ? "2026-12-07_100000_008.TIF"
               : p == p007a ? "2026-12-07_093005_007.TIF"
                            : "2026-12-08_110000_007.TIF";
    }
    std::string p007a, p007b, p008;
    std::map<std::string, std::string> fileOf;  // printer path -> name on the command line
};

TEST_F(CliCommands, ListTextShowsTheUsersFilesInEachOrder)
{
    // By name the two 007 scans keep the exchange procedure's order, which depends on
    // the listing's; sizes and dates fix the other two orders.
    std::string first007 = fileOf[p007a] == "007.TIF" ? p007a : p007b;
    std::string second007 = first007 == p007a ? p007b : p007a;
    struct Case {
        std::string sort;
        std::vector<std::string> paths;
    } cases[] = {
        {"size", {p008, p007a, p007b}},
        {"date", {p007b, p008, p007a}},
    };
    for (auto& c : cases) {
        CliRun r = Run(With({"list", "--sort", c.sort}));
        EXPECT_EQ(r.status, 0) << c.sort << r.err;
        std::vector<std::string> want;
        for (auto& p : c.paths) want.push_back(LineOf(p));
        EXPECT_EQ(Lines(r.out), want) << c.sort;
    }
    CliRun byName = Run(With({"list", "--sort", "name"}));
    ASSERT_EQ(Lines(byName.out).size(), 3u);
    EXPECT_EQ(Lines(byName.out)[2], LineOf(p008));
    EXPECT_EQ((std::set<std::string>{Lines(byName.out)[0], Lines(byName.out)[1]}),
              (std::set<std::string>{LineOf(first007), LineOf(second007)}));
}

TEST_F(CliCommands, ListJsonNamesEachFileAsGetTakesIt)
{
    CliRun r = Run(With({"list", "--json", "--sort", "size"}));
    ASSERT_EQ(r.status, 0) << r.err;
    auto l = Lines(r.out);
    ASSERT_EQ(l.size(), 5u) << r.out;
    EXPECT_EQ(l[0], "[");
    std::string dup = fileOf[p007a] == "007.TIF" ? "null" : "1";
    EXPECT_EQ(l[2], "  {\"file\": \"" + fileOf[p007a] +
                        "\", \"stable\": \"2026-12-07_093005_007.TIF\", \"name\": \"007.TIF\", \"dup\": " + dup +
                        ", \"size\": 3000, \"date\": \"12/07/26\", \"time\": \"09:30:05\", \"timestamp\": "
                        "\"2026-12-07T09:30:05\", \"path\": \"" +
                        p007a + "\"},");
    EXPECT_NE(l[1].find("\"file\": \"008.TIF\""), std::string::npos);
    EXPECT_NE(l[3].find("\"size\": 500"), std::string::npos);
    EXPECT_EQ(l[4], "]");
}

TEST_F(CliCommands, ListOfAUserWithoutFilesIsEmptyAndSaysSo)
{
    CliRun text = Run({"list", "--printer", Printer(), "--user", "77"});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out, "");
    EXPECT_NE(text.err.find("No files matching this User ID"), std::string::npos) << text.err;
    CliRun json = Run({"list", "--printer", Printer(), "--user", "77", "--json"});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out, "[]\n");
}

// A scan named by its stable name is saved under it; one named by its display name, or
// every scan, under the dialog's batch names.
TEST_F(CliCommands, GetCopiesOneSeveralOrAllUnderTheDialogsBatchNames)
{
    const std::string dup = fileOf[p007a] == "007_1.TIF" ? p007a : p007b;
    const std::string first = dup == p007a ? p007b : p007a;
    struct Case {
        std::vector<std::string> names;
        std::set<std::string> files;
    } cases[] = {
        {{StableOf(dup)}, {StableOf(dup)}},
        {{"008.TIF", StableOf(first)}, {StableOf(first), "008.TIF"}},
        {{p008, "007_1.TIF"}, {"008.TIF"}},
        {{}, {"007.TIF", "007_1.TIF", "008.TIF"}},
    };
    std::map<std::string, std::string> source;
    for (auto& [path, file] : fileOf) source[file] = path;
    for (const std::string& p : {p007a, p007b, p008}) source[StableOf(p)] = p;
    for (auto& c : cases) {
        fs::remove_all(out);
        fs::create_directories(out);
        CliRun r = Run(With({"get", "--to", out.string(), "--short-names"}, c.names));
        EXPECT_EQ(r.status, c.files.size() < std::max<std::size_t>(c.names.size(), 1) ? 1 : 0) << r.err;
        EXPECT_EQ(OutFiles(), c.files);
        for (auto& f : c.files) {
            EXPECT_TRUE(ReadWhole(out / f) == StoreBytes(source.at(f))) << f;
            EXPECT_NE(r.out.find(AsWritten(out / f) + "\n"), std::string::npos) << r.out;
        }
    }
    EXPECT_TRUE(DeletionJobs().empty());
    EXPECT_EQ(qbxsim::ListStore(store).size(), 5u);
}

TEST_F(CliCommands, GetDeleteRemovesExactlyTheCopiedFilesWithTheirDeletionJobs)
{
    // The second 007 scan and 008 are asked for; the first 007 stays.
    std::string kept = fileOf[p007a] == "007.TIF" ? p007a : p007b;
    std::string gone = kept == p007a ? p007b : p007a;
    const std::string goneBytes = StoreBytes(gone);
    CliRun r = Run(With({"get", "--to", out.string(), "--delete", "--short-names"}, {StableOf(gone), "008.TIF"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(OutFiles(), (std::set<std::string>{StableOf(gone), "008.TIF"}));
    EXPECT_TRUE(ReadWhole(out / StableOf(gone)) == goneBytes);
    EXPECT_EQ(DeletionJobs(), (std::vector<std::string>{DeletionJobFor(gone), DeletionJobFor(p008)}));
    // Ghostscript ran the deletions: only the files not asked for are left.
    auto left = [&] {
        auto s = qbxsim::ListStore(store);
        return std::set<std::string>(s.begin(), s.end());
    };
    EXPECT_TRUE(Eventually([&] { return left().count(p008) == 0 && left().count(gone) == 0; }));
    EXPECT_EQ(left().count(kept), 1u);
    EXPECT_EQ(left().count(gone), 0u);
    EXPECT_EQ(left().count(p008), 0u);
}

TEST_F(CliCommands, GetNeverOverwritesUnlessAsked)
{
    std::ofstream(out / "008.TIF") << "mine";
    CliRun r = Run(With({"get", "--to", out.string(), "--delete", "--short-names"}, {"008.TIF"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("008.TIF"), std::string::npos);
    EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;
    EXPECT_EQ(ReadWhole(out / "008.TIF"), "mine");
    EXPECT_TRUE(DeletionJobs().empty());

    CliRun o = Run(With({"get", "--to", out.string(), "--overwrite", "--short-names"}, {"008.TIF"}));
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(ReadWhole(out / "008.TIF") == StoreBytes(p008));
}

TEST_F(CliCommands, GetOfANameNotOnThePrinterFailsForThatNameAlone)
{
    CliRun r = Run(With({"get", "--to", out.string(), "--short-names"}, {"999.TIF", "008.TIF"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("999.TIF: not on the printer"), std::string::npos) << r.err;
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"008.TIF"}));
}

TEST_F(CliCommands, SyncTwiceFetchesNothingTheSecondTime)
{
    CliRun first = Run(With({"sync", "--to", out.string()}));
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"2026-12-07_093005_007.TIF", "2026-12-07_100000_008.TIF",
                                                 "2026-12-08_110000_007.TIF"}));
    EXPECT_TRUE(ReadWhole(out / "2026-12-08_110000_007.TIF") == StoreBytes(p007b));
    EXPECT_EQ(UploadJobs(), 3);

    CliRun second = Run(With({"sync", "--to", out.string()}));
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, "");
    EXPECT_EQ(UploadJobs(), 3);
}

TEST_F(CliCommands, SyncLeavesAFileOfTheSameNameButAnotherSizeAlone)
{
    std::ofstream(out / "2026-12-07_100000_008.TIF") << "someone else's";
    CliRun r = Run(With({"sync", "--to", out.string(), "--delete"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("008.TIF: " + AsWritten(out / "2026-12-07_100000_008.TIF") + " exists with 14 bytes"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadWhole(out / "2026-12-07_100000_008.TIF"), "someone else's");
    EXPECT_EQ(OutFiles().size(), 3u);
    // The other two were copied and deleted; 008 was not deleted.
    EXPECT_EQ(DeletionJobs().size(), 2u);
    EXPECT_TRUE(fs::exists(store / p008));
}

TEST_F(CliCommands, SyncEveryRunsUntilStoppedAndPicksUpNewScans)
{
    // Copies in place, not the hidden temporary file of one still being written: the
    // stop must come between rounds, not in the middle of the new scan's copy.
    auto copies = [&] {
        std::size_t n = 0;
        for (const std::string& name : OutFiles())
            if (name[0] != '.') ++n;
        return n;
    };
    CliRun r = Run(With({"sync", "--to", out.string(), "--every", "1"}), {}, [&](pid_t pid) {
        ASSERT_TRUE(Eventually([&] { return copies() >= 3; }));
        Add("1234", "011", "20261209080000", 10, 11);
        // The round reports the copy after its rename and then waits a second: the stop
        // comes once the fourth copy is reported.
        ASSERT_TRUE(Eventually([&] { return copies() >= 4 && Lines(OutSoFar()).size() >= 4; }));
        ::kill(pid, SIGINT);
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(OutFiles().count("2026-12-09_080000_011.TIF"), 1u);
    EXPECT_EQ(Lines(r.out).size(), 4u) << r.out;
}

TEST_F(CliCommands, SyncDeleteEmptiesThePrinterOfCopiedFilesOnly)
{
    CliRun r = Run(With({"sync", "--to", out.string(), "--delete"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DeletionJobs().size(), 3u);
    EXPECT_TRUE(Eventually([&] { return qbxsim::ListStore(store).size() <= 2; }));
    // The other user's file and the lower-case one stay.
    EXPECT_EQ(qbxsim::ListStore(store).size(), 2u);
}

TEST_F(CliCommands, DeleteAsksUnlessYesAndRemovesOnlyTheNamedFile)
{
    CliRun refused = Run(With({"delete"}, {"008.TIF"}));
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--yes"), std::string::npos) << refused.err;
    EXPECT_TRUE(DeletionJobs().empty());

    CliRun r = Run(With({"delete", "--yes"}, {"2026-12-08_110000_007.TIF"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "deleted 2026-12-08_110000_007.TIF\n");
    EXPECT_EQ(DeletionJobs(), (std::vector<std::string>{DeletionJobFor(p007b)}));
}

TEST_F(CliCommands, SettingsFileGivesPrinterPortAndUser)
{
    fs::path ini = base / "Quillbox.ini";
    std::ofstream(ini) << "[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=" << sim->Port()
                       << "\n[MiscData]\nSortBy=106\n[CommandLine]\nUserID=1234\n";
    CliRun r = Run({"list", "--config", ini.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    // SortBy 106 is the dialog's "Size": largest first.
    ASSERT_EQ(Lines(r.out).size(), 3u);
    EXPECT_EQ(Lines(r.out)[0].substr(0, 7), "008.TIF");

    CliRun flag = Run({"list", "--config", ini.string(), "--user", "12345"});
    EXPECT_EQ(flag.status, 0) << flag.err;
    EXPECT_EQ(Lines(flag.out).size(), 1u);
}

TEST_F(CliCommands, BadArgumentsEndWithStatusTwoAndSayWhy)
{
    struct Case {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"list", "--printer", Printer(), "--user", "123456789"}, "1 to 8 digits"},
        {{"list", "--printer", Printer(), "--user", "12a"}, "1 to 8 digits"},
        {{"list", "--printer", "127.0.0.1:99999", "--user", "1"}, "HOST:PORT"},
        {{"list", "--user", "1", "--config", "/nonexistent/Quillbox.ini"}, "no printer address"},
        {{"get", "--printer", Printer(), "--user", "1", "--to", "/nonexistent/folder"}, "not a folder"},
        {{"get", "--printer", Printer(), "--user", "1"}, "--to"},
        {{"lst", "--user", "1"},
         "\"lst\" is not a command; did you mean list? The commands are list, get, delete, sync and printers"},
        {{"Dleete"}, "\"Dleete\" is not a command; did you mean delete?"},
        {{"frobnicate"}, "\"frobnicate\" is not a command; the commands are list, get, delete, sync and printers"},
        {{}, "no command given; the commands are list, get, delete, sync and printers"},
        {{"sync", "--to", "/tmp", "--every", "0"}, "--every: \"0\" is not a number of seconds from 1 to a year"},
        {{"list", "--timeout", "-1"}, "--timeout: \"-1\" is not a number of seconds from 0 (never) to a year"},
    };
    for (auto& c : cases) {
        CliRun r = Run(c.args);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_NE((r.err + r.out).find(c.says), std::string::npos) << r.err << r.out;
    }
}

TEST_F(CliCommands, BindAddressFollowsTheSiblingProductsFileAsTheDialogDoes)
{
    fs::path sys = base / "system";
    fs::create_directories(sys);
    ::setenv("QUILLBOX_SYSTEM_DIR", sys.c_str(), 1);
    struct Case {
        std::string halvern;
        int status;
        std::string says;
    } cases[] = {
        // IPFROMINI empty: IP is not read and any local address serves.
        {"[IP]\nIPFROMINI=\nIP=192.0.2.1\n", 0, ""},
        {"[IP]\nIPFROMINI=1\nIP=127.0.0.1\n", 0, ""},
        // An address this machine does not have: the connection cannot be made from it.
        {"[IP]\nIPFROMINI=1\nIP=192.0.2.1\n", 3, "The specified address is not available from the local machine."},
    };
    for (auto& c : cases) {
        std::ofstream(sys / "Halvern.ini") << c.halvern;
        CliRun r = Run(With({"list"}));
        EXPECT_EQ(r.status, c.status) << c.halvern << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    ::unsetenv("QUILLBOX_SYSTEM_DIR");
}

// Scans whose names a folder could take for one file or not at all: Windows device
// names, characters Windows folders refuse, bytes that are not UTF-8, letter pairs of
// one case-insensitive name.
class CliLocalNames : public CliTest {};

TEST_F(CliLocalNames, GetOverwriteDeleteGivesEveryScanAFileOfItsOwn)
{
    // Sequence parts are three bytes long, as the printer writes them. (Bytes that are
    // not UTF-8 never get this far: the simulated printer's listing leaves such files
    // out; their names are checked where batch names are made.)
    const std::string caronA = "\xC7\x8D", carona = "\xC7\x8E";
    const struct {
        std::string seq, file;
    } scans[] = {
        {caronA + "1", caronA + "1.TIF"},
        {carona + "1", carona + "1_1.TIF"},
        {"NUL", "NUL_.TIF"},
        {"con", "con_.TIF"},
        {"AUX", "AUX_.TIF"},
        {"a<b", "a%3Cb.TIF"},
    };
    std::map<std::string, std::string> bytesOf;
    unsigned seed = 1;
    for (auto& s : scans) {
        std::string path = Add("1234", s.seq, "2026120709000" + std::to_string(seed % 10), 700 + seed, seed);
        bytesOf[s.file] = StoreBytes(path);
        ++seed;
    }
    StartPrinter();
    // The short names are the ones that can meet in one file; the stable names carry the
    // date and cannot.
    CliRun r = Run(With({"get", "--to", out.string(), "--overwrite", "--delete", "--short-names"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::set<std::string> files;
    for (auto& s : scans) files.insert(s.file);
    EXPECT_EQ(OutFiles(), files);
    for (auto& s : scans) {
        EXPECT_TRUE(ReadWhole(out / s.file) == bytesOf[s.file]) << s.file;
        EXPECT_NE(r.out.find(AsWritten(out / s.file) + "\n"), std::string::npos) << r.out;
    }
    EXPECT_TRUE(qbxsim::ListStore(store).empty()) << "every scan is in a file of its own, so every one went";
}

// Names reach the tool as typed, whatever the system's code page: a best-fit mapping
// would turn "Ǎ1" into "A1", a scan not on the printer.
TEST_F(CliLocalNames, NonAsciiArgumentsNameExactlyWhatWasTyped)
{
    const std::string caronA = "\xC7\x8D";
    std::string accented = Add("1234", caronA + "1", "20261207090000", 800, 1);
    std::string plain = Add("1234", "A1x", "20261207090001", 900, 2);
    StartPrinter();
    CliRun del = Run(With({"delete", "--yes", "2026-12-07_090000_" + caronA + "1.TIF"}));
    EXPECT_EQ(del.status, 0) << del.err;
    EXPECT_EQ(qbxsim::ListStore(store), std::vector<std::string>{plain});

    const fs::path zoe = out / "Zo\xC3\xAB";
    fs::create_directories(zoe);
    CliRun get = Run(With({"get", "--to", zoe.string(), "--short-names"}));
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(get.out, AsWritten(zoe / "A1x.TIF") + "\n");
    EXPECT_TRUE(ReadWhole(zoe / "A1x.TIF") == StoreBytes(plain));
}

// --help names the settings file and the documentation in the system's own form.
TEST_F(CliLocalNames, HelpNamesSettingsAndDocumentationTheSystemsWay)
{
    CliRun r = Run({"--help"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto settings = r.out.find("settings of the Quillbox dialog (");
    ASSERT_NE(settings, std::string::npos) << r.out;
    const std::string path = r.out.substr(settings, r.out.find(')', settings) - settings);
#ifdef QBX_CLI_UNDER_WINE
    EXPECT_EQ(path.find('/'), std::string::npos) << path;
    EXPECT_NE(path.find("\\Quillbox.ini"), std::string::npos) << path;
    EXPECT_NE(r.out.find("See README.txt in "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("quillbox-cli(1)"), std::string::npos) << r.out;
#else
    EXPECT_NE(path.find("/Quillbox.ini"), std::string::npos) << path;
    EXPECT_NE(r.out.find("See quillbox-cli(1)."), std::string::npos) << r.out;
#endif
}

#ifdef QBX_CLI_UNDER_WINE
// As cmd.exe completes them: a settings file with backslashes and a drive, and a drive
// alone for "the current folder there".
TEST_F(CliLocalNames, WindowsFormsOfConfigAndToArePathsAsWindowsReadsThem)
{
    std::string scan = Add("1234", "008", "20261207100000", 600, 1);
    StartPrinter();
    const fs::path ini = base / "conf" / "q.ini";
    fs::create_directories(ini.parent_path());
    std::ofstream(ini) << "[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=" << sim->Port()
                       << "\n[CommandLine]\nUserID=1234\n";
    const std::string windowsIni = "Z:" + AsWritten(ini);
    const std::string here = out.string();
    CliRun r = Run({"get", "--config", windowsIni, "--to", "Z:", "--short-names"}, {}, {}, {"QBX_CLI_DIR=" + here});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Z:" + AsWritten(out / "008.TIF") + "\n");
    EXPECT_TRUE(ReadWhole(out / "008.TIF") == StoreBytes(scan));
}
#endif
