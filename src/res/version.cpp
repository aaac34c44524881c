// The executable's version information.
#include "platform/resources.h"

namespace {
const WORD kTranslations[] = {0x0409, 0x04B0};
const VersionStringRes kStrings[] = {
    {"CompanyName", ""},
    {"FileDescription", "Quillbox scan retrieval client"},
    {"FileVersion", "1.13"},
    {"InternalName", "Quillbox"},
    {"OriginalFilename", "quillbox"},
    {"ProductName", "Quillbox"},
    {"ProductVersion", "1.13"},
};
const VersionBlockRes kBlocks[] = {{"040904b0", kStrings, 7}};
}  // namespace

extern const VersionRes g_qbxVersion = {{1, 0, 13, 0}, {1, 0, 13, 0}, kTranslations, 1, kBlocks, 1};
