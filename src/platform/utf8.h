// Reading UTF-8 one character at a time, for the code that must tell text from bytes
// that are not text (names from the printer). Standard types only.
#pragma once

#include <cstddef>
#include <string>

// The length of the UTF-8 sequence at s[i] (i < s.size()) with its code point in cp;
// 0 when it is none: a stray byte, an overlong form, a surrogate, past U+10FFFF, cut
// short.
inline std::size_t DecodeUtf8(const std::string& s, std::size_t i, char32_t& cp)
{
    const unsigned char b0 = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - i < len) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const unsigned char b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}
