// The part of the local copy that is the same on every system: the temporary names.
#include "platform/localcopy.h"

#include <cstring>

namespace {

constexpr std::size_t kRandomDigits = 8;
constexpr char kPartEnding[] = ".part";
// Between the name and the digits: a user's own ".notes.cafebabe.part" is never ours.
constexpr char kProgramMark[] = ".quillbox-";

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

bool LocalCopy::IsOurLeftover(const char* fileName)
{
    if (fileName == nullptr || fileName[0] != '.') return false;
    const std::size_t len = std::strlen(fileName);
    const std::size_t endingLen = sizeof kPartEnding - 1;
    const std::size_t markLen = sizeof kProgramMark - 1;
    // "." + at least one character of the name + ".quillbox-" + digits + ".part"
    if (len < 1 + 1 + markLen + kRandomDigits + endingLen) return false;
    if (std::strcmp(fileName + len - endingLen, kPartEnding) != 0) return false;
    const char* digits = fileName + len - endingLen - kRandomDigits;
    for (std::size_t i = 0; i < kRandomDigits; ++i)
        if (!IsLowerHex(digits[i])) return false;
    return std::strncmp(digits - markLen, kProgramMark, markLen) == 0;
}
