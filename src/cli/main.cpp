// quillbox-cli: list, copy, delete and sync a user's scans on the printer without a
// display. The argument parsing is CLI11's; the work is in Commands.cpp.
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Printers.h"
#include "cli/Settle.h"
#include "cli/Status.h"
#include "cli/Texts.h"

#include "app/Config.h"
#include "directory/DirTable.h"
#include "platform/printer_finder.h"
#include "platform/console.h"
#include "platform/profile.h"
#include "platform/profile_file.h"
#include "platform/resources.h"
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
#include <memory>
#include <regex>
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
        std::fputs(TrF("quillbox-cli",
                       "quillbox-cli: the settings file %s cannot be read (it is not a plain file, or not readable); "
                       "name a settings file with --config\n",
                       Shown(ini).c_str())
                       .c_str(),
                   stderr);
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
            std::fputs(TrF("quillbox-cli",
                           "quillbox-cli: no printer called \"%s\" answered on the network; see the names with "
                           "quillbox-cli printers, or give --printer HOST:PORT\n",
                           Shown(printer).c_str())
                           .c_str(),
                       stderr);
            return QBX_EXIT_PRINTER;
        }
        c.target.host = found.address;
        c.target.port = found.port;
    } else if (!printer.empty() && !SplitPrinter(printer, c.target.host, c.target.port)) {
        std::fputs(TrF("quillbox-cli", "quillbox-cli: --printer %s is not HOST or HOST:PORT (port 1 to 65535)\n",
                       Shown(printer).c_str())
                       .c_str(),
                   stderr);
        return QBX_EXIT_USAGE;
    } else if (printer.empty() && settings.szServiceName[0]) {
        // The printer the dialogs saved by its name: where it answers now (a printer that
        // moved), else at the saved address. Looked for as briefly as the dialogs do.
        PrinterLine found;
        if (FindPrinterByName(settings.szServiceName, settings.szServiceUUID, kSavedPrinterWaitMs, found) &&
            (found.address != c.target.host || found.port != c.target.port)) {
            std::fputs(TrF("quillbox-cli",
                           "quillbox-cli: printer \"%s\" answered on the network at %s; using that address instead of "
                           "the saved %s:%d\n",
                           Shown(settings.szServiceName).c_str(), Shown(PrinterAddressText(found)).c_str(),
                           Shown(c.target.host).c_str(), c.target.port)
                           .c_str(),
                       stderr);
            c.target.host = found.address;
            c.target.port = found.port;
        }
    }
    if (c.target.host.empty()) {
        std::fputs(TrF("quillbox-cli",
                       "quillbox-cli: no printer address: give --printer HOST[:PORT] or set RemoteIP in %s\n",
                       Shown(NativePath(ini)).c_str())
                       .c_str(),
                   stderr);
        return QBX_EXIT_USAGE;
    }
    if (c.target.port <= 0 || c.target.port > 65535) {
        std::fputs(TrF("quillbox-cli",
                       "quillbox-cli: the printer port in %s (\"%s\") is not a port number; give "
                       "--printer HOST:PORT\n",
                       Shown(NativePath(ini)).c_str(), Shown(settings.szRemotePort).c_str())
                       .c_str(),
                   stderr);
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
        std::fputs(user.empty()
                       ? Tr("quillbox-cli", "quillbox-cli: no user ID: a user ID is 1 to 8 digits, as keyed in at the "
                                            "scanner; give --user ID\n")
                       : TrF("quillbox-cli",
                             "quillbox-cli: %s: a user ID is 1 to 8 digits, as keyed in at the scanner; give "
                             "--user ID\n",
                             Shown(user).c_str())
                             .c_str(),
                   stderr);
        return QBX_EXIT_USAGE;
    }
    c.userID = user;
    // How long a scan must keep its size before it may be deleted: the option, else the
    // dialog's own key, else 10 s. A value that is no number of seconds is refused
    // rather than taken for no wait at all.
    if (!settle.empty()) {
        if (!ParseSettleSeconds(settle, c.settleSeconds)) {
            std::fputs(TrF("quillbox-cli", "quillbox-cli: --settle %s is not a number of seconds from 0 to %d\n",
                           Shown(settle).c_str(), QBX_MAX_SETTLE_SECONDS)
                           .c_str(),
                       stderr);
            return QBX_EXIT_USAGE;
        }
    } else if (settleUsed) {
        if (settings.bSettleTimeBad) {
            std::fputs(TrF("quillbox-cli",
                           "quillbox-cli: SettleTime in section QBXConfig of %s (\"%s\") is not a number of seconds "
                           "from 0 to %d; correct it or give --settle SECONDS\n",
                           Shown(ini).c_str(), Shown(settings.szSettleTime).c_str(), QBX_MAX_SETTLE_SECONDS)
                           .c_str(),
                       stderr);
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
// bounds in words (its own checks print the largest double in full). least is 0 or 1.
CLI::Validator Seconds(int least)
{
    return CLI::Validator(
        [least](std::string& text) -> std::string {
            char* end = nullptr;
            errno = 0;
            const long value = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || errno == ERANGE || value < least || value > kMaxSeconds)
                return least == 0
                           ? TrF("quillbox-cli", "\"%s\" is not a number of seconds from 0 (never) to a year",
                                 text.c_str())
                           : TrF("quillbox-cli", "\"%s\" is not a number of seconds from 1 to a year", text.c_str());
            return {};
        },
        "SECONDS");
}

// The value of the last --language on the command line ("--language de" or
// "--language=de"), empty when there is none; and likewise --config.
std::string OptionValue(int argc, char** argv, const char* name)
{
    const std::size_t n = std::strlen(name);
    std::string value;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], name) == 0 && i + 1 < argc)
            value = argv[++i];
        else if (std::strncmp(argv[i], name, n) == 0 && argv[i][n] == '=')
            value = argv[i] + n + 1;
    }
    return value;
}

