#include "retrieval/PdfNames.h"

#include <cctype>

namespace {

// Where the extension begins: the last "." after the last folder separator; npos for none.
std::size_t ExtensionAt(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string::npos;
    return dot;
}

}  // namespace

bool IsPdfName(const std::string& path)
{
    const std::size_t at = ExtensionAt(path);
    if (at == std::string::npos || path.size() - at != 4) return false;
    std::string ext = path.substr(at + 1);
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return ext == "pdf";
}

std::string WithExtension(const std::string& path, const char* newExt)
{
    const std::size_t at = ExtensionAt(path);
    return (at == std::string::npos ? path : path.substr(0, at)) + newExt;
}
