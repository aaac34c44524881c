// Resources: dialog templates, the string table, icons, menus, version information and
// the translations of the texts.
//
// Contract: the program's resource data (src/res) registers one ResourceModule at
// start-up with SetResourceModule; the layer never copies it, so the data must live as
// long as the process (static tables). Look-ups of a missing id return null / 0 / an
// empty text, never fail loudly.
//
// Languages: the module may carry catalogues, one per language, each mapping an English
// text in its context to the language's text. SetResourceLanguage picks one; from then
// on GetStringRes, LoadString and FindDialogTemplate give that language's texts, and the
// English text for anything the catalogue lacks. The contexts:
//   "string N"              string N of the string table
//   "dialog N"              the caption of dialog template N
//   "dialog N, control M"   the text of control M of dialog N
//   "dialog N, text"        the text of a control of dialog N that has no id (-1)
// With no language picked (or English) every look-up gives the module's own text;
// registering a module starts in English.
#pragma once

#include "platform/wintypes.h"

#include <cstddef>

// Window and control styles used by the templates.
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_BORDER = 0x00800000u;
constexpr DWORD WS_VSCROLL = 0x00200000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_GROUP = 0x00020000u;
constexpr DWORD WS_TABSTOP = 0x00010000u;
constexpr DWORD WS_DISABLED = 0x08000000u;
constexpr DWORD DS_MODALFRAME = 0x0080u;
constexpr DWORD BS_PUSHBUTTON = 0x0000u;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001u;
constexpr DWORD BS_GROUPBOX = 0x0007u;
constexpr DWORD ES_AUTOHSCROLL = 0x0080u;
constexpr DWORD SS_LEFT = 0x0000u;
constexpr DWORD SS_CENTER = 0x0001u;
constexpr DWORD SS_ICON = 0x0003u;
constexpr DWORD SS_LEFTNOWORDWRAP = 0x000Cu;
constexpr DWORD SS_NOPREFIX = 0x0080u;
constexpr DWORD LBS_NOTIFY = 0x0001u;
constexpr DWORD LBS_MULTIPLESEL = 0x0008u;
constexpr DWORD LBS_USETABSTOPS = 0x0080u;
constexpr DWORD CBS_DROPDOWNLIST = 0x0003u;
constexpr DWORD PBS_BORDER = 0x0001u;  // our marker: progress bar drawn with a border

enum class DlgItemClass { Button, Edit, Static, ListBox, ComboBox, Progress };

struct DlgItemTemplate {
    DlgItemClass cls;
    const char* text;  // caption text ("" for none)
    int id;            // -1 for controls without id
    int x, y, cx, cy;  // dialog units
    DWORD style;
};

struct DlgTemplate {
    UINT id;
    const char* caption;
    int cx, cy;  // dialog units
    const char* fontName;
    int pointSize;
    DWORD style;
    const DlgItemTemplate* items;  // in tab order
    int itemCount;
};

struct StringRes {
    UINT id;
    const char* text;
};

// An icon: the bytes of a Windows .ico file (one or more images).
struct IconRes {
    UINT id;
    const unsigned char* data;
    std::size_t size;
};

// The version resource, in the shape the version functions read.
struct VersionStringRes {
    const char* key;
    const char* value;
};
struct VersionBlockRes {
    const char* name;  // e.g. "040904b0"
    const VersionStringRes* strings;
    int count;
};
struct VersionRes {
    WORD fileVersion[4];
    WORD productVersion[4];
    const WORD* translations;  // pairs: language, code page
    int translationPairs;
    const VersionBlockRes* blocks;
    int blockCount;
};

struct MenuItemRes {
    const char* popup;  // popup caption, e.g. "FILE"
    const char* item;   // item caption, e.g. "EXIT"
    UINT command;
};

// One translated text: the English text in its context, and the language's text.
struct TranslationRes {
    const char* context;
    const char* english;
    const char* text;
};
// A language's catalogue: its code ("de", "fr", "es", "pt_BR"), its entries.
struct CatalogueRes {
    const char* language;
    const TranslationRes* entries;
    int count;
};

struct ResourceModule {
    const DlgTemplate* dialogs;
    int dialogCount;
    const StringRes* strings;
    int stringCount;
    const IconRes* icons;
    int iconCount;
    const VersionRes* version;  // null: the executable has no version resource
    UINT menuId;
    const MenuItemRes* menu;
    int menuCount;
    const CatalogueRes* catalogues = nullptr;  // the languages besides English
    int catalogueCount = 0;
};

void SetResourceModule(const ResourceModule* module);
const ResourceModule* GetResourceModule();

const DlgTemplate* FindDialogTemplate(UINT id);
// Copies string id into buffer (at most maxCount-1 characters); the length, 0 when missing.
int LoadString(UINT id, char* buffer, int maxCount);
// The text of string id, "" when missing.
const char* GetStringRes(UINT id);
const IconRes* FindIcon(UINT id);

// The text that names control index of tmpl for a screen reader, as Windows finds it:
// the text of the static control right before it in the template, when the control
// has no text of its own (an edit, a list, a drop-down list, a progress bar); a
// progress bar without one takes the dialog's caption. Null when there is none. The Qt back end names its controls by the same rule.
const char* ControlLabel(const DlgTemplate& tmpl, int index);

// Picks the language of the texts. language is a code as the user's settings name it:
// "de", "de_DE.UTF-8", "de-DE", "fr_CA@euro"; the catalogue whose code equals the whole
// code (without encoding and modifier, "-" taken as "_") is used, else the one of its
// first part ("de"). Null or empty: the user's own language (GetUserUiLanguage). "en",
// "C", "POSIX" or a language without a catalogue: English. A list of codes separated
// by ":" ("fr_CA:de", as LANGUAGE gives it) takes the first that is English or has a
// catalogue, English when none does. Returns the code of the
// catalogue now used, "en" for English. Dialogs created before keep their texts.
const char* SetResourceLanguage(const char* language);
// The code of the language in use, "en" for English.
const char* GetResourceLanguage();
// The text of english in context in the language in use; english itself when the
// catalogue has no text for it (or the language is English). Never null for a non-null english.
const char* TranslateRes(const char* context, const char* english);
