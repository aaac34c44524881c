// Writing a TIFF's pages as a PDF: one image per stored strip or tile, placed at its
// offset on the page, its data carried over as they are wherever PDF has the filter.
#include "retrieval/PdfWriter.h"

#include "retrieval/TiffReader.h"

#include <zlib.h>

#include <cstdio>
#include <vector>

namespace {

std::string Number(double v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", v);
    std::string s = text;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

std::uint8_t Reversed(std::uint8_t b)
{
    b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// PackBits into exactly want bytes; FALSE when the data end first.
bool UnpackBits(const std::uint8_t* in, std::size_t len, std::vector<std::uint8_t>& out, std::size_t want)
{
    out.clear();
    out.reserve(want);
    std::size_t i = 0;
    while (out.size() < want && i < len) {
        const int n = static_cast<std::int8_t>(in[i++]);
        if (n >= 0) {
            const std::size_t count = static_cast<std::size_t>(n) + 1;
            if (count > len - i || count > want - out.size()) return false;
            out.insert(out.end(), in + i, in + i + count);
            i += count;
        } else if (n != -128) {
            const std::size_t count = static_cast<std::size_t>(1 - n);
            if (i >= len || count > want - out.size()) return false;
            out.insert(out.end(), count, in[i++]);
        }
    }
    return out.size() == want;
}

bool Deflate(const std::vector<std::uint8_t>& in, std::string& out)
{
    uLongf bound = compressBound(static_cast<uLong>(in.size()));
    out.resize(bound);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &bound, in.data(), static_cast<uLong>(in.size()), 6) != Z_OK)
        return false;
    out.resize(bound);
    return true;
}

class Document {
public:
    // Reserves an object number.
    int NewObject()
    {
        m_offsets.push_back(0);
        return static_cast<int>(m_offsets.size());
    }
    void Begin(int object)
    {
        m_offsets[static_cast<std::size_t>(object - 1)] = m_out.size();
        m_out += std::to_string(object) + " 0 obj\n";
    }
    void Object(int object, const std::string& body)
    {
        Begin(object);
        m_out += body + "\nendobj\n";
    }
    void Stream(int object, const std::string& dict, const char* data, std::size_t len)
    {
        Begin(object);
        m_out += "<< " + dict + " /Length " + std::to_string(len) + " >>\nstream\n";
        m_out.append(data, len);
        m_out += "\nendstream\nendobj\n";
    }
    std::string& Out() { return m_out; }
    void Finish(int catalog, int info)
    {
        const std::size_t xref = m_out.size();
        m_out += "xref\n0 " + std::to_string(m_offsets.size() + 1) + "\n0000000000 65535 f \n";
        for (std::size_t at : m_offsets) {
            char line[24];
            std::snprintf(line, sizeof line, "%010zu 00000 n \n", at);
            m_out += line;
        }
        m_out += "trailer\n<< /Size " + std::to_string(m_offsets.size() + 1) + " /Root " + std::to_string(catalog) +
                 " 0 R /Info " + std::to_string(info) + " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    }

private:
    std::string m_out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<std::size_t> m_offsets;
};

class Converter {
public:
    explicit Converter(const std::uint8_t* tiff) : m_tiff(tiff) {}

    bool Run(const std::vector<TiffPage>& pages, std::string& pdf, std::string& why);

private:
    bool Page(const TiffPage& page, std::size_t number, int pagesObject, int& pageObject, std::string& why);
    // The image of one piece; its dictionary and data.
    bool Piece(const TiffPage& page, const TiffPiece& piece, const std::string& colorSpace, std::string& dict,
               std::string& data, std::string& why);

