// The program's string table: every user-visible text, by number.
#pragma once

struct QbxStringResource {
    unsigned id;
    const char* text;
};

extern const QbxStringResource g_qbxStringTable[];
extern const int g_qbxStringCount;

// The text with the given number, or nullptr when the table has none.
const char* QbxFindString(unsigned id);
