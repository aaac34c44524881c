// Real scans to PDF: TIFFs made by Ghostscript's TIFF devices (as the simulated
// printer makes its sample scans) and by libtiff's tiffcp from them, in every
// compression and layout; each PDF checked with qpdf, pdfimages and Ghostscript, and
// the reader checked against libtiff on the same files.
#include "retrieval/PdfWriter.h"
#include "retrieval/TiffReader.h"

#include "pdf_scans.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using qbxtest::Shell;

std::string Slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const char kPages[] = R"(%!PS
/Helvetica findfont 28 scalefont setfont
72 700 moveto (Quillbox scan, page one) show
80 120 320 220 rectfill
0 0.5 0 setrgbcolor 300 500 90 0 360 arc fill
showpage
0.2 0.4 0.9 setrgbcolor 72 640 moveto (Page two) show
40 40 240 460 rectfill 0.9 0.1 0.1 setrgbcolor 360 300 110 0 360 arc fill
0.95 0.85 0.1 setrgbcolor 1 setlinewidth 60 740 moveto 520 560 lineto stroke
showpage
)";

// What a page of a TIFF decodes to, by libtiff: RGBA, top row first.
struct Raster {
    std::uint32_t w = 0, h = 0;
    std::vector<std::uint32_t> px;
};

std::vector<Raster> DecodeWithLibtiff(const fs::path& file)
{
    std::vector<Raster> pages;
    TIFF* t = TIFFOpen(file.c_str(), "r");
    if (!t) return pages;
    do {
        Raster r;
        TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &r.w);
        TIFFGetField(t, TIFFTAG_IMAGELENGTH, &r.h);
        r.px.resize(std::size_t{r.w} * r.h);
        if (!TIFFReadRGBAImageOriented(t, r.w, r.h, r.px.data(), ORIENTATION_TOPLEFT, 0)) r.px.clear();
        pages.push_back(std::move(r));
    } while (TIFFReadDirectory(t));
    TIFFClose(t);
    return pages;
}

