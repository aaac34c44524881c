// quillbox-cli: list, copy, delete and sync a user's scans on the printer without a
// display. The argument parsing is CLI11's; the work is in Commands.cpp.
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Printers.h"
#include "cli/Settle.h"
#include "cli/Status.h"

#include "app/Config.h"
#include "directory/DirTable.h"
#include "platform/printer_finder.h"
#include "platform/console.h"
#include "platform/profile.h"
#include "platform/profile_file.h"
#include "platform/system.h"
#include "platform/version.h"
#include "res/resource.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// How long --printer NAME looks for the printer on the network.
constexpr int kServiceLookupMs = 5000;

// "HOST" or "HOST:PORT"; a port of 0 keeps the one given.
bool SplitPrinter(const std::string& text, std::string& host, int& port)
{
    auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        host = text;
        return !host.empty();
    }
    host = text.substr(0, colon);
    std::string p = text.substr(colon + 1);
    if (host.empty() || p.empty() || p.size() > 5 || p.find_first_not_of("0123456789") != std::string::npos)
        return false;
    port = std::atoi(p.c_str());
    return port > 0 && port <= 65535;
}

// A file name with no folder or drive in it: "q.ini", not "conf/q.ini", nor on Windows
// "Z:\\dir\\q.ini" or "C:q.ini".
bool IsBareName(const std::string& path)
{
    if (path.find('/') != std::string::npos || path.find(NativeSeparator()) != std::string::npos) return false;
    const bool drive = path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
    return !(drive && NativeSeparator() == '\\');
}

bool ValidUserID(const std::string& id)
{
    return !id.empty() && id.size() <= 8 && id.find_first_not_of("0123456789") == std::string::npos;
}

int SortKeyOf(const std::string& sort)
{
    if (sort == "name") return QBX_SORT_NAME;
    if (sort == "size") return QBX_SORT_SIZE;
    if (sort == "date") return QBX_SORT_DATE;
    return 0;
}

