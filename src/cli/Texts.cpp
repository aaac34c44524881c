#include "cli/Texts.h"

#include "platform/resources.h"
#include "platform/utf8.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

const char* Tr(const char* context, const char* english) { return TranslateRes(context, english); }

std::string TrF(const char* context, const char* english, ...)
{
    const char* format = Tr(context, english);
    std::va_list args;
    va_start(args, english);
    std::va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        out.assign(buffer.data(), static_cast<std::size_t>(n));
    }
    va_end(again);
    return out;
}

namespace {

// The columns one character takes on a terminal: none for a mark that combines with
// the character before it, two for the wide letters of East Asian scripts (a printer
// in Japan announces itself in them), one for every other.
std::size_t CharColumns(char32_t cp)
{
    const auto in = [cp](char32_t from, char32_t to) { return cp >= from && cp <= to; };
    if (in(0x0300, 0x036F) || in(0x1AB0, 0x1AFF) || in(0x1DC0, 0x1DFF) || in(0x200B, 0x200F) || in(0x20D0, 0x20FF) ||
        in(0xFE00, 0xFE0F) || in(0xFE20, 0xFE2F))
        return 0;
    if (in(0x1100, 0x115F) || in(0x2E80, 0x303E) || in(0x3041, 0x33FF) || in(0x3400, 0x4DBF) || in(0x4E00, 0x9FFF) ||
        in(0xA000, 0xA4CF) || in(0xAC00, 0xD7A3) || in(0xF900, 0xFAFF) || in(0xFE30, 0xFE4F) || in(0xFF00, 0xFF60) ||
        in(0xFFE0, 0xFFE6) || in(0x1F300, 0x1F64F) || in(0x1F900, 0x1F9FF) || in(0x20000, 0x3FFFD))
        return 2;
    return 1;
}

}  // namespace

std::size_t TextColumns(const std::string& text)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(text, i, cp);
        // A byte that is no UTF-8 is shown as one character.
        n += len ? CharColumns(cp) : 1;
        i += len ? len : 1;
    }
    return n;
}

std::string PadRight(const std::string& text, std::size_t width)
{
    const std::size_t used = TextColumns(text);
    return used >= width ? text : text + std::string(width - used, ' ');
}

std::string PadLeft(const std::string& text, std::size_t width)
{
    const std::size_t used = TextColumns(text);
    return used >= width ? text : std::string(width - used, ' ') + text;
}
