// Reading a TIFF's structure: the IFD chain and the tags of each page, every offset
// and count checked against the file's size before it is used.
#include "retrieval/TiffReader.h"

#include <cmath>
#include <cstdio>
#include <set>

namespace {

enum : std::uint16_t {
    kTagWidth = 256,
    kTagHeight = 257,
    kTagBitsPerSample = 258,
    kTagCompression = 259,
    kTagPhotometric = 262,
    kTagFillOrder = 266,
    kTagStripOffsets = 273,
    kTagSamplesPerPixel = 277,
    kTagRowsPerStrip = 278,
    kTagStripByteCounts = 279,
    kTagXResolution = 282,
    kTagYResolution = 283,
    kTagPlanarConfig = 284,
    kTagT4Options = 292,
    kTagT6Options = 293,
    kTagResolutionUnit = 296,
    kTagPredictor = 317,
    kTagColorMap = 320,
    kTagTileWidth = 322,
    kTagTileLength = 323,
    kTagTileOffsets = 324,
    kTagTileByteCounts = 325,
    kTagInkSet = 332,
    kTagExtraSamples = 338,
    kTagJpegTables = 347,
};

enum : std::uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7 };

std::uint64_t TypeSize(std::uint16_t type)
{
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7: return 1;
    case 3:
    case 8: return 2;
    case 4:
    case 9:
    case 11: return 4;
    case 5:
    case 10:
    case 12: return 8;
    default: return 0;
    }
}

// One directory entry: where its values lie (inline or at an offset, already checked).
struct Entry {
    std::uint16_t type = 0;
    std::uint64_t count = 0;
    std::uint64_t at = 0;  // file position of the first value
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Header(std::uint64_t& firstIfd, std::string& why)
    {
        if (m_size < 8) return Fail(why, "the file is too short to be a TIFF image");
        if (m_data[0] == 'I' && m_data[1] == 'I')
            m_big = false;
        else if (m_data[0] == 'M' && m_data[1] == 'M')
            m_big = true;
        else
            return Fail(why, "the file is not a TIFF image");
        const std::uint16_t magic = U16(2);
        if (magic == 43) return Fail(why, "the file is a BigTIFF image, which this program does not read");
        if (magic != 42) return Fail(why, "the file is not a TIFF image");
        firstIfd = U32(4);
        return true;
    }

    bool Page(std::uint64_t ifd, std::size_t number, TiffPage& page, std::uint64_t& next, std::string& why);

private:
    std::uint16_t U16(std::uint64_t at) const
    {
        const std::uint8_t* p = m_data + at;
        return m_big ? static_cast<std::uint16_t>(p[0] << 8 | p[1]) : static_cast<std::uint16_t>(p[1] << 8 | p[0]);
    }
    std::uint32_t U32(std::uint64_t at) const
    {
        const std::uint8_t* p = m_data + at;
        return m_big ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3])
                     : (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0]);
    }
    // The index-th value of an integer entry (BYTE, SHORT or LONG).
    std::uint32_t Value(const Entry& e, std::uint64_t index) const
    {
        switch (e.type) {
        case kByte: return m_data[e.at + index];
        case kShort: return U16(e.at + 2 * index);
        default: return U32(e.at + 4 * index);
        }
    }
    double Rational(const Entry& e) const
    {
        const std::uint32_t num = U32(e.at), den = U32(e.at + 4);
        return den == 0 ? 0.0 : static_cast<double>(num) / den;
    }

    static bool Fail(std::string& why, const std::string& text)
    {
        why = text;
        return false;
    }

    // Reads the entries of the IFD at ifd into m_entries.
    bool Entries(std::uint64_t ifd, std::string& where, std::uint64_t& next, std::string& why);
    const Entry* Find(std::uint16_t tag) const
    {
        for (const auto& [t, e] : m_entries)
            if (t == tag) return &e;
        return nullptr;
    }
    // An integer tag with one value (or count values all equal, for BitsPerSample).
    bool Integer(std::uint16_t tag, std::uint32_t fallback, std::uint32_t& out, const std::string& where,
                 std::string& why) const;
    bool Pieces(const std::string& where, TiffPage& page, std::string& why) const;

    const std::uint8_t* m_data;
    std::uint64_t m_size;
    bool m_big = false;
    std::vector<std::pair<std::uint16_t, Entry>> m_entries;
};