// The printer, user and order of c from the options, else from the settings file
// (config, else the dialog's own): QBX_EXIT_OK, or QBX_EXIT_USAGE after saying
// what is missing or wrong.
int ResolveCommon(const std::string& printer, std::string user, const std::string& config, const std::string& sort,
                  const std::string& language, const std::string& settle, bool settleUsed, CliCommon& c)
{
    QbxSettings settings;
    // A file named without a folder is the one in the current folder, for every key:
    // the settings reader would look for a bare name in the system folder once it has
    // read the sibling product's file there.
    std::string ini = config.empty() ? QuillboxIniReadPath() : IsBareName(config) ? "./" + config : config;
    // A pipe, device or folder named as the settings file is refused before it is read
    // (it could keep the tool waiting before any time limit applies).
    std::string content;
    if (!ini.empty() && ReadProfileFile(ini, &content) == ProfileRead::Failed) {
        std::fprintf(stderr,
                     "quillbox-cli: the settings file %s cannot be read (it is not a plain file, or not readable); "
                     "name a settings file with --config\n",
                     Shown(ini).c_str());
        return QBX_EXIT_USAGE;
    }
    ReadQuillboxSettings(ini.c_str(), settings);
    ApplyLanguageSetting(ini.c_str(), language.c_str());

    c.target.host = settings.szRemoteIP;
    c.target.port = settings.nRemotePort;
    c.target.bindIP = settings.szBindIP;
    if (!printer.empty() && LooksLikeServiceName(printer)) {
        // A printer's DNS-SD name: wherever it is on the network now.
        PrinterLine found;
        if (!FindPrinterByName(printer, "", kServiceLookupMs, found)) {
            std::fprintf(stderr,
                         "quillbox-cli: no printer called \"%s\" answered on the network; see the names with "
                         "quillbox-cli printers, or give --printer HOST:PORT\n",
                         Shown(printer).c_str());
            return QBX_EXIT_PRINTER;
        }
        c.target.host = found.address;
        c.target.port = found.port;
    } else if (!printer.empty() && !SplitPrinter(printer, c.target.host, c.target.port)) {
        std::fprintf(stderr, "quillbox-cli: --printer %s is not HOST or HOST:PORT (port 1 to 65535)\n",
                     Shown(printer).c_str());
        return QBX_EXIT_USAGE;
    } else if (printer.empty() && settings.szServiceName[0]) {
        // The printer the dialogs saved by its name: where it answers now (a printer that
        // moved), else at the saved address. Looked for as briefly as the dialogs do.
        PrinterLine found;
        if (FindPrinterByName(settings.szServiceName, settings.szServiceUUID, kSavedPrinterWaitMs, found) &&
            (found.address != c.target.host || found.port != c.target.port)) {
            std::fprintf(stderr,
                         "quillbox-cli: printer \"%s\" answered on the network at %s; using that address instead of "
                         "the saved %s:%d\n",
                         Shown(settings.szServiceName).c_str(), Shown(PrinterAddressText(found)).c_str(),
                         Shown(c.target.host).c_str(), c.target.port);
            c.target.host = found.address;
            c.target.port = found.port;
        }
    }
    if (c.target.host.empty()) {
        std::fprintf(stderr, "quillbox-cli: no printer address: give --printer HOST[:PORT] or set RemoteIP in %s\n",
                     Shown(NativePath(ini)).c_str());
        return QBX_EXIT_USAGE;
    }
    if (c.target.port <= 0 || c.target.port > 65535) {
        std::fprintf(stderr,
                     "quillbox-cli: the printer port in %s (\"%s\") is not a port number; give "
                     "--printer HOST:PORT\n",
                     Shown(NativePath(ini)).c_str(), Shown(settings.szRemotePort).c_str());
        return QBX_EXIT_USAGE;
    }
    // The dialog asks for the user ID every time; the tool may keep one in the same
    // file, in a section of its own that the dialog never reads or writes.
    if (user.empty()) {
        char id[12] = "";
        GetPrivateProfileString("CommandLine", "UserID", "", id, sizeof id, ini.c_str());
        user = id;
    }
    if (!ValidUserID(user)) {
        std::fprintf(stderr,
                     "quillbox-cli: %s: a user ID is 1 to 8 digits, as keyed in at the scanner; give --user ID\n",
                     user.empty() ? "no user ID" : Shown(user).c_str());
        return QBX_EXIT_USAGE;
    }
    c.userID = user;
    // How long a scan must keep its size before it may be deleted: the option, else the
    // dialog's own key, else 10 s. A value that is no number of seconds is refused
    // rather than taken for no wait at all.
    if (!settle.empty()) {
        if (!ParseSettleSeconds(settle, c.settleSeconds)) {
            std::fprintf(stderr, "quillbox-cli: --settle %s is not a number of seconds from 0 to %d\n",
                         Shown(settle).c_str(), QBX_MAX_SETTLE_SECONDS);
            return QBX_EXIT_USAGE;
        }
    } else if (settleUsed) {
        if (settings.bSettleTimeBad) {
            std::fprintf(stderr,
                         "quillbox-cli: SettleTime in section QBXConfig of %s (\"%s\") is not a number of seconds "
                         "from 0 to %d; correct it or give --settle SECONDS\n",
                         Shown(ini).c_str(), Shown(settings.szSettleTime).c_str(), QBX_MAX_SETTLE_SECONDS);
            return QBX_EXIT_USAGE;
        }
        c.settleSeconds = settings.nSettleSeconds;
    }
    c.sortKey = sort.empty() ? LeadingNumber(settings.szSortBy) : SortKeyOf(sort);
    if (c.sortKey < QBX_SORT_NAME || c.sortKey > QBX_SORT_DATE) c.sortKey = QBX_SORT_NAME;
    return QBX_EXIT_OK;
}

// The longest time an option takes, in seconds: a year.
constexpr long kMaxSeconds = 366L * 24 * 3600;

// The commands, in the order the help lists them.
constexpr const char* kCommands[] = {"list", "get", "delete", "sync", "printers"};
constexpr const char* kCommandList = "the commands are list, get, delete, sync and printers (quillbox-cli --help)";

// The first word that should have been a command and is none: "lst" in
// "quillbox-cli lst". Empty when there is none (the tool's own options only).
std::string UnknownCommand(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') continue;
        for (const char* command : kCommands)
            if (std::strcmp(argv[i], command) == 0) return {};
        return argv[i];
    }
    return {};
}

// Edits (a letter added, dropped, changed, or two neighbours swapped) from a to b.
std::size_t Edits(const std::string& a, const std::string& b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// The command a mistyped word was most likely meant to be ("lis", "sycn", "Get"), or
// empty when none is close: at most two edits, and fewer than the word has letters.
std::string Nearest(const std::string& word)
{
    std::string lower = word;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::string best;
    std::size_t bestEdits = 3;
    for (const char* command : kCommands) {
        const std::size_t n = Edits(lower, command);
        if (n < bestEdits && n < word.size()) {
            best = command;
            bestEdits = n;
        }
    }
    return best;
}

// What a number of seconds may be: a CLI11 check whose message names the option's
// bounds in words (its own checks print the largest double in full).
CLI::Validator Seconds(int least, const char* says)
{
    return CLI::Validator(
        [least, says](std::string& text) -> std::string {
            char* end = nullptr;
            errno = 0;
            const long value = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || errno == ERANGE || value < least || value > kMaxSeconds)
                return "\"" + text + "\" is not " + says;
            return {};
        },
        "SECONDS");
}