class PdfFiles : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char tmpl[] = "/tmp/qbx-pdf-XXXXXX";
        s_dir = mkdtemp(tmpl);
        std::ofstream(s_dir / "pages.ps") << kPages;
        // The simulated printer's devices and resolutions, and two more kinds of pixels.
        const char* sources[][3] = {{"mono", "tiffg4", "100"},
                                    {"color", "tiff24nc", "60"},
                                    {"gray", "tiffgray", "60"},
                                    {"cmyk", "tiff32nc", "50"},
                                    {"deep", "tiff48nc", "40"}};
        // Ghostscript renders each source once per build: every test runs in a process
        // of its own, and the sources do not change. Made under a temporary name and
        // renamed, so tests running side by side never see half a file.
        const fs::path cache = QBX_PDF_SOURCES_DIR;
        fs::create_directories(cache);
        for (auto& s : sources) {
            const fs::path made = cache / (std::string(s[0]) + "-" + s[1] + "-" + s[2] + ".tif");
            if (!fs::exists(made)) {
                const fs::path part = s_dir / (std::string(s[0]) + ".part");
                const std::string cmd = std::string("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=") + s[1] + " -r" + s[2] +
                                        " -sOutputFile=" + part.string() + " " + (s_dir / "pages.ps").string();
                std::string out;
                ASSERT_EQ(Shell(cmd, &out), 0) << cmd << "\n" << out;
                const fs::path unique = cache / (made.filename().string() + "." + s_dir.filename().string());
                fs::copy_file(part, unique);
                fs::rename(unique, made);
            }
            fs::copy_file(made, s_dir / (std::string(s[0]) + ".tif"));
        }
        MakePalette(s_dir / "palette.tif");
        // tiffcp writes no Modified Huffman (CCITT RLE) data: recoded here.
        Recode(s_dir / "mono.tif", s_dir / "rle.tif", COMPRESSION_CCITTRLE, FILLORDER_MSB2LSB);
        Recode(s_dir / "mono.tif", s_dir / "rlelsb.tif", COMPRESSION_CCITTRLE, FILLORDER_LSB2MSB);
    }
    static void TearDownTestSuite()
    {
        std::error_code ec;
        if (!std::getenv("QBX_KEEP_PDF_TESTS")) fs::remove_all(s_dir, ec);
    }

    // An 8-bit palette page without resolution tags (so its PDF page is at 200 dpi).
    static void MakePalette(const fs::path& file)
    {
        TIFF* t = TIFFOpen(file.c_str(), "w");
        const std::uint32_t w = 120, h = 90;
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 32);
        std::vector<std::uint16_t> r(256), g(256), b(256);
        for (int i = 0; i < 256; ++i) {
            r[i] = static_cast<std::uint16_t>(i * 257);
            g[i] = static_cast<std::uint16_t>((255 - i) * 257);
            b[i] = static_cast<std::uint16_t>((i * 7 % 256) * 257);
        }
        TIFFSetField(t, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
        std::vector<std::uint8_t> row(w);
        for (std::uint32_t y = 0; y < h; ++y) {
            for (std::uint32_t x = 0; x < w; ++x) row[x] = static_cast<std::uint8_t>((x * 2 + y) % 256);
            TIFFWriteScanline(t, row.data(), y, 0);
        }
        TIFFClose(t);
    }

    // Every page of a bilevel TIFF written again with another compression and fill order.
    static void Recode(const fs::path& from, const fs::path& to, int compression, int fillOrder)
    {
        TIFF* in = TIFFOpen(from.c_str(), "r");
        TIFF* out = TIFFOpen(to.c_str(), "w");
        ASSERT_TRUE(in && out);
        do {
            std::uint32_t w = 0, h = 0;
            std::uint16_t photometric = 0, unit = RESUNIT_INCH;
            float xr = 0, yr = 0;
            TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &w);
            TIFFGetField(in, TIFFTAG_IMAGELENGTH, &h);
            TIFFGetField(in, TIFFTAG_PHOTOMETRIC, &photometric);
            TIFFGetField(in, TIFFTAG_XRESOLUTION, &xr);
            TIFFGetField(in, TIFFTAG_YRESOLUTION, &yr);
            TIFFGetFieldDefaulted(in, TIFFTAG_RESOLUTIONUNIT, &unit);
            TIFFSetField(out, TIFFTAG_IMAGEWIDTH, w);
            TIFFSetField(out, TIFFTAG_IMAGELENGTH, h);
            TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
            TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
            TIFFSetField(out, TIFFTAG_PHOTOMETRIC, photometric);
            TIFFSetField(out, TIFFTAG_COMPRESSION, compression);
            TIFFSetField(out, TIFFTAG_FILLORDER, fillOrder);
            TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, 64);
            TIFFSetField(out, TIFFTAG_XRESOLUTION, xr);
            TIFFSetField(out, TIFFTAG_YRESOLUTION, yr);
            TIFFSetField(out, TIFFTAG_RESOLUTIONUNIT, unit);
            std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(in)));
            for (std::uint32_t y = 0; y < h; ++y) {
                ASSERT_EQ(TIFFReadScanline(in, row.data(), y, 0), 1);
                ASSERT_EQ(TIFFWriteScanline(out, row.data(), y, 0), 1);
            }
            TIFFWriteDirectory(out);
        } while (TIFFReadDirectory(in));
        TIFFClose(out);
        TIFFClose(in);
    }

    static fs::path s_dir;
};
fs::path PdfFiles::s_dir;

struct Variant;
void PrintTo(const Variant& v, std::ostream* os);

struct Variant {
    const char* name;
    const char* source;  // a file made in SetUpTestSuite
    const char* tiffcp;  // options, or nullptr for the source as it is
    const char* filter;  // the filter every image of the PDF has
    const char* enc;     // pdfimages' name for it
    int tolerance;       // largest difference of a colour channel after rendering (0: exact)
    double dpi;          // the page's resolution
};

