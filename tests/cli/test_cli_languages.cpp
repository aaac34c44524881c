// The tool in the user's language: its help and its messages wholly translated, its
// JSON the same in every language, and the language picked by --language first.
#include "cli_fixture.h"

#include "cli/Output.h"
#include "cli/Printers.h"
#include "platform/printer_list.h"
#include "platform/resources.h"
#include "res/resource.h"

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

// Words of the tool's English texts that no translation uses: one of them in a
// translated output is a text that never went through the catalogue.
const char* const kEnglishWords[] = {
    " the ",    " and ",       " or ",        "Usage",         "Print ",  "Copy ",       "Delete ",   "folder",
    "settings", "Exit status", "Subcommands", "seconds",       "Files",   " printer ",   "printer's", "Run with",
    "is not",   "required",    "List your",   "Show the help", "Give up", "Language of", "See "};

struct Language {
    const char* name;
    std::vector<std::string> option;  // how it is asked for on the command line
    std::vector<std::string> env;     // or in the environment
    const char* helpWord;             // a word its help must have
    const char* folderWord;           // a word of the message about a missing folder
};

// Neither a settings file nor the test machine's own locale may pick the language.
const std::vector<std::string> kNoLocale = {"LC_ALL=", "LC_MESSAGES=", "LANG=C", "LANGUAGE="};

const Language kLanguages[] = {
    {"de", {"--language", "de"}, kNoLocale, "Aufruf", "Ordner"},
    {"fr", {"--language", "fr"}, kNoLocale, "Utilisation", "dossier"},
    {"es", {"--language=es"}, kNoLocale, "Uso", "carpeta"},
    {"LANG=de_DE.UTF-8", {}, {"LC_ALL=", "LC_MESSAGES=", "LANG=de_DE.UTF-8", "LANGUAGE="}, "Aufruf", "Ordner"},
    // The user's list of languages counts over the locale, as for gettext.
    {"LANGUAGE=fr:de", {}, {"LC_ALL=", "LC_MESSAGES=", "LANG=en_US.UTF-8", "LANGUAGE=fr:de"}, "Utilisation", "dossier"},
};

std::string EnglishLeftIn(const std::string& text)
{
    for (const char* word : kEnglishWords)
        if (text.find(word) != std::string::npos) return word;
    return {};
}

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class CliLanguages : public CliTest {};

}  // namespace

#ifndef QBX_CLI_UNDER_WINE
// The help of the tool and of each command, and a road that fails before the printer
// is asked (a folder that is not there), in each language.
TEST_F(CliLanguages, HelpAndMessagesAreWhollyTranslated)
{
    for (const Language& l : kLanguages) {
        SCOPED_TRACE(l.name);
        for (std::vector<std::string> command :
             {std::vector<std::string>{}, {"get"}, {"sync"}, {"delete"}, {"printers"}}) {
            CliRun r = Run(Joined(Joined(command, l.option), {"--help"}), {}, {}, l.env);
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_NE(r.out.find(l.helpWord), std::string::npos) << r.out;
            EXPECT_EQ(EnglishLeftIn(r.out), "") << r.out;
            // French calls them "Options" too.
            if (std::string(l.helpWord) != "Utilisation") EXPECT_EQ(r.out.find("Options:"), std::string::npos) << r.out;
        }
        const std::string missing = (base / "missing").string();
        CliRun r = Run(Joined({"get", "--printer", "127.0.0.1:9", "--user", "1234", "--to", missing}, l.option), {}, {},
                       l.env);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(l.folderWord), std::string::npos) << r.err;
        EXPECT_EQ(EnglishLeftIn(r.err), "") << r.err;
        // A mistake on the command line, in CLI11's part of the work.
        r = Run(Joined({"list", "--sort", "age"}, l.option), {}, {}, l.env);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(EnglishLeftIn(r.err), "") << r.err;
    }
}

// --language wins over the environment, and "en" is the English that was always there.
TEST_F(CliLanguages, LanguageOptionWinsOverTheEnvironment)
{
    const std::vector<std::string> german = {"LC_ALL=de_DE.UTF-8"};
    CliRun english = Run({"--help"}, {}, {}, {"LC_ALL=C"});
    CliRun asked = Run({"--language", "en", "--help"}, {}, {}, german);
    EXPECT_EQ(asked.out, english.out);
    EXPECT_EQ(english.out.rfind("quillbox-cli: list, copy, delete and sync your scans", 0), 0u) << english.out;
    CliRun french = Run({"--language", "fr", "list", "--help"}, {}, {}, german);
    EXPECT_NE(french.out.find("Lister vos fichiers"), std::string::npos) << french.out;
}

// Scripts read the JSON whatever the language.
TEST_F(CliLanguages, JsonIsTheSameInEveryLanguage)
{
    Add("1234", "007", "20261207093005", 3000, 1);
    Add("1234", "008", "20261207100000", 70000, 2);
    StartPrinter();
    const CliRun english = Run(With({"list", "--json"}), {}, {}, kNoLocale);
    ASSERT_EQ(english.status, 0) << english.err;
    for (const Language& l : kLanguages) {
        SCOPED_TRACE(l.name);
        CliRun r = Run(Joined(With({"list", "--json"}), l.option), {}, {}, l.env);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, english.out);
    }
}

