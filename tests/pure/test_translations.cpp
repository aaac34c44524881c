// The catalogues and the look-up of translated texts: every text the user can see is
// in the template, each language is complete and keeps its keys apart, and picking a
// language changes the texts (and only the texts) the resources give.
#include "directory/DirTable.h"
#include "platform/resources.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>

extern const CatalogueRes g_qbxTemplate;

namespace {

class Translations : public ::testing::Test {
protected:
    void SetUp() override
    {
        QbxRegisterResources();
        m_module = GetResourceModule();
    }
    void TearDown() override { SetResourceLanguage("en"); }

    static bool InCatalogue(const CatalogueRes& c, const std::string& context, const char* english)
    {
        for (int i = 0; i < c.count; ++i)
            if (context == c.entries[i].context && std::strcmp(english, c.entries[i].english) == 0) return true;
        return false;
    }
    // Every (context, English text) the program shows from its resources.
    template <typename F>
    void ForEachText(F f)
    {
        for (int d = 0; d < m_module->dialogCount; ++d) {
            const DlgTemplate& t = m_module->dialogs[d];
            const std::string dialog = "dialog " + std::to_string(t.id);
            f(dialog, t.caption);
            for (int i = 0; i < t.itemCount; ++i) {
                const DlgItemTemplate& item = t.items[i];
                if (!*item.text) continue;
                f(item.id == -1 ? dialog + ", text" : dialog + ", control " + std::to_string(item.id), item.text);
            }
        }
        for (int i = 0; i < m_module->stringCount; ++i)
            f("string " + std::to_string(m_module->strings[i].id), m_module->strings[i].text);
    }

    const ResourceModule* m_module = nullptr;
};

// A text added to a dialog or the string table without its catalogue entry would stay
// English in every language: this names it and says how to add it.
TEST_F(Translations, TemplateHoldsEveryTextTheUserSees)
{
    ForEachText([&](const std::string& context, const char* english) {
        EXPECT_TRUE(InCatalogue(g_qbxTemplate, context, english))
            << "po/quillbox.pot lacks msgctxt \"" << context << "\" msgid \"" << english
            << "\": run build/src/quillbox-pot > po/quillbox.pot, then msgmerge --update each po/LANG.po "
               "and translate the new entry (README, Translations)";
    });
}

TEST_F(Translations, EveryLanguageIsComplete)
{
    for (const char* language : {"de", "fr", "es"}) {
        ASSERT_STREQ(SetResourceLanguage(language), language);
        const CatalogueRes* c = nullptr;
        for (int i = 0; i < m_module->catalogueCount; ++i)
            if (std::strcmp(m_module->catalogues[i].language, language) == 0) c = &m_module->catalogues[i];
        ASSERT_NE(c, nullptr) << language;
        ForEachText([&](const std::string& context, const char* english) {
            EXPECT_TRUE(InCatalogue(*c, context, english))
                << language << ": no text for " << context << " \"" << english << "\"";
        });
        // quillbox-cli's own texts, as the template has them.
        for (int i = 0; i < g_qbxTemplate.count; ++i) {
            const TranslationRes& e = g_qbxTemplate.entries[i];
            if (std::strncmp(e.context, "quillbox-cli", 12) != 0) continue;
            EXPECT_TRUE(InCatalogue(*c, e.context, e.english))
                << language << ": no text for " << e.context << " \"" << e.english << "\"";
        }
    }
}

// Alt+letter reaches one control per dialog: two texts with the same key in a dialog
// would leave one of them out of reach.
TEST_F(Translations, AcceleratorsDoNotCollideWithinADialog)
{
    for (const char* language : {"en", "de", "fr", "es", "qps"}) {
        SetResourceLanguage(language);
        for (int d = 0; d < m_module->dialogCount; ++d) {
            const DlgTemplate* t = FindDialogTemplate(m_module->dialogs[d].id);
            ASSERT_NE(t, nullptr);
            std::map<std::string, std::string> keys;
            for (int i = 0; i < t->itemCount; ++i) {
                const char* text = t->items[i].text;
                if (t->items[i].style & SS_NOPREFIX) continue;
                const char* amp = std::strchr(text, '&');
                if (!amp || !amp[1] || amp[1] == ' ') continue;
                // The key is one character, which may take more than one byte.
                std::size_t len = 1;
                while (amp[1 + len] && (static_cast<unsigned char>(amp[1 + len]) & 0xC0) == 0x80) ++len;
                std::string key(amp + 1, len);
                if (len == 1) key[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(key[0])));
                auto [it, added] = keys.emplace(key, text);
                EXPECT_TRUE(added) << language << ", dialog " << t->id << ": \"" << text << "\" and \"" << it->second
                                   << "\" share the key " << key;
            }
        }
    }
}