const Variant kVariants[] = {
    {"SampleMono", "mono", nullptr, "/CCITTFaxDecode", "ccitt", 0, 100},
    {"SampleColor", "color", nullptr, "/FlateDecode", "image", 0, 60},
    {"MonoNone", "mono", "-c none", "/FlateDecode", "image", 0, 100},
    {"MonoLzw", "mono", "-c lzw", "/LZWDecode", "image", 0, 100},
    {"MonoZip", "mono", "-c zip", "/FlateDecode", "image", 0, 100},
    {"MonoPackBits", "mono", "-c packbits", "/FlateDecode", "image", 0, 100},
    {"MonoG3", "mono", "-c g3", "/CCITTFaxDecode", "ccitt", 0, 100},
    {"MonoG3TwoD", "mono", "-c g3:2d", "/CCITTFaxDecode", "ccitt", 0, 100},
    {"MonoG3Fill", "mono", "-c g3:2d:fill", "/CCITTFaxDecode", "ccitt", 0, 100},
    {"MonoG4Strips", "mono", "-c g4 -r 64", "/CCITTFaxDecode", "ccitt", 0, 100},
    {"MonoG4Tiles", "mono", "-c g4 -t -w 128 -l 96", "/CCITTFaxDecode", "ccitt", 0, 100},
    {"MonoG4LsbFirst", "mono", "-c g4 -f lsb2msb", "/CCITTFaxDecode", "ccitt", 0, 100},
    {"MonoNoneLsbFirst", "mono", "-c none -f lsb2msb", "/FlateDecode", "image", 0, 100},
    // Modified Huffman: rows begin at a byte, without EOL codes.
    {"MonoRle", "rle", nullptr, "/CCITTFaxDecode", "ccitt", 0, 100},
    {"MonoRleLsbFirst", "rlelsb", nullptr, "/CCITTFaxDecode", "ccitt", 0, 100},
    // Fill order 2 reverses the stored bytes of every compression but JPEG, before
    // they are decoded (libtiff reads them so), whatever the bits per sample.
    {"MonoLzwLsbFirst", "mono", "-c lzw -f lsb2msb", "/LZWDecode", "image", 0, 100},
    {"MonoZipLsbFirst", "mono", "-c zip -f lsb2msb", "/FlateDecode", "image", 0, 100},
    {"MonoPackBitsLsbFirst", "mono", "-c packbits -f lsb2msb", "/FlateDecode", "image", 0, 100},
    {"GrayNoneLsbFirst", "gray", "-c none -f lsb2msb", "/FlateDecode", "image", 0, 60},
    {"ColorLzwPredictorLsbFirst", "color", "-c lzw:2 -f lsb2msb", "/LZWDecode", "image", 0, 60},
    {"ColorJpegLsbFirst", "color", "-c jpeg -r 16 -f lsb2msb", "/DCTDecode", "jpeg", 24, 60},
    {"ColorLzwPredictor", "color", "-c lzw:2", "/LZWDecode", "image", 0, 60},
    {"ColorZipPredictor", "color", "-c zip:2 -r 40", "/FlateDecode", "image", 0, 60},
    {"ColorPackBits", "color", "-c packbits", "/FlateDecode", "image", 0, 60},
    {"ColorJpeg", "color", "-c jpeg -r 16", "/DCTDecode", "jpeg", 24, 60},
    {"ColorJpegRgb", "color", "-c jpeg:r -r 32", "/DCTDecode", "jpeg", 24, 60},
    {"ColorJpegTiles", "color", "-c jpeg -t -w 64 -l 64", "/DCTDecode", "jpeg", 24, 60},
    {"ColorLzwTiles", "color", "-c lzw -t -w 48 -l 32", "/LZWDecode", "image", 0, 60},
    {"GrayJpeg", "gray", "-c jpeg -r 16", "/DCTDecode", "jpeg", 24, 60},
    {"GrayZip", "gray", "-c zip:2", "/FlateDecode", "image", 0, 60},
    {"CmykLzw", "cmyk", "-c lzw", "/LZWDecode", "image", 0, 50},
    {"Palette", "palette", nullptr, "/LZWDecode", "image", 0, 200},
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }

