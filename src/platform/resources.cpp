#include "platform/resources.h"

#include "platform/ui_language.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {
const ResourceModule* g_module = nullptr;
// The catalogue in use; null for English.
const CatalogueRes* g_catalogue = nullptr;

// "de_DE.UTF-8@euro" -> "de_DE"; "de-DE" -> "de_DE"; the language part in lower case.
std::string NormalLanguage(const char* code)
{
    std::string s;
    for (const char* p = code; *p && *p != '.' && *p != '@'; ++p) s += *p == '-' ? '_' : *p;
    for (char& c : s) {
        if (c == '_') break;
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

const CatalogueRes* FindCatalogue(const std::string& code)
{
    if (!g_module || code.empty()) return nullptr;
    const std::string first = code.substr(0, code.find('_'));
    const CatalogueRes* byFirst = nullptr;
    for (int i = 0; i < g_module->catalogueCount; ++i) {
        const CatalogueRes& c = g_module->catalogues[i];
        if (code == c.language) return &c;
        if (!byFirst && first == c.language) byFirst = &c;
    }
    return byFirst;
}

bool CatalogueOfModule(const CatalogueRes* c)
{
    if (!g_module || !c) return false;
    return c >= g_module->catalogues && c < g_module->catalogues + g_module->catalogueCount;
}

// A dialog template with its texts in one language, kept for the life of the process
// (the back ends hold on to the pointers of the template they are given).
struct TranslatedDialog {
    DlgTemplate dialog;
    std::vector<DlgItemTemplate> items;
};

const DlgTemplate* Translated(const DlgTemplate& tmpl)
{
    static std::map<std::pair<const DlgTemplate*, const CatalogueRes*>, std::unique_ptr<TranslatedDialog>> cache;
    auto& slot = cache[{&tmpl, g_catalogue}];
    if (slot) return &slot->dialog;
    slot = std::make_unique<TranslatedDialog>();
    char context[48];
    std::snprintf(context, sizeof context, "dialog %u", tmpl.id);
    slot->dialog = tmpl;
    slot->dialog.caption = TranslateRes(context, tmpl.caption);
    slot->items.assign(tmpl.items, tmpl.items + tmpl.itemCount);
    for (DlgItemTemplate& item : slot->items) {
        if (item.id == -1)
            std::snprintf(context, sizeof context, "dialog %u, text", tmpl.id);
        else
            std::snprintf(context, sizeof context, "dialog %u, control %d", tmpl.id, item.id);
        item.text = TranslateRes(context, item.text);
    }
    slot->dialog.items = slot->items.data();
    return &slot->dialog;
}

}  // namespace

void SetResourceModule(const ResourceModule* module)
{
    g_module = module;
    g_catalogue = nullptr;
}

const ResourceModule* GetResourceModule() { return g_module; }

const char* SetResourceLanguage(const char* language)
{
    const std::string list = language && *language ? language : GetUserUiLanguage();
    // A list ("fr_CA:de"): the first language with texts, English being one.
    g_catalogue = nullptr;
    for (std::size_t at = 0; at <= list.size();) {
        const std::size_t end = std::min(list.find(':', at), list.size());
        const std::string code = NormalLanguage(list.substr(at, end - at).c_str());
        at = end + 1;
        if (code.substr(0, code.find('_')) == "en") break;
        if ((g_catalogue = FindCatalogue(code)) != nullptr) break;
    }
    return GetResourceLanguage();
}

const char* GetResourceLanguage() { return CatalogueOfModule(g_catalogue) ? g_catalogue->language : "en"; }

const char* TranslateRes(const char* context, const char* english)
{
    if (!english || !*english || !context || !CatalogueOfModule(g_catalogue)) return english;
    for (int i = 0; i < g_catalogue->count; ++i) {
        const TranslationRes& e = g_catalogue->entries[i];
        if (std::strcmp(e.context, context) == 0 && std::strcmp(e.english, english) == 0)
            return e.text && *e.text ? e.text : english;
    }
    return english;
}

const DlgTemplate* FindDialogTemplate(UINT id)
{
    if (!g_module) return nullptr;
    for (int i = 0; i < g_module->dialogCount; ++i)
        if (g_module->dialogs[i].id == id)
            return CatalogueOfModule(g_catalogue) ? Translated(g_module->dialogs[i]) : &g_module->dialogs[i];
    return nullptr;
}

const char* GetStringRes(UINT id)
{
    if (!g_module) return "";
    for (int i = 0; i < g_module->stringCount; ++i)
        if (g_module->strings[i].id == id) {
            if (!CatalogueOfModule(g_catalogue)) return g_module->strings[i].text;
            char context[24];
            std::snprintf(context, sizeof context, "string %u", id);
            return TranslateRes(context, g_module->strings[i].text);
        }
    return "";
}

int LoadString(UINT id, char* buffer, int maxCount)
{
    if (!buffer || maxCount < 1) return 0;
    const char* s = GetStringRes(id);
    std::size_t n = std::strlen(s);
    if (n > static_cast<std::size_t>(maxCount - 1)) {
        n = static_cast<std::size_t>(maxCount - 1);
        // Never end inside a character: a translation's letters take more than one byte.
        while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(buffer, s, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

const IconRes* FindIcon(UINT id)
{
    if (!g_module) return nullptr;
    for (int i = 0; i < g_module->iconCount; ++i)
        if (g_module->icons[i].id == id) return &g_module->icons[i];
    return nullptr;
}

const char* ControlLabel(const DlgTemplate& tmpl, int index)
{
    if (index < 0 || index >= tmpl.itemCount) return nullptr;
    const DlgItemClass cls = tmpl.items[index].cls;
    if (cls == DlgItemClass::Button || cls == DlgItemClass::Static) return nullptr;
    if (index == 0) return cls == DlgItemClass::Progress ? tmpl.caption : nullptr;
    const DlgItemTemplate& before = tmpl.items[index - 1];
    if (before.cls == DlgItemClass::Static && (before.style & 0x1F) != SS_ICON) return before.text;
    // A progress bar without a label of its own is the dialog's: "Retrieving File".
    return cls == DlgItemClass::Progress ? tmpl.caption : nullptr;
}
