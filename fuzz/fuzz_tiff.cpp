// Feeds arbitrary files to the TIFF structure reader and the PDF writer, with libtiff
// reading the same bytes as the reference.
//
// Invariants: neither reads outside the input or crashes (the sanitizers watch); a
// refusal leaves no page and no PDF behind and gives a reason; a PDF begins and ends
// as one; and for a file both the reader and libtiff take, they agree on every page
// both read: its width and height, whether it is tiled, and the offset and length of
// each strip or tile.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "retrieval/PdfWriter.h"
#include "retrieval/TiffReader.h"

namespace {

struct Memory {
    const std::uint8_t* data;
    std::size_t size;
    toff_t at;
};

tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t n)
{
    auto* m = static_cast<Memory*>(h);
    if (m->at >= m->size) return 0;
    const std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(n), m->size - m->at);
    std::memcpy(buf, m->data + m->at, take);
    m->at += take;
    return static_cast<tmsize_t>(take);
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return 0; }
toff_t SeekProc(thandle_t h, toff_t off, int whence)
{
    auto* m = static_cast<Memory*>(h);
    const toff_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->size : 0;
    m->at = base + off;
    return m->at;
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<Memory*>(h)->size; }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// libtiff repairs some layouts as it reads them (it recomputes strip sizes it finds
// bogus); for such a page the stored layout is not libtiff's to vouch for.
bool g_repaired = false;

void NoteWarning(const char*, const char* fmt, va_list args)
{
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, args);
    const std::string t = text;
    for (const char* word : {"ByteCounts", "Offsets", "Bogus", "bogus", "calculat", "strip", "tile"})
        if (t.find(word) != std::string::npos) g_repaired = true;
}

void CompareWithLibtiff(const std::uint8_t* data, std::size_t size, const std::vector<TiffPage>& pages)
{
    Memory m{data, size, 0};
    g_repaired = false;
    // "c": strips as stored; "m": no mapping.
    TIFF* t =
        TIFFClientOpen("input", "rcm", &m, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc, UnmapProc);
    if (!t) return;
    std::size_t n = 0;
    bool repaired = g_repaired;
    do {
        if (n >= pages.size()) std::abort();  // libtiff found a page the reader did not
        const TiffPage& p = pages[n];
        std::uint32_t w = 0, h = 0;
        TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
        if (w != p.width || h != p.height) std::abort();
        if ((TIFFIsTiled(t) != 0) != p.tiled) std::abort();
        const std::uint32_t pieces = p.tiled ? TIFFNumberOfTiles(t) : TIFFNumberOfStrips(t);
        if (pieces != p.pieces.size()) std::abort();
        std::uint64_t* offsets = nullptr;
        std::uint64_t* counts = nullptr;
        if (!repaired && TIFFGetField(t, p.tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &offsets) &&
            TIFFGetField(t, p.tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts) && offsets && counts) {
            for (std::uint32_t i = 0; i < pieces; ++i)
                if (offsets[i] != p.pieces[i].offset || counts[i] != p.pieces[i].length) std::abort();
        }
        ++n;
        g_repaired = false;
        const bool more = TIFFReadDirectory(t);
        repaired = g_repaired;
        if (!more) break;
    } while (true);
    TIFFClose(t);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(NoteWarning);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<TiffPage> pages;
    std::string why;
    const bool read = ReadTiffStructure(data, size, pages, why);
    if (!read && (!pages.empty() || why.empty())) std::abort();
    if (read) CompareWithLibtiff(data, size, pages);

    std::string pdf, why2;
    if (TiffToPdf(data, size, pdf, why2)) {
        if (!read || pdf.compare(0, 5, "%PDF-") != 0 || pdf.size() < 6 ||
            pdf.compare(pdf.size() - 6, 6, "%%EOF\n") != 0)
            std::abort();
    } else if (!pdf.empty() || why2.empty()) {
        std::abort();
    }
    return 0;
}