// Picks the language of the texts before the help is made: --language, else Language
// in the settings file (--config, else the dialog's), else the system's. A settings file
// that is not a plain file is not read here; the command refuses it later.
void PickLanguage(int argc, char** argv)
{
    const std::string language = OptionValue(argc, argv, "--language");
    const std::string config = OptionValue(argc, argv, "--config");
    std::string ini = config.empty() ? QuillboxIniReadPath() : IsBareName(config) ? "./" + config : config;
    std::string content;
    if (!ini.empty() && ReadProfileFile(ini, &content) == ProfileRead::Failed) ini.clear();
    ApplyLanguageSetting(ini.c_str(), language.c_str());
}

// Where the tool's manual is, in the language in use.
std::string DocumentationText()
{
    const std::string english = DocumentationPointer("quillbox-cli");
    const std::string folderPrefix = "See README.txt in ";
    if (english == "See quillbox-cli(1).") return Tr("quillbox-cli --help", "See quillbox-cli(1).");
    if (english == "See README.txt in the program's folder.")
        return Tr("quillbox-cli --help", "See README.txt in the program's folder.");
    if (english.rfind(folderPrefix, 0) == 0 && english.back() == '.')
        return TrF("quillbox-cli --help", "See README.txt in %s.",
                   english.substr(folderPrefix.size(), english.size() - folderPrefix.size() - 1).c_str());
    return english;
}