class PdfVariants : public PdfFiles, public testing::WithParamInterface<Variant> {};

TEST_P(PdfVariants, EveryPageCarriedOverWithoutLoss)
{
    const Variant& v = GetParam();
    const fs::path tif = s_dir / (std::string(v.name) + ".tif");
    const fs::path pdf = s_dir / (std::string(v.name) + ".pdf");
    const fs::path source = s_dir / (std::string(v.source) + ".tif");
    std::string out;
    if (v.tiffcp)
        ASSERT_EQ(Shell("tiffcp " + std::string(v.tiffcp) + " " + source.string() + " " + tif.string(), &out), 0)
            << out;
    else
        fs::copy_file(source, tif, fs::copy_options::overwrite_existing);

    // The reader sees what libtiff sees: pages, sizes, and every strip or tile.
    const std::string bytes = Slurp(tif);
    std::vector<TiffPage> pages;
    std::string why;
    ASSERT_TRUE(ReadTiffStructure(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), pages, why))
        << why;
    {
        // "c": the strips as stored, not cut into smaller ones as libtiff does by default.
        TIFF* t = TIFFOpen(tif.c_str(), "rc");
        ASSERT_NE(t, nullptr);
        std::size_t n = 0;
        do {
            ASSERT_LT(n, pages.size());
            const TiffPage& p = pages[n];
            std::uint32_t w = 0, h = 0;
            TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
            TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
            EXPECT_EQ(p.width, w);
            EXPECT_EQ(p.height, h);
            EXPECT_EQ(p.tiled, TIFFIsTiled(t) != 0);
            const std::uint32_t pieces = p.tiled ? TIFFNumberOfTiles(t) : TIFFNumberOfStrips(t);
            ASSERT_EQ(p.pieces.size(), pieces);
            const int offsetsTag = p.tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS;
            const int countsTag = p.tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS;
            std::uint64_t* offsets = nullptr;
            std::uint64_t* counts = nullptr;
            ASSERT_TRUE(TIFFGetField(t, offsetsTag, &offsets) && TIFFGetField(t, countsTag, &counts));
            for (std::uint32_t i = 0; i < pieces; ++i) {
                EXPECT_EQ(p.pieces[i].offset, offsets[i]) << "piece " << i;
                EXPECT_EQ(p.pieces[i].length, counts[i]) << "piece " << i;
            }
            ++n;
        } while (TIFFReadDirectory(t));
        EXPECT_EQ(n, pages.size());
        TIFFClose(t);
    }

    std::string document;
    ASSERT_TRUE(TiffToPdf(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), document, why)) << why;
    std::ofstream(pdf, std::ios::binary) << document;

    // qpdf finds nothing wrong.
    EXPECT_EQ(Shell("qpdf --check " + pdf.string(), &out), 0) << out;

    // pdfimages: one image per piece, on the right page, stored with the filter that
    // the TIFF's data came with, at the page's resolution.
    ASSERT_EQ(Shell("pdfimages -list " + pdf.string(), &out), 0) << out;
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);
    std::vector<std::size_t> perPage(pages.size(), 0);
    while (std::getline(lines, line)) {
        std::istringstream f(line);
        std::size_t page = 0, num = 0, width = 0, height = 0, comp = 0, bpc = 0, object = 0, gen = 0;
        std::string type, color, enc, interp;
        double xppi = 0, yppi = 0;
        f >> page >> num >> type >> width >> height >> color >> comp >> bpc >> enc >> interp >> object >> gen >> xppi >>
            yppi;
        ASSERT_TRUE(page >= 1 && page <= pages.size()) << line;
        const TiffPage& p = pages[page - 1];
        const TiffPiece& piece = p.pieces[perPage[page - 1]++];
        EXPECT_EQ(width, piece.width) << line;
        EXPECT_EQ(height, piece.height) << line;
        EXPECT_EQ(enc, v.enc) << line;
        EXPECT_NEAR(xppi, v.dpi, 1) << line;
        EXPECT_NEAR(yppi, v.dpi, 1) << line;
    }
    for (std::size_t i = 0; i < pages.size(); ++i) EXPECT_EQ(perPage[i], pages[i].pieces.size()) << "page " << i + 1;
    std::size_t images = 0, withFilter = 0;
    for (std::size_t at = 0; (at = document.find("/Subtype /Image", at)) != std::string::npos; ++at) {
        ++images;
        const std::size_t end = document.find("stream\n", at);
        if (document.substr(at, end - at).find(std::string("/Filter ") + v.filter) != std::string::npos) ++withFilter;
    }
    EXPECT_EQ(withFilter, images) << "every image is stored with " << v.filter;

    // Each page rendered by Ghostscript at the TIFF's resolution equals the TIFF's own
    // pixels (as libtiff decodes them); JPEG within the decoders' differences.
    const bool cmyk = std::string(v.source) == "cmyk";
    const fs::path rendered = s_dir / (std::string(v.name) + "-rendered.tif");
    char dpi[32];
    std::snprintf(dpi, sizeof dpi, "%g", v.dpi);
    ASSERT_EQ(Shell(std::string("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=") + (cmyk ? "tiff32nc" : "tiff24nc") +
                        " -r" + dpi + " -sOutputFile=" + rendered.string() + " " + pdf.string(),
                    &out),
              0)
        << out;
    const std::vector<Raster> want = DecodeWithLibtiff(tif);
    const std::vector<Raster> got = DecodeWithLibtiff(rendered);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(got[i].w, want[i].w) << "page " << i + 1;
        ASSERT_EQ(got[i].h, want[i].h) << "page " << i + 1;
        ASSERT_FALSE(want[i].px.empty());
        int worst = 0;
        std::size_t worstAt = 0;
        for (std::size_t k = 0; k < want[i].px.size(); ++k) {
            for (int c = 0; c < 24; c += 8) {
                const int d = std::abs(static_cast<int>((want[i].px[k] >> c) & 0xFF) -
                                       static_cast<int>((got[i].px[k] >> c) & 0xFF));
                if (d > worst) {
                    worst = d;
                    worstAt = k;
                }
            }
        }
        EXPECT_LE(worst, v.tolerance) << "page " << i + 1 << " differs most at x " << worstAt % want[i].w << ", y "
                                      << worstAt / want[i].w;
    }
}