    const std::uint8_t* m_tiff;
    std::uint64_t m_unpacked = 0;
    Document m_doc;
};

bool Converter::Piece(const TiffPage& page, const TiffPiece& piece, const std::string& colorSpace, std::string& dict,
                      std::string& data, std::string& why)
{
    const std::uint8_t* bytes = m_tiff + piece.offset;
    const std::size_t len = static_cast<std::size_t>(piece.length);
    // Fill order 2 reverses the bits of every stored byte, compressed or not (as
    // libtiff reads it); JPEG data are the exception, they are always read as stored.
    // The fax data are reversed below, once they are copied.
    std::vector<std::uint8_t> reversed;
    if (page.fillOrder == 2 && page.compression != kTiffJpeg && page.compression != kTiffCcittRle &&
        page.compression != kTiffCcittT4 && page.compression != kTiffCcittT6) {
        reversed.resize(len);
        for (std::size_t i = 0; i < len; ++i) reversed[i] = Reversed(bytes[i]);
        bytes = reversed.data();
    }
    const unsigned bpc = page.bitsPerSample;
    const bool ccitt =
        page.compression == kTiffCcittRle || page.compression == kTiffCcittT4 || page.compression == kTiffCcittT6;
    dict = "/Type /XObject /Subtype /Image /Width " + std::to_string(piece.width) + " /Height " +
           std::to_string(piece.height) + " /ColorSpace " + colorSpace + " /BitsPerComponent " + std::to_string(bpc);
    // WhiteIsZero: 0 is white; CCITT data say it through BlackIs1 instead.
    if (page.photometric == kTiffWhiteIsZero && !ccitt) dict += " /Decode [1 0]";

    const std::string predictor = page.predictor == 2
                                      ? " /DecodeParms << /Predictor 2 /Colors " +
                                            std::to_string(page.samplesPerPixel) + " /BitsPerComponent " +
                                            std::to_string(bpc) + " /Columns " + std::to_string(piece.width) + " >>"
                                      : std::string();
    switch (page.compression) {
    case kTiffCcittRle:
    case kTiffCcittT4:
    case kTiffCcittT6: {
        int k = -1;
        std::string lines;
        if (page.compression == kTiffCcittRle) {
            // Modified Huffman: no EOL codes, every row begins at a byte.
            k = 0;
            lines = " /EncodedByteAlign true";
        } else if (page.compression == kTiffCcittT4) {
            k = (page.t4Options & 1) ? 1 : 0;
            // Fill bits put every EOL at the end of a byte.
            if (page.t4Options & 4) lines = " /EndOfLine true /EncodedByteAlign true";
        }
        dict += " /Filter /CCITTFaxDecode /DecodeParms << /K " + std::to_string(k) + " /Columns " +
                std::to_string(piece.width) + " /Rows " + std::to_string(piece.height) + lines +
                (page.photometric == kTiffBlackIsZero ? " /BlackIs1 true" : "") + " >>";
        data.assign(reinterpret_cast<const char*>(bytes), len);
        if (page.fillOrder == 2)
            for (char& c : data) c = static_cast<char>(Reversed(static_cast<std::uint8_t>(c)));
        return true;
    }
    case kTiffJpeg: {
        if (len < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
            why = "a JPEG piece does not begin as JPEG data do";
            return false;
        }
        dict += " /Filter /DCTDecode";
        if (page.photometric == kTiffRgb) dict += " /DecodeParms << /ColorTransform 0 >>";
        // RGB pieces (not YCbCr) carry an Adobe marker that says so: some readers
        // transform three components whatever ColorTransform says without one.
        static const char kAdobeRgb[] = "\xFF\xD8\xFF\xEE\x00\x0E"
                                        "Adobe\x00\x64\x00\x00\x00\x00\x00";
        data.assign(kAdobeRgb, page.photometric == kTiffRgb ? sizeof kAdobeRgb - 1 : 2);
        const auto& t = page.jpegTables;
        if (t.size() >= 4) {
            // The tables stream (SOI tables EOI) and the piece (SOI data EOI) make one
            // JPEG stream: SOI, the tables, the piece's data and its EOI.
            if (t[0] != 0xFF || t[1] != 0xD8 || t[t.size() - 2] != 0xFF || t[t.size() - 1] != 0xD9) {
                why = "the shared JPEG tables are not JPEG data";
                return false;
            }
            data.append(reinterpret_cast<const char*>(t.data()) + 2, t.size() - 4);
        }
        data.append(reinterpret_cast<const char*>(bytes) + 2, len - 2);
        return true;
    }
    case kTiffLzw:
        // Old-style LZW (before TIFF 5.0) writes its codes the other way round.
        if (len >= 2 && bytes[0] == 0 && (bytes[1] & 1)) {
            why = "its LZW data are of the old kind";
            return false;
        }
        dict += " /Filter /LZWDecode" + predictor;
        data.assign(reinterpret_cast<const char*>(bytes), len);
        return true;
    case kTiffDeflate:
        dict += " /Filter /FlateDecode" + predictor;
        data.assign(reinterpret_cast<const char*>(bytes), len);
        return true;
    default: break;
    }

    // Uncompressed and PackBits: the rows are unpacked and compressed with zlib.
    const std::uint64_t rowBytes = (std::uint64_t{piece.width} * page.samplesPerPixel * bpc + 7) / 8;
    const std::uint64_t want = rowBytes * piece.height;
    if (want > kMaxUnpackedBytes - m_unpacked) {
        why = "its pages are too large to convert";
        return false;
    }
    m_unpacked += want;
    std::vector<std::uint8_t> rows;
    if (page.compression == kTiffPackBits) {
        if (!UnpackBits(bytes, len, rows, static_cast<std::size_t>(want))) {
            why = "a PackBits piece holds fewer pixels than its size says";
            return false;
        }
    } else {
        if (len < want) {
            why = "an uncompressed piece holds fewer pixels than its size says";
            return false;
        }
        rows.assign(bytes, bytes + want);
    }
    if (!Deflate(rows, data)) {
        why = "compressing a piece failed";
        return false;
    }
    dict += " /Filter /FlateDecode";
    return true;
}

bool Converter::Page(const TiffPage& page, std::size_t number, int pagesObject, int& pageObject, std::string& why)
{
    // Without a resolution the page is taken at kDefaultDpi across, and as the pixels'
    // proportions say (if the file gives them) down.
    const double xDpi = page.resolutionGiven ? page.xDpi : kDefaultDpi;
    const double yDpi = page.resolutionGiven             ? page.yDpi
                        : page.xDpi > 0 && page.yDpi > 0 ? kDefaultDpi * page.yDpi / page.xDpi
                                                         : kDefaultDpi;
    const double sx = 72.0 / xDpi, sy = 72.0 / yDpi;
    const double w = page.width * sx, h = page.height * sy;

    std::string colorSpace;
    switch (page.photometric) {
    case kTiffRgb:
    case kTiffYCbCr: colorSpace = "/DeviceRGB"; break;
    case kTiffCmyk: colorSpace = "/DeviceCMYK"; break;
    case kTiffPalette: {
        const std::size_t n = std::size_t{1} << page.bitsPerSample;
        std::string hex = "<";
        static const char kHex[] = "0123456789ABCDEF";
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t c = 0; c < 3; ++c) {
                const unsigned v = page.colorMap[c * n + i] >> 8;
                hex += kHex[v >> 4];
                hex += kHex[v & 15];
            }
        }
        hex += ">";
        const int palette = m_doc.NewObject();
        m_doc.Object(palette, "[/Indexed /DeviceRGB " + std::to_string(n - 1) + " " + hex + "]");
        colorSpace = std::to_string(palette) + " 0 R";
        break;
    }
    default: colorSpace = "/DeviceGray"; break;
    }