// The column (in characters, not bytes) where word starts in line; npos when absent.
std::size_t ColumnOf(const std::string& line, const std::string& word)
{
    const std::size_t at = line.find(word);
    if (at == std::string::npos) return at;
    std::size_t n = 0;
    for (std::size_t i = 0; i < at; ++i)
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++n;
    return n;
}

// The same on a terminal, for the letters these tests use: the CJK letters of U+3000 to
// U+9FFF (3 bytes, the first 0xE3 to 0xE9) take two columns, the combining marks of
// U+0300 to U+036F (0xCC or 0xCD first) none.
std::size_t ScreenColumnOf(const std::string& line, const std::string& word)
{
    const std::size_t at = line.find(word);
    if (at == std::string::npos) return at;
    std::size_t n = 0;
    for (std::size_t i = 0; i < at; ++i) {
        const auto b = static_cast<unsigned char>(line[i]);
        if ((b & 0xC0) == 0x80) continue;
        n += b >= 0xE3 && b <= 0xE9 ? 2 : b == 0xCC || b == 0xCD ? 0 : 1;
    }
    return n;
}

std::vector<std::string> Printed(const std::function<void(std::FILE*)>& print)
{
    std::FILE* f = std::tmpfile();
    print(f);
    std::rewind(f);
    std::vector<std::string> lines;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, f)) lines.emplace_back(buffer);
    std::fclose(f);
    return lines;
}

// Headings and names with letters of more than one byte keep the columns of the file
// list and of the printers list.
TEST(CliLanguageColumns, HeadingsInGermanStayOverTheirColumns)
{
    QbxRegisterResources(false);
    ASSERT_STREQ(SetResourceLanguage("de"), "de");
    DirEntry e{};
    std::strcpy(e.path, "DXR/Images/1234(007)(20261207093005).TIF");
    std::strcpy(e.name, "007.TIF");
    std::strcpy(e.size, "3000");
    std::strcpy(e.dateTime, "12/07/26\t09:30:05");
    DirHeader dir{1, 0, &e};
    std::vector<std::string> list = Printed([&](std::FILE* f) { PrintListText(f, dir, {0}, true); });
    ASSERT_EQ(list.size(), 2u);
    // SIZE is right-aligned: the heading ends where the number does.
    EXPECT_EQ(ColumnOf(list[0], "GRÖSSE") + 6, ColumnOf(list[1], "3000") + 4) << list[0] << list[1];
    EXPECT_EQ(ColumnOf(list[0], "FESTER NAME"), ColumnOf(list[1], "2026-12-07_093005_007.TIF")) << list[0] << list[1];

    PrinterLine office;
    office.name = "Büro Süd";
    office.model = "Modèle 5";
    office.address = "192.0.2.7";
    office.port = 9100;
    office.sources = kFoundOnNetwork;
    std::vector<std::string> printers = Printed([&](std::FILE* f) { PrintPrintersText(f, {office}); });
    ASSERT_EQ(printers.size(), 2u);
    EXPECT_EQ(ColumnOf(printers[0], "MODELL"), ColumnOf(printers[1], "Modèle")) << printers[0] << printers[1];
    EXPECT_EQ(ColumnOf(printers[0], "GEFUNDEN"), ColumnOf(printers[1], "Netzwerk")) << printers[0] << printers[1];

    // A name in wide East Asian letters takes two columns for each, a combining mark none.
    PrinterLine tokyo = office, decomposed = office;
    tokyo.name = "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x82\xAA\xE3\x83\x95\xE3\x82\xA3\xE3\x82\xB9";  // 東京オフィス
    tokyo.model = "Wide";
    decomposed.name = "Bu\xCC\x88ro";  // "Büro", the "ü" as "u" and a combining diaeresis
    decomposed.model = "Mark";
    printers = Printed([&](std::FILE* f) { PrintPrintersText(f, {office, tokyo, decomposed}); });
    ASSERT_EQ(printers.size(), 4u);
    const std::size_t model = ScreenColumnOf(printers[0], "MODELL");
    EXPECT_EQ(model, 14u) << "the names are at most 12 columns wide\n" << printers[0] << printers[2];
    EXPECT_EQ(ScreenColumnOf(printers[1], "Modèle"), model) << printers[0] << printers[1];
    EXPECT_EQ(ScreenColumnOf(printers[2], "Wide"), model) << printers[0] << printers[2];
    EXPECT_EQ(ScreenColumnOf(printers[3], "Mark"), model) << printers[0] << printers[3];
    SetResourceLanguage("en");
}
#endif

// The translated help reaches the console as UTF-8 (on Windows as well).
TEST_F(CliLanguages, GermanHelpIsUtf8)
{
    CliRun r = Run({"--language", "de", "--help"}, {}, {}, kNoLocale);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Dateien auf dem Drucker l\xC3\xB6schen"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("R\xC3\xBC"
                         "ckgabewert"),
              std::string::npos)
        << r.out;
}