// CLI11's messages about the command line in the language in use: those the tool's
// options can cause, the rest as CLI11 words them. English is CLI11's own text.
std::string UsageMessage(const CLI::App* app, const CLI::Error& e)
{
    if (std::strcmp(GetResourceLanguage(), "en") == 0) return CLI::FailureMessage::simple(app, e);
    const std::string what = e.what();
    std::smatch m;
    std::string text = what;
    if (std::regex_match(what, m, std::regex(R"((\S+) is required)")))
        text = TrF("quillbox-cli", "%s is required", m[1].str().c_str());
    else if (std::regex_match(what, m, std::regex(R"(The following arguments? (?:was|were) not expected: (.*))")))
        text = TrF("quillbox-cli", "Not expected on the command line: %s", m[1].str().c_str());
    else if (std::regex_match(what, m, std::regex(R"((\S+): \d+ required \S+ missing)")))
        text = TrF("quillbox-cli", "%s needs a value", m[1].str().c_str());
    else if (std::regex_match(what, m, std::regex(R"((\S+): (.*) not in (\{.*\}))")))
        text = TrF("quillbox-cli", "%s: \"%s\" is not one of %s", m[1].str().c_str(), m[2].str().c_str(),
                   m[3].str().c_str());
    else if (std::regex_match(what, m, std::regex(R"((\S+): Value (.*) not in range .*)")))
        text = TrF("quillbox-cli", "%s: \"%s\" is not a whole number of 1 or more", m[1].str().c_str(),
                   m[2].str().c_str());
    else if (std::regex_match(what, m, std::regex(R"(Could not convert: (\S+) = (.*))")))
        text = TrF("quillbox-cli", "%s: \"%s\" is not a whole number", m[1].str().c_str(), m[2].str().c_str());
    return text + "\n" + Tr("quillbox-cli", "Run with --help or --help-all for more information.\n");
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

    // The help and every message in the user's language: picked before the help is made.
    PickLanguage(argc, argv);
    // A Windows console shows the translations' letters only once it takes UTF-8.
    IsTerminal(stdout);
    IsTerminal(stderr);

    const std::string settings = NativePath(QuillboxIniReadPath());
    CLI::App app{TrF("quillbox-cli --help",
                     "quillbox-cli: list, copy, delete and sync your scans on the printer's disk.\n"
                     "Printer, port and user default to the settings of the Quillbox dialog (%s).",
                     settings.c_str())};
    // CLI11's own words in the help.
    auto formatter = std::make_shared<CLI::Formatter>();
    formatter->label("Usage", Tr("quillbox-cli --help", "Usage"));
    formatter->label("OPTIONS", Tr("quillbox-cli --help", "OPTIONS"));
    formatter->label("SUBCOMMAND", Tr("quillbox-cli --help", "SUBCOMMAND"));
    formatter->label("Positionals", Tr("quillbox-cli --help", "Positionals"));
    formatter->label("REQUIRED", Tr("quillbox-cli --help", "REQUIRED"));
    // The kinds of values the options take.
    formatter->label("TEXT", Tr("quillbox-cli --help", "TEXT"));
    formatter->label("INT:SECONDS", Tr("quillbox-cli --help", "INT:SECONDS"));
    formatter->label("INT:POSITIVE", Tr("quillbox-cli --help", "INT:POSITIVE"));
    formatter->label("TEXT:{name,size,date}", Tr("quillbox-cli --help", "TEXT:{name,size,date}"));
    app.formatter(formatter);
    app.failure_message(UsageMessage);
    app.option_defaults()->group(Tr("quillbox-cli --help", "Options"));
    app.require_subcommand(1);
    app.footer(Tr("quillbox-cli --help",
                  "Exit status: 0 everything asked was done; 1 one or more files failed (a line each on stderr);\n"
                  "2 bad arguments or settings; 3 the printer could not be reached or listed;\n"
                  "4 the printer refused the listing (an error message from it; nothing was copied or deleted);\n"
                  "128+N stopped by signal N.\n") +
               DocumentationText());
    app.set_help_flag("-h,--help", Tr("quillbox-cli --help", "Print this help message and exit"));
    app.set_help_all_flag("--help-all", Tr("quillbox-cli --help", "Show the help of every command"));
    // The same line as the dialogs' program gives.
    app.set_version_flag("--version", std::string("Quillbox " QBX_PRODUCT_VERSION " for " QBX_BUILT_FOR),
                         Tr("quillbox-cli --help", "Print the version and end"));

    std::string printer, user, config, sort, folder, language, settle;
    int timeout = -1, every = 0;  // -1: the command's own time limit
    bool quiet = false, verbose = false, json = false, del = false, overwrite = false, yes = false, pdf = false;
    bool shortNames = false;
    std::vector<std::string> names;

    const char* const kLanguageHelp =
        Tr("quillbox-cli --help",
           "Language of the printer's and the program's messages: de, es, fr or en (default: Language in section "
           "QBXConfig of the settings, else the system's)");
    auto common = [&](CLI::App* cmd) {
        cmd->group(Tr("quillbox-cli --help", "Subcommands"));
        cmd->add_option("--printer", printer,
                        Tr("quillbox-cli --help",
                           "Printer address, HOST or HOST:PORT, or the name it announces on the network as "
                           "quillbox-cli printers shows it (default: the dialog's settings)"));
        cmd->add_option("--user", user,
                        Tr("quillbox-cli --help",
                           "Your user ID at the scanner, 1 to 8 digits (default: UserID in section CommandLine of "
                           "the settings)"));
        cmd->add_option("--config", config,
                        TrF("quillbox-cli --help",
                            "Settings file to read instead of the dialog's (%s), as given (relative to the current "
                            "folder)",
                            settings.c_str()));
        cmd->add_option("--timeout", timeout,
                        TrF("quillbox-cli --help",
                            "Give up after this many seconds (each round of sync); 0: never. Default: %d for list "
                            "and delete, %d for get and sync",
                            kShortTimeout, kLongTimeout))
            ->check(Seconds(0));
        cmd->add_option("--language", language, kLanguageHelp);
        cmd->add_option("--settle", settle,
                        TrF("quillbox-cli --help",
                            "get and sync with --delete: delete a file only once two listings this many seconds "
                            "apart showed it at one size, so a scan the printer is still writing stays there "
                            "(default: SettleTime in section QBXConfig of the settings, else %d; 0: no wait)",
                            QBX_DEFAULT_SETTLE_SECONDS))
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
        cmd->add_flag("-q,--quiet", quiet, Tr("quillbox-cli --help", "Print nothing but results and failures"));
        cmd->add_flag("-v,--verbose", verbose,
                      Tr("quillbox-cli --help",
                         "Also say what was skipped and deleted; end with the summary line when not on a terminal "
                         "too"));
    };
    const char* const kDeleteHelp =
        Tr("quillbox-cli --help", "Delete each file on the printer once its copy is complete and on disk");
    const char* const kPdfHelp =
        Tr("quillbox-cli --help", "Save each scan as one PDF with all its pages (as its TIFF when it cannot be one)");
    const char* const kJsonHelp = Tr("quillbox-cli --help", "One JSON array, for scripts");

    CLI::App* list = app.add_subcommand("list", Tr("quillbox-cli --help", "List your files on the printer"));
    common(list);
    list->add_option("--sort", sort,
                     Tr("quillbox-cli --help", "Order: name (ascending), size (largest first), date (newest first)"))
        ->check(CLI::IsMember({"name", "size", "date"}));
    list->add_flag("--json", json, kJsonHelp);

    CLI::App* get =
        app.add_subcommand("get", Tr("quillbox-cli --help", "Copy files into a folder (all when none are named)"));
    common(get);
    get->add_option("--to", folder, Tr("quillbox-cli --help", "Folder to copy into"))->required();
    get->add_option("names", names,
                    Tr("quillbox-cli --help",
                       "Files by stable name as list shows it (2026-12-07_093005_007.TIF), by printer path, or by "
                       "display name (007.TIF) while only one scan has it"));
    get->add_flag("--delete", del, kDeleteHelp);
    get->add_flag("--overwrite", overwrite,
                  Tr("quillbox-cli --help", "Replace files that already exist in the folder"));
    get->add_flag("--pdf", pdf, kPdfHelp);
    get->add_flag("--short-names", shortNames,
                  Tr("quillbox-cli --help",
                     "Save under the dialog's short names (007.TIF, 007_1.TIF) instead of the stable names "
                     "(2026-12-07_093005_007.TIF). Printers reuse sequence numbers: with --overwrite a later scan "
                     "then replaces the copy of an earlier one of the same number, which --delete may already have "
                     "deleted on the printer"));

    CLI::App* rm = app.add_subcommand("delete", Tr("quillbox-cli --help", "Delete files on the printer"));
    common(rm);
    rm->add_option("names", names,
                   Tr("quillbox-cli --help", "Files by stable name, printer path, or a display name only one scan has"))
        ->required();
    rm->add_flag("-y,--yes", yes, Tr("quillbox-cli --help", "Do not ask before each file"));

    CLI::App* sync = app.add_subcommand(
        "sync", Tr("quillbox-cli --help", "Copy every file not yet in the folder, once or repeatedly"));
    common(sync);
    sync->add_option("--to", folder, Tr("quillbox-cli --help", "Folder to keep in step"))->required();
    sync->add_flag("--delete", del, kDeleteHelp);
    sync->add_flag("--pdf", pdf, kPdfHelp);
    sync->add_option("--every", every,
                     Tr("quillbox-cli --help", "Repeat every this many seconds until stopped (SIGINT/SIGTERM)"))
        ->check(Seconds(1));

    CLI::App* printers = app.add_subcommand(
        "printers", Tr("quillbox-cli --help", "List the printers on the network and on this computer"));
    printers->group(Tr("quillbox-cli --help", "Subcommands"));
    int wait = 0;
    printers
        ->add_option("--wait", wait,
                     TrF("quillbox-cli --help",
                         "Look this many seconds (default: until every source has answered, at most %d)",
                         kDefaultPrinterWait))
        ->check(CLI::PositiveNumber);
    printers->add_flag("--json", json, kJsonHelp);
    printers->add_option("--language", language, kLanguageHelp);

    // A command's help options were made before the group of options had its name in
    // the language in use.
    for (CLI::App* cmd : app.get_subcommands([](CLI::App*) { return true; }))
        for (CLI::Option* option : cmd->get_options([](CLI::Option*) { return true; }))
            if (option->get_group() == "Options") option->group(Tr("quillbox-cli --help", "Options"));

    // CLI11 reports through exceptions; they end here, as an exit status of 2 (or 0 for
    // --help) after its message.
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() != 0 && app.get_subcommands().empty()) {
            std::string word = UnknownCommand(argc, argv);
            const std::string meant = word.empty() ? std::string() : Nearest(word);
            if (!meant.empty())
                std::fputs(TrF("quillbox-cli",
                               "quillbox-cli: \"%s\" is not a command; did you mean %s? The commands are list, get, "
                               "delete, sync and printers (quillbox-cli --help)\n",
                               Shown(word).c_str(), meant.c_str())
                               .c_str(),
                           stderr);
            else if (!word.empty())
                std::fputs(TrF("quillbox-cli",
                               "quillbox-cli: \"%s\" is not a command; the commands are list, get, delete, sync and "
                               "printers (quillbox-cli --help)\n",
                               Shown(word).c_str())
                               .c_str(),
                           stderr);
            else if (dynamic_cast<const CLI::RequiredError*>(&e))
                std::fputs(Tr("quillbox-cli",
                              "quillbox-cli: no command given; the commands are list, get, delete, sync and printers "
                              "(quillbox-cli --help)\n"),
                           stderr);
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