INSTANTIATE_TEST_SUITE_P(Scans, PdfVariants, testing::ValuesIn(kVariants),
                         [](const testing::TestParamInfo<Variant>& info) { return std::string(info.param.name); });

// Layouts that PDF cannot take as they are: refused with the reason, so the caller
// keeps the TIFF.
TEST_F(PdfFiles, LayoutsNotCarriedOverAreRefused)
{
    const struct {
        const char* source;
        const char* tiffcp;
        const char* reason;
    } rows[] = {
        {"deep", nullptr, "16 bits"},
        {"color", "-p separate -c lzw", "stored separately"},
    };
    for (const auto& row : rows) {
        const fs::path tif = s_dir / "refused.tif";
        std::string out;
        if (row.tiffcp)
            ASSERT_EQ(Shell("tiffcp " + std::string(row.tiffcp) + " " + (s_dir / row.source).string() + ".tif " +
                                tif.string(),
                            &out),
                      0)
                << out;
        else
            fs::copy_file(s_dir / (std::string(row.source) + ".tif"), tif, fs::copy_options::overwrite_existing);
        const std::string bytes = Slurp(tif);
        std::string pdf, why;
        EXPECT_FALSE(TiffToPdf(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), pdf, why));
        EXPECT_NE(why.find(row.reason), std::string::npos) << why;
        EXPECT_NE(why.find("page 1"), std::string::npos) << why;
    }
}

}  // namespace
