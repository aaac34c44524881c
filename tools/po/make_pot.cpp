// Writes the catalogue template (po/quillbox.pot) from the program's own resources:
// every dialog's caption and control texts and every string of the string table, each
// in the context the resource module looks it up by, with a note saying where it shows.
//
//     tools/po/make-pot.sh build     (this program's texts and quillbox-cli's, into po/quillbox.pot)
//     build/src/quillbox-pot --controls     (what a screen reader should find)
//     msgmerge --update --backup=none po/de.po po/quillbox.pot    (and each other language)
#include "platform/resources.h"
#include "res/resource.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>

namespace {

std::string Quoted(const char* text)
{
    std::string out = "\"";
    for (const char* p = text; *p; ++p) {
        switch (*p) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += p[1] ? "\\n\"\n\"" : "\\n"; break;
        default: out += *p;
        }
    }
    return out + "\"";
}

std::set<std::pair<std::string, std::string>> g_written;

void Entry(const std::string& note, const std::string& context, const char* english, bool printfFormat)
{
    if (!english || !*english) return;
    if (!g_written.insert({context, english}).second) return;
    std::printf("#. %s\n", note.c_str());
    if (printfFormat) std::printf("#, c-format\n");
    std::string id = Quoted(english);
    if (id.find('\n') != std::string::npos) id = "\"\"\n" + id;
    std::printf("msgctxt \"%s\"\nmsgid %s\nmsgstr \"\"\n\n", context.c_str(), id.c_str());
}

const char* ClassName(DlgItemClass c)
{
    switch (c) {
    case DlgItemClass::Button: return "button";
    case DlgItemClass::Edit: return "edit";
    case DlgItemClass::Static: return "label";
    case DlgItemClass::ListBox: return "list";
    case DlgItemClass::ComboBox: return "drop-down list";
    case DlgItemClass::Progress: return "progress bar";
    }
    return "control";
}

// --controls: every control of every dialog as a screen reader should find it, one
// line each: dialog id, TAB, role, TAB, name (the control's own text, else its label,
// "&" marks taken out).
int PrintControls(const ResourceModule* module)
{
    auto shown = [](const char* text) {
        std::string out;
        for (const char* p = text ? text : ""; *p; ++p) {
            if (*p == '&' && p[1]) ++p;
            out += *p == '\n' ? ' ' : *p;
        }
        return out;
    };
    for (int d = 0; d < module->dialogCount; ++d) {
        const DlgTemplate& t = module->dialogs[d];
        for (int i = 0; i < t.itemCount; ++i) {
            const DlgItemTemplate& item = t.items[i];
            const bool group = item.cls == DlgItemClass::Button && (item.style & 0x0F) == BS_GROUPBOX;
            const char* role = group                                ? "panel"
                               : item.cls == DlgItemClass::Button   ? "push button"
                               : item.cls == DlgItemClass::Edit     ? "text"
                               : item.cls == DlgItemClass::ListBox  ? "list"
                               : item.cls == DlgItemClass::ComboBox ? "combo box"
                               : item.cls == DlgItemClass::Progress ? "progress bar"
                               : (item.style & 0x1F) == SS_ICON     ? "image"
                                                                    : "label";
            const char* label = ControlLabel(t, i);
            std::printf("%u\t%s\t%s\n", t.id, role, shown(*item.text ? item.text : label).c_str());
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QbxRegisterResources();
    const ResourceModule* module = GetResourceModule();
    if (argc == 2 && std::strcmp(argv[1], "--controls") == 0) return PrintControls(module);
    std::printf("# The texts of Quillbox, for translating.\n"
                "# Contexts: \"dialog N\" a dialog's caption, \"dialog N, control M\" a control's text,\n"
                "# \"dialog N, text\" a text without a control id, \"string N\" the string table.\n"
                "# \"&\" marks the key that goes with Alt: keep one per text, different within a dialog.\n"
                "msgid \"\"\nmsgstr \"\"\n"
                "\"Project-Id-Version: Quillbox\\n\"\n"
                "\"PO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\\n\"\n"
                "\"Last-Translator: \\n\"\n"
                "\"Language-Team: \\n\"\n"
                "\"Language: \\n\"\n"
                "\"MIME-Version: 1.0\\n\"\n"
                "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
                "\"Content-Transfer-Encoding: 8bit\\n\"\n\n");
    for (int d = 0; d < module->dialogCount; ++d) {
        const DlgTemplate& t = module->dialogs[d];
        const std::string dialog = "dialog " + std::to_string(t.id);
        Entry(std::string("The caption of the dialog \"") + t.caption + "\".", dialog, t.caption, false);
        for (int i = 0; i < t.itemCount; ++i) {
            const DlgItemTemplate& item = t.items[i];
            std::string where = item.id == -1 ? dialog + ", text" : dialog + ", control " + std::to_string(item.id);
            std::string note = std::string("A ") + ClassName(item.cls) + " in the dialog \"" + t.caption + "\", " +
                               std::to_string(item.cx) + " dialog units wide.";
            Entry(note, where, item.text, false);
        }
    }
    for (int i = 0; i < module->stringCount; ++i) {
        const StringRes& s = module->strings[i];
        const bool format = std::strchr(s.text, '%') != nullptr;
        std::string note =
            "String " + std::to_string(s.id) + (format ? " (printf conversions stay in their order)." : ".");
        Entry(note, "string " + std::to_string(s.id), s.text, format);
        // The About box's line names the system the build is for: the Windows build
        // looks up its own English text.
        std::string text = s.text;
        if (auto at = text.find(" for Linux "); at != std::string::npos) {
            text.replace(at, 11, " for Windows ");
            Entry(note, "string " + std::to_string(s.id), text.c_str(), format);
        }
    }
    return 0;
}
