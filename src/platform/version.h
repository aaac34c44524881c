// Version information of the executable: the three functions of the system's version
// library, reading the version resource the program registered (resources.h).
//
// Contract:
// - The only file with version information is the running executable: a path equal to
//   what GetModuleFileName gives. Any other path, a null path, or a module registered
//   without a version resource (ResourceModule::version null) has none: the size is 0
//   and reading fails.
// - GetFileVersionInfoSize reports the bytes of the version block; the caller allocates
//   that many and GetFileVersionInfo fills them. A buffer smaller than the reported size
//   makes GetFileVersionInfo fail (FALSE) without writing, so a block in the caller's
//   hands is always whole. handle is unused, as on the system (set to 0 when given).
// - The block is self-contained (no pointers into the resources) and holds no alignment
//   assumptions beyond those of the caller's allocation (4 bytes suffice).
// - VerQueryValue takes a path of names separated by '\' (empty names are skipped) and
//   gives a pointer into the block plus a length:
//     "\"                              the fixed part, a VS_FIXEDFILEINFO; len = its bytes
//     "\VarFileInfo\Translation"      the (language, code page) WORD pairs; len = bytes
//     "\StringFileInfo\<block>\<key>" a NUL-terminated text; len = characters with the NUL
//   Names are compared without regard to case ("040904B0" finds "040904b0"). Anything
//   else, or a block that is not one GetFileVersionInfo made, gives FALSE with *buffer
//   null and *len 0.
//
// Block layout (all numbers DWORD/WORD in the machine's byte order, every record starts
// on a multiple of 4 bytes from the block's start):
//   header        DWORD magic 'QVIB', DWORD totalBytes,
//                 DWORD fixedOffset, DWORD translationOffset, DWORD translationPairs,
//                 DWORD firstBlockOffset, DWORD blockCount
//   fixed part    VS_FIXEDFILEINFO (13 DWORDs) at fixedOffset
//   translations  translationPairs × (WORD language, WORD code page) at translationOffset
//   string block  DWORD recordBytes, DWORD stringCount, name NUL (padded to 4),
//                 then stringCount string records; the next block follows at +recordBytes
//   string        DWORD recordBytes, key NUL, value NUL (padded to 4)
#pragma once

#include "platform/wintypes.h"

// The system this build of the program is made for, as its version line names it.
#ifdef _WIN32
#define QBX_BUILT_FOR "Windows"
#else
#define QBX_BUILT_FOR "Linux"
#endif

// The fixed part of the version information, with the system's field order.
struct VS_FIXEDFILEINFO {
    DWORD dwSignature;      // VS_FFI_SIGNATURE
    DWORD dwStrucVersion;   // 0x00010000
    DWORD dwFileVersionMS;  // major << 16 | minor
    DWORD dwFileVersionLS;  // build << 16 | revision
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;    // VOS__WINDOWS32
    DWORD dwFileType;  // VFT_APP
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BDu;
constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000u;
constexpr DWORD VS_FFI_FILEFLAGSMASK = 0x0000003Fu;
constexpr DWORD VOS__WINDOWS32 = 0x00000004u;
constexpr DWORD VFT_APP = 0x00000001u;

// Bytes of the executable's version block; 0 when path names no file with version
// information (see above).
DWORD GetFileVersionInfoSize(const char* path, DWORD* handle);
// Writes the version block of path into data (len bytes available). FALSE when there is
// none, data is null or len is below the size GetFileVersionInfoSize reports.
BOOL GetFileVersionInfo(const char* path, DWORD handle, DWORD len, void* data);
// Finds subBlock in a block GetFileVersionInfo wrote; see above.
BOOL VerQueryValue(const void* block, const char* subBlock, void** buffer, UINT* len);