// list and delete wait for one short answer; get and sync may copy for a long time.
constexpr int kShortTimeout = 60;
constexpr int kLongTimeout = 600;

}  // namespace

int main(int argc, char** argv)
{
    QbxRegisterResources(false);

    // The arguments in UTF-8 whatever the system's code page: names of scans and
    // folders as the user typed them.
    std::vector<std::string> arguments = CommandLineArguments(argc, argv);
    std::vector<char*> utf8Argv;
    for (std::string& a : arguments) utf8Argv.push_back(a.data());
    utf8Argv.push_back(nullptr);
    argc = static_cast<int>(arguments.size());
    argv = utf8Argv.data();

    const std::string settings = NativePath(QuillboxIniReadPath());
    CLI::App app{"quillbox-cli: list, copy, delete and sync your scans on the printer's disk.\n"
                 "Printer, port and user default to the settings of the Quillbox dialog (" +
                 settings + ")."};
    app.require_subcommand(1);
    app.footer(std::string("Exit status: 0 everything asked was done; 1 one or more files failed (a line each on "
                           "stderr);\n2 bad arguments or settings; 3 the printer could not be reached or listed;\n"
                           "4 the printer refused the listing (an error message from it; nothing was copied or "
                           "deleted);\n128+N stopped by signal N.\n") +
               DocumentationPointer("quillbox-cli"));
    app.set_help_all_flag("--help-all", "Show the help of every command");
    // The same line as the dialogs' program gives.
    app.set_version_flag("--version", std::string("Quillbox " QBX_PRODUCT_VERSION " for " QBX_BUILT_FOR),
                         "Print the version and end");

    std::string printer, user, config, sort, folder, language, settle;
    int timeout = -1, every = 0;  // -1: the command's own time limit
    bool quiet = false, verbose = false, json = false, del = false, overwrite = false, yes = false, pdf = false;
    bool shortNames = false;
    std::vector<std::string> names;

    auto common = [&](CLI::App* cmd) {
        cmd->add_option("--printer", printer,
                        "Printer address, HOST or HOST:PORT, or the name it announces on the network as quillbox-cli "
                        "printers shows it (default: the dialog's settings)");
        cmd->add_option(
            "--user", user,
            "Your user ID at the scanner, 1 to 8 digits (default: UserID in section CommandLine of the settings)");
        cmd->add_option("--config", config,
                        "Settings file to read instead of the dialog's (" + settings +
                            "), as given (relative to the current folder)");
        cmd->add_option("--timeout", timeout,
                        "Give up after this many seconds (each round of sync); 0: never. Default: " +
                            std::to_string(kShortTimeout) + " for list and delete, " + std::to_string(kLongTimeout) +
                            " for get and sync")
            ->check(Seconds(0, "a number of seconds from 0 (never) to a year"));
        cmd->add_option("--language", language,
                        "Language of the printer's and the program's messages: de, es, fr or en (default: Language "
                        "in section QBXConfig of the settings, else the system's)");
        cmd->add_option("--settle", settle,
                        "get and sync with --delete: delete a file only once two listings this many seconds apart "
                        "showed it at one size, so a scan the printer is still writing stays there (default: "
                        "SettleTime in section QBXConfig of the settings, else " +
                            std::to_string(QBX_DEFAULT_SETTLE_SECONDS) + "; 0: no wait)")
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
        cmd->add_flag("-q,--quiet", quiet, "Print nothing but results and failures");
        cmd->add_flag("-v,--verbose", verbose,
                      "Also say what was skipped and deleted; end with the summary line when not on a terminal too");
    };

    CLI::App* list = app.add_subcommand("list", "List your files on the printer");
    common(list);
    list->add_option("--sort", sort, "Order: name (ascending), size (largest first), date (newest first)")
        ->check(CLI::IsMember({"name", "size", "date"}));
    list->add_flag("--json", json, "One JSON array, for scripts");

    CLI::App* get = app.add_subcommand("get", "Copy files into a folder (all when none are named)");
    common(get);
    get->add_option("--to", folder, "Folder to copy into")->required();
    get->add_option("names", names,
                    "Files by stable name as list shows it (2026-12-07_093005_007.TIF), by printer path, or by "
                    "display name (007.TIF) while only one scan has it");
    get->add_flag("--delete", del, "Delete each file on the printer once its copy is complete and on disk");
    get->add_flag("--overwrite", overwrite, "Replace files that already exist in the folder");
    get->add_flag("--pdf", pdf, "Save each scan as one PDF with all its pages (as its TIFF when it cannot be one)");
    get->add_flag("--short-names", shortNames,
                  "Save under the dialog's short names (007.TIF, 007_1.TIF) instead of the stable names "
                  "(2026-12-07_093005_007.TIF). Printers reuse sequence numbers: with --overwrite a later scan then "
                  "replaces the copy of an earlier one of the same number, which --delete may already have deleted "
                  "on the printer");

    CLI::App* rm = app.add_subcommand("delete", "Delete files on the printer");
    common(rm);
    rm->add_option("names", names, "Files by stable name, printer path, or a display name only one scan has")
        ->required();
    rm->add_flag("-y,--yes", yes, "Do not ask before each file");

    CLI::App* sync = app.add_subcommand("sync", "Copy every file not yet in the folder, once or repeatedly");
    common(sync);
    sync->add_option("--to", folder, "Folder to keep in step")->required();
    sync->add_flag("--delete", del, "Delete each file on the printer once its copy is complete and on disk");
    sync->add_flag("--pdf", pdf, "Save each scan as one PDF with all its pages (as its TIFF when it cannot be one)");
    sync->add_option("--every", every, "Repeat every this many seconds until stopped (SIGINT/SIGTERM)")
        ->check(Seconds(1, "a number of seconds from 1 to a year"));

    CLI::App* printers = app.add_subcommand("printers", "List the printers on the network and on this computer");
    int wait = 0;
    printers
        ->add_option("--wait", wait,
                     "Look this many seconds (default: until every source has answered, at most " +
                         std::to_string(kDefaultPrinterWait) + ")")
        ->check(CLI::PositiveNumber);
    printers->add_flag("--json", json, "One JSON array, for scripts");

    // CLI11 reports through exceptions; they end here, as an exit status of 2 (or 0 for
    // --help) after its message.
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() != 0 && app.get_subcommands().empty()) {
            std::string word = UnknownCommand(argc, argv);
            const std::string meant = word.empty() ? std::string() : Nearest(word);
            std::string list = kCommandList;
            list[0] = 'T';
            if (!meant.empty())
                std::fprintf(stderr, "quillbox-cli: \"%s\" is not a command; did you mean %s? %s\n",
                             Shown(word).c_str(), meant.c_str(), list.c_str());
            else if (!word.empty())
                std::fprintf(stderr, "quillbox-cli: \"%s\" is not a command; %s\n", Shown(word).c_str(), kCommandList);
            else if (dynamic_cast<const CLI::RequiredError*>(&e))
                std::fprintf(stderr, "quillbox-cli: no command given; %s\n", kCommandList);
            if (!word.empty() || dynamic_cast<const CLI::RequiredError*>(&e)) return QBX_EXIT_USAGE;
        }
        return app.exit(e) == 0 ? QBX_EXIT_OK : QBX_EXIT_USAGE;
    }

    if (printers->parsed()) {
        InstallStopHandler(RequestStop);
        return RunPrinters(wait, json);
    }

    CliCommon c;
    if (const int status =
            ResolveCommon(printer, user, config, sort, language, settle, get->parsed() || sync->parsed(), c);
        status != QBX_EXIT_OK)
        return status;
    c.timeoutSeconds = timeout >= 0 ? timeout : (list->parsed() || rm->parsed()) ? kShortTimeout : kLongTimeout;
    c.verbosity = quiet ? -1 : verbose ? 1 : 0;
    c.pdf = pdf;
    c.terminal = IsTerminal(stderr);
    // The status line while connecting and waiting: on a terminal, unless quiet.
    CTerminalStatusLine statusLine(stderr);
    if (c.terminal && c.verbosity >= 0) SetCliStatus(&statusLine);

    InstallStopHandler(RequestStop);
    int status = list->parsed()  ? RunList(c, json)
                 : get->parsed() ? RunGet(c, folder, names, del, overwrite, shortNames)
                 : rm->parsed()  ? RunDelete(c, names, yes)
                                 : RunSync(c, folder, del, every);
    SetCliStatus(nullptr);
    return status;
}
