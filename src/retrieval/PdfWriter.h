// A PDF document made of a TIFF's pages, each page's stored strips or tiles carried
// over as they are wherever PDF can hold them.
//
// Contract (a pure module: no file, no window):
// - TiffToPdf(tiff, size, pdf, why) reads the TIFF's structure (ReadTiffStructure) and
//   writes into pdf a complete PDF 1.4 file with one page per TIFF page, in order.
//   Every strip or tile becomes an image placed where its pixels lie on the page:
//     CCITT fax (RLE, T.4, T.6)  CCITTFaxDecode (K, Columns, Rows, BlackIs1 from the
//                                 pixel kind; bits of fill order 2 reversed)
//     JPEG                        DCTDecode (the shared tables joined to each piece)
//     LZW / Deflate               LZWDecode / FlateDecode, predictor 2 carried over
//     none / PackBits             unpacked, then FlateDecode (zlib)
//   Grey, bilevel, RGB, YCbCr (JPEG), palette and CMYK pages keep their colours.
// - The page's size comes from its resolution; a page without one is taken as
//   kDefaultDpi (200 dots per inch: what scanners use for documents, so a page of
//   unknown resolution comes out near its paper size rather than one point per pixel);
//   a resolution without a unit still gives the pixels' proportions, so such a page is
//   kDefaultDpi across and as tall as its proportions make it.
// - Nothing is lost: a TIFF that cannot be carried over whole (a layout or
//   compression this program does not read, a piece whose data are too short, old-style
//   LZW) gives FALSE, pdf empty and why one sentence naming what is wrong. The
//   caller keeps the TIFF then.
// - Memory: at most the file's pages carried over plus kMaxUnpackedBytes of unpacked
//   data; a TIFF that would need more is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr double kDefaultDpi = 200.0;
constexpr std::uint64_t kMaxUnpackedBytes = 1024ull * 1024 * 1024;

bool TiffToPdf(const std::uint8_t* tiff, std::size_t size, std::string& pdf, std::string& why);
