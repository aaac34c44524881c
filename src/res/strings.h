// The program's string table: every user-visible text, by number.
#pragma once

#include <cstddef>

struct QbxStringResource {
    unsigned id;
    const char* text;
};

extern const QbxStringResource g_qbxStringTable[];
extern const int g_qbxStringCount;

// The text with the given number, or nullptr when the table has none.
const char* QbxFindString(unsigned id);

// The text of a socket error for its message box: the table's text numbered like the
// code, or, for a number the table does not know, a text that names the number (a box
// is never empty). Always NUL-terminated within size; cut to fit when longer.
void QbxSocketErrorText(int code, char* out, std::size_t size);
