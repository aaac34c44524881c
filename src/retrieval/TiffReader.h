// The structure of a TIFF file held in memory: its pages (the IFD chain), the tags
// that say how each page's pixels are stored, and where each strip or tile lies.
// Nothing is decoded: the PDF writer carries the stored pieces over as they are.
//
// Contract (a pure module: no file, no window, no allocation beyond the file's size):
// - ReadTiffStructure(data, size, ...) reads classic TIFF ("II*\0" or "MM\0*"). It
//   never reads outside [data, data + size) and keeps no pointer into it. Every
//   offset and count taken from the file is checked against size before use, so a
//   hostile file costs at most memory in proportion to its own length.
// - It succeeds (TRUE) only when every page is complete and consistent: width and
//   height above 0, one piece (strip or tile) for every row band or tile the sizes
//   call for, each piece wholly inside the file, and the tags the PDF writer needs
//   present or defaulted as TIFF defines. A page whose layout is not one this
//   program carries over (planes stored separately, 16-bit samples, alpha, old-style
//   JPEG, ...) is refused too: the caller keeps the TIFF as it is.
// - On failure it returns FALSE, pages is empty and why holds one sentence in the
//   program's words saying what is wrong ("page 2: strip 5 lies outside the file").
// - An IFD chain that loops or holds more than kMaxTiffPages pages is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t kMaxTiffPages = 4096;

// TIFF compression codes the reader knows.
enum : std::uint16_t {
    kTiffNone = 1,
    kTiffCcittRle = 2,
    kTiffCcittT4 = 3,
    kTiffCcittT6 = 4,
    kTiffLzw = 5,
    kTiffJpeg = 7,
    kTiffDeflate = 8,
    kTiffPackBits = 32773,
    kTiffDeflateOld = 32946,
};

// TIFF photometric interpretations the reader accepts.
enum : std::uint16_t {
    kTiffWhiteIsZero = 0,
    kTiffBlackIsZero = 1,
    kTiffRgb = 2,
    kTiffPalette = 3,
    kTiffCmyk = 5,
    kTiffYCbCr = 6,
};

// One stored strip or tile: where its bytes are and which pixels it covers. A tile
// at the right or bottom edge covers pixels beyond the page (TIFF pads tiles);
// a strip covers only the page's rows.
struct TiffPiece {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::uint32_t x = 0, y = 0;
    std::uint32_t width = 0, height = 0;
};

struct TiffPage {
    std::uint32_t width = 0, height = 0;
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t compression = kTiffNone;
    std::uint16_t photometric = kTiffWhiteIsZero;
    std::uint16_t predictor = 1;
    std::uint16_t fillOrder = 1;  // 2: the lowest bit of each byte comes first
    std::uint32_t t4Options = 0;
    // Pixels per inch; resolutionGiven is false when the file says nothing usable. A
    // resolution without a unit leaves resolutionGiven false but keeps its two values,
    // whose ratio is the pixels' proportions.
    double xDpi = 0, yDpi = 0;
    bool resolutionGiven = false;
    bool tiled = false;
    // Palette pages: 3 * 2^bitsPerSample entries, all reds, then greens, then blues.
    std::vector<std::uint16_t> colorMap;
    // JPEG pages: the tables shared by every piece (SOI ... EOI), may be empty.
    std::vector<std::uint8_t> jpegTables;
    std::vector<TiffPiece> pieces;
};

bool ReadTiffStructure(const std::uint8_t* data, std::size_t size, std::vector<TiffPage>& pages, std::string& why);
