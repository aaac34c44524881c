// The tool's own texts in the language in use (the one SetResourceLanguage picked).
//
// Every text the tool prints for a user goes through Tr or TrF, written with both
// arguments as literals: the context says where the text shows ("quillbox-cli --help",
// "quillbox-cli", "quillbox-cli, file", ...), the English text is the message id.
// tools/po/make-pot.sh collects these calls into po/quillbox.pot beside the dialogs'
// and the string table's texts, so a call with a computed text would never be
// translated. A sentence with a name in it is one text with a placeholder
// ("%s is not a folder"), never fragments glued together, so each language can place
// the name where its grammar wants it.
#pragma once

#include <cstddef>
#include <string>

// english in context, translated; english itself in English or when no translation exists.
const char* Tr(const char* context, const char* english);

// Tr, then filled in as printf does. The English text's conversions (only %s, %d and
// %%) are those of every translation: the catalogue tools refuse any other.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
std::string
TrF(const char* context, const char* english, ...);

// The columns text takes on a terminal: one per character (UTF-8), not per byte; two
// for an East Asian wide letter, none for a combining mark.
std::size_t TextColumns(const std::string& text);
// text followed by spaces up to width columns.
std::string PadRight(const std::string& text, std::size_t width);
// spaces and then text, up to width columns.
std::string PadLeft(const std::string& text, std::size_t width);