bool Reader::Entries(std::uint64_t ifd, std::string& where, std::uint64_t& next, std::string& why)
{
    m_entries.clear();
    if (ifd < 8 || ifd + 2 > m_size) return Fail(why, where + "its directory lies outside the file");
    const std::uint64_t n = U16(ifd);
    if (ifd + 2 + 12 * n + 4 > m_size) return Fail(why, where + "its directory runs past the end of the file");
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint64_t pos = ifd + 2 + 12 * i;
        Entry e;
        const std::uint16_t tag = U16(pos);
        e.type = U16(pos + 2);
        e.count = U32(pos + 4);
        const std::uint64_t unit = TypeSize(e.type);
        if (unit == 0) continue;  // a type this reader has no use for
        const std::uint64_t bytes = unit * e.count;
        if (bytes <= 4) {
            e.at = pos + 8;
        } else {
            e.at = U32(pos + 8);
            if (e.at > m_size || bytes > m_size - e.at) {
                char text[96];
                std::snprintf(text, sizeof text, "the values of tag %u lie outside the file", tag);
                return Fail(why, where + text);
            }
        }
        m_entries.emplace_back(tag, e);
    }
    next = U32(ifd + 2 + 12 * n);
    return true;
}

bool Reader::Integer(std::uint16_t tag, std::uint32_t fallback, std::uint32_t& out, const std::string& where,
                     std::string& why) const
{
    const Entry* e = Find(tag);
    if (!e) {
        out = fallback;
        return true;
    }
    char text[96];
    if ((e->type != kByte && e->type != kShort && e->type != kLong) || e->count == 0) {
        std::snprintf(text, sizeof text, "tag %u has no usable value", tag);
        return Fail(why, where + text);
    }
    out = Value(*e, 0);
    for (std::uint64_t i = 1; i < e->count && i < 16; ++i) {
        if (Value(*e, i) != out) {
            std::snprintf(text, sizeof text, "tag %u has values that differ", tag);
            return Fail(why, where + text);
        }
    }
    return true;
}

bool Reader::Pieces(const std::string& where, TiffPage& page, std::string& why) const
{
    const Entry* offsets = Find(page.tiled ? kTagTileOffsets : kTagStripOffsets);
    const Entry* counts = Find(page.tiled ? kTagTileByteCounts : kTagStripByteCounts);
    const char* kind = page.tiled ? "tile" : "strip";
    if (!offsets || !counts)
        return Fail(why, where + "it does not say where its " + (page.tiled ? "tiles" : "strips") + " are");
    for (const Entry* e : {offsets, counts})
        if (e->type != kShort && e->type != kLong)
            return Fail(why, where + "the " + kind + " offsets or sizes are of the wrong kind");

    std::uint64_t across = 1, down = 1, pieceW = page.width, pieceH = page.height;
    if (page.tiled) {
        std::uint32_t tw = 0, tl = 0;
        if (!Integer(kTagTileWidth, 0, tw, where, why) || !Integer(kTagTileLength, 0, tl, where, why)) return false;
        if (tw == 0 || tl == 0) return Fail(why, where + "its tiles have no size");
        pieceW = tw;
        pieceH = tl;
        across = (page.width + pieceW - 1) / pieceW;
    } else {
        std::uint32_t rows = 0;
        if (!Integer(kTagRowsPerStrip, 0xFFFFFFFFu, rows, where, why)) return false;
        if (rows == 0) return Fail(why, where + "its strips have no rows");
        pieceH = rows < page.height ? rows : page.height;
    }
    down = (page.height + pieceH - 1) / pieceH;
    const std::uint64_t wanted = across * down;
    // The offsets were checked to lie in the file, so wanted is bounded by its size.
    if (offsets->count < wanted || counts->count < wanted) {
        char text[128];
        std::snprintf(text, sizeof text, "it needs %llu %ss but lists only %llu",
                      static_cast<unsigned long long>(wanted), kind,
                      static_cast<unsigned long long>(std::min(offsets->count, counts->count)));
        return Fail(why, where + text);
    }
    page.pieces.reserve(static_cast<std::size_t>(wanted));
    for (std::uint64_t i = 0; i < wanted; ++i) {
        TiffPiece piece;
        piece.offset = Value(*offsets, i);
        piece.length = Value(*counts, i);
        char text[128];
        if (piece.length == 0) {
            std::snprintf(text, sizeof text, "%s %llu is empty", kind, static_cast<unsigned long long>(i + 1));
            return Fail(why, where + text);
        }
        if (piece.offset > m_size || piece.length > m_size - piece.offset) {
            std::snprintf(text, sizeof text, "%s %llu lies outside the file", kind,
                          static_cast<unsigned long long>(i + 1));
            return Fail(why, where + text);
        }
        piece.x = static_cast<std::uint32_t>((i % across) * pieceW);
        piece.y = static_cast<std::uint32_t>((i / across) * pieceH);
        piece.width = static_cast<std::uint32_t>(pieceW);
        piece.height =
            static_cast<std::uint32_t>(page.tiled ? pieceH : std::min<std::uint64_t>(pieceH, page.height - piece.y));
        page.pieces.push_back(piece);
    }
    return true;
}

