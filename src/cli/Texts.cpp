#include "cli/Texts.h"

#include "platform/resources.h"

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

std::size_t TextColumns(const std::string& text)
{
    std::size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
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