TEST_F(Translations, LanguageComesFromTheCodeTheSystemGives)
{
    struct Row {
        const char* code;
        const char* used;
    } rows[] = {
        {"de_DE.UTF-8", "de"},
        {"de-AT", "de"},
        {"DE_ch", "de"},
        {"fr_CA.UTF-8@euro", "fr"},
        {"es", "es"},
        {"es_MX", "es"},
        {"C", "en"},
        {"POSIX", "en"},
        {"C.UTF-8", "en"},
        {"en_GB", "en"},
        {"pt_BR", "en"},
        {"qps", "qps"},
        {".", "en"},
        {"_", "en"},
        {"@x", "en"},
        // Lists, as LANGUAGE gives them: the first that is English or has texts.
        {"fr_CA:de", "fr"},
        {"pt_BR:es_MX.UTF-8", "es"},
        {"en_GB:de", "en"},
        {"pt:xx", "en"},
        {":de", "de"},
    };
    for (const Row& r : rows) EXPECT_STREQ(SetResourceLanguage(r.code), r.used) << r.code;
}

#ifndef _WIN32
TEST_F(Translations, UsersLanguageIsTheFirstLocaleVariableSet)
{
    struct Row {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        const char* used;
        const char* language = nullptr;  // LANGUAGE
    } rows[] = {
        {"fr_FR.UTF-8", "es_ES", "de_DE", "fr"},
        {"", "es_ES.UTF-8", "de_DE", "es"},
        {nullptr, nullptr, "de_DE.UTF-8", "de"},
        {nullptr, nullptr, nullptr, "en"},
        {"C", nullptr, "de_DE", "en"},
        // LANGUAGE counts over the locale, as it does for gettext; not in the C locale.
        {nullptr, nullptr, "en_US.UTF-8", "fr", "fr:de"},
        {nullptr, nullptr, "de_DE.UTF-8", "en", "en_US:en"},
        {nullptr, nullptr, "de_AT.UTF-8", "es", "pt_BR:es_MX"},
        {"C", nullptr, "de_DE.UTF-8", "en", "fr"},
        {nullptr, nullptr, nullptr, "en", "fr"},
        {nullptr, nullptr, "C.UTF-8", "en", "de"},
        {nullptr, nullptr, "fr_FR", "fr", ""},
    };
    auto set = [](const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    };
    const std::string saved = std::getenv("LC_ALL") ? std::getenv("LC_ALL") : "";
    for (const Row& r : rows) {
        set("LC_ALL", r.lcAll);
        set("LC_MESSAGES", r.lcMessages);
        set("LANG", r.lang);
        set("LANGUAGE", r.language);
        EXPECT_STREQ(SetResourceLanguage(nullptr), r.used)
            << (r.lcAll ? r.lcAll : "-") << " " << (r.lang ? r.lang : "-") << " " << (r.language ? r.language : "-");
    }
    unsetenv("LANGUAGE");
    setenv("LC_ALL", saved.c_str(), 1);
}
#endif

TEST_F(Translations, PickedLanguageChangesTheTextsOnly)
{
    const DlgTemplate* english = FindDialogTemplate(IDD_RETRIEVE);
    ASSERT_STREQ(SetResourceLanguage("de"), "de");
    EXPECT_STREQ(GetStringRes(IDS_VIEW_SIZE), "Größe");
    EXPECT_STREQ(GetStringRes(IDS_LIST_DATE_LAYOUT), "DD.MM.YY");
    const DlgTemplate* german = FindDialogTemplate(IDD_RETRIEVE);
    ASSERT_NE(german, english);
    EXPECT_STREQ(german->caption, "Gescannte Dateien abrufen");
    ASSERT_EQ(german->itemCount, english->itemCount);
    for (int i = 0; i < german->itemCount; ++i) {
        EXPECT_EQ(german->items[i].id, english->items[i].id);
        EXPECT_EQ(german->items[i].x, english->items[i].x);
        EXPECT_EQ(german->items[i].style, english->items[i].style);
    }
    // Asked again, the same translated template (the back ends may keep its pointers).
    EXPECT_EQ(FindDialogTemplate(IDD_RETRIEVE), german);
    // Unknown texts and contexts stay English.
    EXPECT_STREQ(TranslateRes("string 99999", "Not in any catalogue"), "Not in any catalogue");

    // Back in English the module's own tables, byte for byte.
    EXPECT_STREQ(SetResourceLanguage("en"), "en");
    EXPECT_EQ(FindDialogTemplate(IDD_RETRIEVE), english);
    EXPECT_STREQ(english->caption, "Retrieve Scanned Files");
    EXPECT_STREQ(GetStringRes(IDS_VIEW_SIZE), "Size");
}