bool Reader::Page(std::uint64_t ifd, std::size_t number, TiffPage& page, std::uint64_t& next, std::string& why)
{
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "page %zu: ", number);
    std::string where = prefix;
    if (!Entries(ifd, where, next, why)) return false;

    std::uint32_t width = 0, height = 0, bps = 0, spp = 0, compression = 0, photometric = 0, fill = 0, planar = 0,
                  predictor = 0, t4 = 0, t6 = 0, unit = 0, ink = 0;
    if (!Integer(kTagWidth, 0, width, where, why) || !Integer(kTagHeight, 0, height, where, why) ||
        !Integer(kTagBitsPerSample, 1, bps, where, why) || !Integer(kTagSamplesPerPixel, 1, spp, where, why) ||
        !Integer(kTagCompression, kTiffNone, compression, where, why) ||
        !Integer(kTagPhotometric, 0xFFFF, photometric, where, why) || !Integer(kTagFillOrder, 1, fill, where, why) ||
        !Integer(kTagPlanarConfig, 1, planar, where, why) || !Integer(kTagPredictor, 1, predictor, where, why) ||
        !Integer(kTagT4Options, 0, t4, where, why) || !Integer(kTagT6Options, 0, t6, where, why) ||
        !Integer(kTagResolutionUnit, 2, unit, where, why) || !Integer(kTagInkSet, 1, ink, where, why))
        return false;
    if (width == 0 || height == 0) return Fail(why, where + "it has no width or no height");

    char text[160];
    if (photometric == 0xFFFF) return Fail(why, where + "it does not say how its pixel values are to be read");
    if (const Entry* extra = Find(kTagExtraSamples); extra && extra->count > 0)
        return Fail(why, where + "it has extra samples per pixel (such as transparency)");
    if (planar == 2 && spp > 1) return Fail(why, where + "its colour planes are stored separately");
    if (fill != 1 && fill != 2) return Fail(why, where + "its bit order is unknown");

    bool layoutOk = false;
    switch (photometric) {
    case kTiffWhiteIsZero:
    case kTiffBlackIsZero:
    case kTiffPalette: layoutOk = spp == 1 && (bps == 1 || bps == 2 || bps == 4 || bps == 8); break;
    case kTiffRgb:
    case kTiffYCbCr: layoutOk = spp == 3 && bps == 8; break;
    case kTiffCmyk: layoutOk = spp == 4 && bps == 8 && ink == 1; break;
    default: break;
    }
    if (!layoutOk) {
        std::snprintf(
            text, sizeof text,
            "its pixels (%u samples of %u bits, colour kind %u) are of a kind this program does not carry over", spp,
            bps, photometric);
        return Fail(why, where + text);
    }

    const bool bilevel = spp == 1 && bps == 1 && (photometric == kTiffWhiteIsZero || photometric == kTiffBlackIsZero);
    switch (compression) {
    case kTiffNone:
    case kTiffPackBits:
    case kTiffLzw:
    case kTiffDeflate:
    case kTiffDeflateOld: layoutOk = photometric != kTiffYCbCr; break;
    case kTiffCcittRle:
    case kTiffCcittT4:
    case kTiffCcittT6: layoutOk = bilevel; break;
    case kTiffJpeg:
        layoutOk = photometric == kTiffBlackIsZero || photometric == kTiffRgb || photometric == kTiffYCbCr;
        break;
    default:
        std::snprintf(text, sizeof text, "its compression (%u) is one this program does not read", compression);
        return Fail(why, where + text);
    }
    if (!layoutOk) {
        std::snprintf(text, sizeof text, "its compression (%u) does not go with its kind of pixels", compression);
        return Fail(why, where + text);
    }
    if (compression == kTiffCcittT4 && (t4 & 2)) return Fail(why, where + "its fax data use uncompressed mode");
    if (compression == kTiffCcittT6 && (t6 & 2)) return Fail(why, where + "its fax data use uncompressed mode");
    if (predictor != 1) {
        const bool deflateOrLzw =
            compression == kTiffLzw || compression == kTiffDeflate || compression == kTiffDeflateOld;
        if (predictor != 2 || !deflateOrLzw || bps != 8)
            return Fail(why, where + "its predictor is one this program does not carry over");
    }

    page.width = width;
    page.height = height;
    page.bitsPerSample = static_cast<std::uint16_t>(bps);
    page.samplesPerPixel = static_cast<std::uint16_t>(spp);
    page.compression =
        static_cast<std::uint16_t>(compression == kTiffDeflateOld ? std::uint32_t{kTiffDeflate} : compression);
    page.photometric = static_cast<std::uint16_t>(photometric);
    page.predictor = static_cast<std::uint16_t>(predictor);
    page.fillOrder = static_cast<std::uint16_t>(fill);
    page.t4Options = t4;

    if (photometric == kTiffPalette) {
        const Entry* map = Find(kTagColorMap);
        const std::uint64_t entries = 3ull << bps;
        if (!map || map->type != kShort || map->count != entries)
            return Fail(why, where + "its palette is missing or of the wrong size");
        page.colorMap.resize(static_cast<std::size_t>(entries));
        for (std::uint64_t i = 0; i < entries; ++i)
            page.colorMap[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(Value(*map, i));
    }
    if (compression == kTiffJpeg) {
        if (const Entry* tables = Find(kTagJpegTables)) {
            if (tables->type != kUndefined && tables->type != kByte)
                return Fail(why, where + "its JPEG tables are of the wrong kind");
            page.jpegTables.assign(m_data + tables->at, m_data + tables->at + tables->count);
        }
    }

    // The resolution, as pixels per inch; a missing or absurd one counts as not given.
    const Entry* xr = Find(kTagXResolution);
    const Entry* yr = Find(kTagYResolution);
    // Without a unit (1) the two values still say the pixels' proportions (a fax in
    // normal mode has pixels twice as tall as wide).
    if (xr && yr && xr->type == kRational && yr->type == kRational && (unit == 1 || unit == 2 || unit == 3)) {
        const double scale = unit == 3 ? 2.54 : 1.0;
        const double x = Rational(*xr) * scale, y = Rational(*yr) * scale;
        if (std::isfinite(x) && std::isfinite(y) && x >= 1.0 && y >= 1.0 && x <= 100000.0 && y <= 100000.0) {
            page.xDpi = x;
            page.yDpi = y;
            page.resolutionGiven = unit != 1;
        }
    }

    // A page is in tiles or in strips, never both: readers differ on which of the two a
    // file that names both means (libtiff goes by the tile size, others by the offsets),
    // so such a page could come out as another picture than the scanner's.
    const bool tiles = Find(kTagTileOffsets) || Find(kTagTileByteCounts) || Find(kTagTileWidth) || Find(kTagTileLength);
    const bool strips = Find(kTagStripOffsets) || Find(kTagStripByteCounts);
    if (tiles && strips) return Fail(why, where + "it is laid out both in strips and in tiles");
    page.tiled = tiles;
    return Pieces(where, page, why);
}

}  // namespace

bool ReadTiffStructure(const std::uint8_t* data, std::size_t size, std::vector<TiffPage>& pages, std::string& why)
{
    pages.clear();
    why.clear();
    if (!data) size = 0;
    Reader reader(data, size);
    std::uint64_t ifd = 0;
    if (!reader.Header(ifd, why)) return false;
    if (ifd == 0) {
        why = "the file holds no page";
        return false;
    }
    std::set<std::uint64_t> seen;
    while (ifd != 0) {
        if (pages.size() >= kMaxTiffPages) {
            why = "the file holds more pages than this program takes";
            pages.clear();
            return false;
        }
        if (!seen.insert(ifd).second) {
            why = "the file's list of pages runs in a circle";
            pages.clear();
            return false;
        }
        TiffPage page;
        std::uint64_t next = 0;
        if (!reader.Page(ifd, pages.size() + 1, page, next, why)) {
            pages.clear();
            return false;
        }
        pages.push_back(std::move(page));
        ifd = next;
    }
    return true;
}