    std::string content = "0 0 " + Number(w) + " " + Number(h) + " re W n\n";
    std::string resources;
    std::size_t index = 0;
    for (const TiffPiece& piece : page.pieces) {
        std::string dict, data;
        if (!Piece(page, piece, colorSpace, dict, data, why)) {
            why = "page " + std::to_string(number) + ": " + why;
            return false;
        }
        const int image = m_doc.NewObject();
        m_doc.Stream(image, dict, data.data(), data.size());
        const std::string name = "/Im" + std::to_string(++index);
        resources += name + " " + std::to_string(image) + " 0 R ";
        const double top = h - (static_cast<double>(piece.y) + piece.height) * sy;
        content += "q " + Number(piece.width * sx) + " 0 0 " + Number(piece.height * sy) + " " + Number(piece.x * sx) +
                   " " + Number(top) + " cm " + name + " Do Q\n";
    }
    const int contents = m_doc.NewObject();
    m_doc.Stream(contents, "", content.data(), content.size());
    pageObject = m_doc.NewObject();
    m_doc.Object(pageObject, "<< /Type /Page /Parent " + std::to_string(pagesObject) + " 0 R /MediaBox [0 0 " +
                                 Number(w) + " " + Number(h) + "] /Resources << /XObject << " + resources +
                                 ">> >> /Contents " + std::to_string(contents) + " 0 R >>");
    return true;
}

bool Converter::Run(const std::vector<TiffPage>& pages, std::string& pdf, std::string& why)
{
    const int catalog = m_doc.NewObject();
    const int pagesObject = m_doc.NewObject();
    const int info = m_doc.NewObject();
    m_doc.Object(catalog, "<< /Type /Catalog /Pages " + std::to_string(pagesObject) + " 0 R >>");
    m_doc.Object(info, "<< /Producer (Quillbox) >>");
    std::string kids;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        int page = 0;
        if (!Page(pages[i], i + 1, pagesObject, page, why)) return false;
        kids += std::to_string(page) + " 0 R ";
    }
    m_doc.Object(pagesObject, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
    m_doc.Finish(catalog, info);
    pdf.swap(m_doc.Out());
    return true;
}

}  // namespace

bool TiffToPdf(const std::uint8_t* tiff, std::size_t size, std::string& pdf, std::string& why)
{
    pdf.clear();
    std::vector<TiffPage> pages;
    if (!ReadTiffStructure(tiff, size, pages, why)) return false;
    Converter converter(tiff);
    if (!converter.Run(pages, pdf, why)) {
        pdf.clear();
        return false;
    }
    return true;
}