TEST_F(Translations, LoadStringNeverCutsACharacterInTwo)
{
    SetResourceLanguage("de");
    char buffer[8];
    // "Größe": G r 0xC3 0xB6 0xC3 0x9F e; room for 3 bytes ends before the "ö".
    EXPECT_EQ(LoadString(IDS_VIEW_SIZE, buffer, 4), 2);
    EXPECT_STREQ(buffer, "Gr");
    EXPECT_EQ(LoadString(IDS_VIEW_SIZE, buffer, 5), 4);
    EXPECT_STREQ(buffer, "Grö");
}

// A screen reader announces a control without text of its own by the label before
// it in the template (Windows's rule, which the Qt back end follows too): each must
// be the label the user reads beside it, in every language.
TEST_F(Translations, EveryControlWithoutTextIsNamedByItsOwnLabel)
{
    struct Row {
        UINT dialog;
        int control;
        const char* label;  // null: no name from a label
    } rows[] = {
        {IDD_QUILLBOX_DIALOG, IDC_USERID, "&User ID from Scanner:"},
        {IDD_QUILLBOX_DIALOG, IDC_REMOTEIP, "&Printer IP Address:"},
        {IDD_QUILLBOX_DIALOG, IDC_REMOTEPORT, "&Virtual Printer Port:"},
        {IDD_RETRIEVE, IDC_FILELIST, "&Files:"},
        {IDD_RETRIEVE, IDC_VIEWBY, "&View By:"},
        {IDD_FIND_PRINTER, IDC_PRINTER_LIST, "&Printers:"},
    };
    for (const char* language : {"en", "de"}) {
        SetResourceLanguage(language);
        std::set<std::pair<UINT, int>> checked;
        for (const Row& r : rows) {
            const DlgTemplate* t = FindDialogTemplate(r.dialog);
            ASSERT_NE(t, nullptr);
            int index = -1;
            for (int i = 0; i < t->itemCount; ++i)
                if (t->items[i].id == r.control) index = i;
            ASSERT_GE(index, 0) << r.control;
            const char* label = ControlLabel(*t, index);
            ASSERT_NE(label, nullptr) << language << ", dialog " << r.dialog << ", control " << r.control;
            char context[48];
            std::snprintf(context, sizeof context, "dialog %u, text", r.dialog);
            EXPECT_STREQ(label, TranslateRes(context, r.label)) << language << ", control " << r.control;
            checked.insert({r.dialog, r.control});
        }
        // The progress bar is named like its dialog.
        const DlgTemplate* progress = FindDialogTemplate(IDD_PROGRESS);
        for (int i = 0; i < progress->itemCount; ++i)
            if (progress->items[i].id == IDC_PROGRESS) {
                EXPECT_STREQ(ControlLabel(*progress, i), progress->caption);
            }
        // Every other edit, list and drop-down list would be announced without a name.
        for (int d = 0; d < m_module->dialogCount; ++d) {
            const DlgTemplate& t = m_module->dialogs[d];
            for (int i = 0; i < t.itemCount; ++i) {
                const DlgItemClass c = t.items[i].cls;
                if (c == DlgItemClass::Edit || c == DlgItemClass::ListBox || c == DlgItemClass::ComboBox) {
                    EXPECT_TRUE(checked.count({t.id, t.items[i].id}))
                        << "dialog " << t.id << ", control " << t.items[i].id << " has no intended label";
                }
            }
        }
    }
}

TEST(ListDate, LayoutOrdersDayMonthYearAndKeepsTheTime)
{
    struct Row {
        const char* dateTime;
        const char* layout;
        const char* shown;
    } rows[] = {
        {"12/07/26\t09:30:05", "MM/DD/YY", "12/07/26\t09:30:05"},
        {"12/07/26\t09:30:05", "DD.MM.YY", "07.12.26\t09:30:05"},
        {"12/07/26\t09:30:05", "DD/MM/YY", "07/12/26\t09:30:05"},
        {"12/07/26", "YY-MM-DD", "26-12-07"},
        {"12/07/26\t09:30:05", "", "12/07/26\t09:30:05"},
        {"", "DD.MM.YY", ""},
        {"1/07/26\t09:30:05", "DD.MM.YY", "1/07/26\t09:30:05"},
        {"ab/cd/ef\t09:30:05", "DD.MM.YY", "ab/cd/ef\t09:30:05"},
        {"12/07/26x", "DD.MM.YY", "12/07/26x"},
    };
    for (const Row& r : rows) {
        char out[40];
        FormatListDate(r.dateTime, r.layout, out, sizeof out);
        EXPECT_STREQ(out, r.shown) << r.dateTime << " " << r.layout;
    }
    char small[6];
    FormatListDate("12/07/26\t09:30:05", "DD.MM.YY", small, sizeof small);
    EXPECT_STREQ(small, "07.12");
}

}  // namespace
