// The TIFF structure reader against hand-made files: what it accepts and the clear
// refusal of every broken or hostile layout (never a read outside the file).
#include "retrieval/PdfWriter.h"
#include "retrieval/TiffReader.h"
#include "tiff_builder.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct ReaderRow;
void PrintTo(const ReaderRow& row, std::ostream* os);

struct ReaderRow {
    const char* name;
    std::function<std::string()> make;
    const char* refusal;  // part of the reason; nullptr when the file is to be read
};

std::string OnePage(const std::function<void(TiffDir&)>& change, std::uint32_t w = 64, std::uint32_t h = 16)
{
    TiffDir d = TiffBuilder::Bilevel(w, h);
    change(d);
    return TiffBuilder().Build({d});
}

class TiffReaderRows : public testing::TestWithParam<ReaderRow> {};

TEST_P(TiffReaderRows, ReadsOrRefusesClearly)
{
    const ReaderRow& row = GetParam();
    const std::string file = row.make();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data());
    std::vector<TiffPage> pages;
    std::string why;
    // The reader refuses what is broken in the structure; the writer what it finds
    // in the pieces' data. Either way the same clear reason comes back.
    if (!ReadTiffStructure(bytes, file.size(), pages, why)) {
        EXPECT_TRUE(pages.empty());
    }
    std::string pdf, writerWhy;
    const bool ok = TiffToPdf(bytes, file.size(), pdf, writerWhy);
    if (!row.refusal) {
        EXPECT_TRUE(ok) << writerWhy;
        EXPECT_EQ(pdf.compare(0, 9, "%PDF-1.4\n"), 0);
        return;
    }
    EXPECT_FALSE(ok);
    EXPECT_TRUE(pdf.empty());
    EXPECT_NE(writerWhy.find(row.refusal), std::string::npos) << "reason: " << writerWhy;
    if (!why.empty()) {
        EXPECT_EQ(why, writerWhy);
    }
}

void PrintTo(const ReaderRow& row, std::ostream* os) { *os << row.name; }

const ReaderRow kRows[] = {
    {"Plain", [] { return OnePage([](TiffDir&) {}); }, nullptr},
    {"Empty", [] { return std::string(); }, "too short"},
    {"NotTiff", [] { return std::string("%PDF-1.4 not a tiff at all"); }, "not a TIFF"},
    {"BigTiff", [] { return std::string("II+\0\x08\0\0\0\0\0\0\0\0\0\0\0", 16); }, "BigTIFF"},
    {"NoPage", [] { return std::string("II*\0\0\0\0\0", 8); }, "no page"},
    {"DirectoryOutside", [] { return std::string("II*\0\xFF\xFF\0\0", 8); }, "outside the file"},
    {"DirectoryCut", [] { return OnePage([](TiffDir&) {}).substr(0, 30); }, "past the end"},
    {"Loop", [] { return TiffBuilder().Build({TiffBuilder::Bilevel(8, 8)}, 8); }, "circle"},
    {"StripOutside", [] { return OnePage([](TiffDir& d) {
                              d.entries[273] = {4, {0x7FFFFFF0}};
                          }); },
     "strip 1 lies outside"},
    {"StripPastEnd",
     [] {
         return OnePage([](TiffDir& d) {
             d.entries[273] = {4, {8}};
             d.entries[279] = {4, {0xFFFFFFF0}};
         });
     },
     "strip 1 lies outside"},
    {"EmptyStrip", [] { return OnePage([](TiffDir& d) {
                            d.entries[279] = {4, {0}};
                        }); }, "empty"},
    {"TooFewStrips", [] { return OnePage([](TiffDir& d) {
                              d.entries[278] = {4, {4}};
                          }); }, "needs 4 strips"},
    {"HugeStripCount",
     [] {
         return OnePage([](TiffDir& d) {
             d.entries[278] = {4, {1}};
             d.entries[273].countOverride = 0x40000000;
             d.entries[273].offsetOverride = 8;
         });
     },
     "outside the file"},
    {"ValuesOutside",
     [] {
         return OnePage([](TiffDir& d) {
             d.entries[258] = {3, {1, 1, 1}};
             d.entries[258].offsetOverride = 0xFFFFFF00;
         });
     },
     "tag 258"},
    {"NoWidth", [] { return OnePage([](TiffDir& d) { d.entries.erase(256); }); }, "no width"},
    {"NoPhotometric", [] { return OnePage([](TiffDir& d) { d.entries.erase(262); }); }, "pixel values"},
    {"NoStrips", [] { return OnePage([](TiffDir& d) { d.entries.erase(279); }); }, "where its strips are"},
    {"ZeroRowsPerStrip", [] { return OnePage([](TiffDir& d) {
                                  d.entries[278] = {4, {0}};
                              }); }, "no rows"},
    {"Alpha", [] { return OnePage([](TiffDir& d) {
                       d.entries[338] = {3, {2}};
                   }); }, "extra samples"},
    {"SixteenBits", [] { return OnePage([](TiffDir& d) {
                             d.entries[258] = {3, {16}};
                         }); }, "of 16 bits"},
    {"OldJpeg", [] { return OnePage([](TiffDir& d) {
                         d.entries[259] = {3, {6}};
                     }); }, "compression (6)"},
    {"FaxOnGrey",
     [] {
         return OnePage([](TiffDir& d) {
             d.entries[258] = {3, {8}};
             d.entries[259] = {3, {4}};
         });
     },
     "does not go with"},
    {"Separate",
     [] {
         return OnePage([](TiffDir& d) {
             d.entries[258] = {3, {8, 8, 8}};
             d.entries[262] = {3, {2}};
             d.entries[277] = {3, {3}};
             d.entries[284] = {3, {2}};
         });
     },
     "stored separately"},
    {"PaletteWithoutMap", [] { return OnePage([](TiffDir& d) {
                                   d.entries[262] = {3, {3}};
                               }); }, "palette"},
    {"PredictorOnBits",
     [] {
         return OnePage([](TiffDir& d) {
             d.entries[259] = {3, {5}};
             d.entries[317] = {3, {2}};
         });
     },
     "predictor"},
    {"ShortUncompressedStrip", [] { return OnePage([](TiffDir& d) {
                                        d.entries[279] = {4, {7}};
                                    }); }, "fewer pixels"},
    {"TilesWithoutSize",
     [] {
         return OnePage([](TiffDir& d) {
             d.entries[324] = d.entries[273];
             d.entries[325] = d.entries[279];
             d.entries.erase(273);
             d.entries.erase(279);
         });
     },
     "no size"},
    // A tile size beside strip offsets, or tile offsets beside strip sizes: libtiff reads
    // the first as tiles, a reader going by the offsets as strips.
    {"TileSizeWithStrips",
     [] {
         return OnePage([](TiffDir& d) {
             d.entries[322] = {3, {64}};
             d.entries[323] = {3, {16}};
         });
     },
     "both in strips and in tiles"},
    {"TileOffsetsWithStripSizes",
     [] {
         return OnePage([](TiffDir& d) {
             d.entries[324] = d.entries[273];
             d.entries.erase(273);
         });
     },
     "both in strips and in tiles"},
};

INSTANTIATE_TEST_SUITE_P(Tiff, TiffReaderRows, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<ReaderRow>& info) { return std::string(info.param.name); });

TEST(TiffReader, ResolutionAndPiecesOfAPage)
{
    // Three strips of 8, 8 and 4 rows; 300 pixels per centimetre is 762 per inch.
    TiffDir d = TiffBuilder::Bilevel(16, 20);
    d.entries[278] = {4, {8}};
    d.entries[273] = {4, {0, 0, 0}};
    d.entries[279] = {4, {16, 16, 8}};
    d.entries[282] = {5, {300, 1}};
    d.entries[283] = {5, {600, 2}};
    d.entries[296] = {3, {3}};
    // The strips' bytes follow the directory, whose size does not depend on their offsets.
    const std::uint32_t at = static_cast<std::uint32_t>(TiffBuilder().Build({d}).size());
    d.entries[273] = {4, {at, at + 16, at + 32}};
    std::string file = TiffBuilder().Build({d});
    file.resize(at + 40, '\0');

    std::vector<TiffPage> pages;
    std::string why;
    ASSERT_TRUE(ReadTiffStructure(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), pages, why)) << why;
    ASSERT_EQ(pages.size(), 1u);
    const TiffPage& p = pages[0];
    EXPECT_TRUE(p.resolutionGiven);
    EXPECT_DOUBLE_EQ(p.xDpi, 762.0);
    EXPECT_DOUBLE_EQ(p.yDpi, 762.0);
    ASSERT_EQ(p.pieces.size(), 3u);
    EXPECT_EQ(p.pieces[2].y, 16u);
    EXPECT_EQ(p.pieces[2].height, 4u) << "the last strip covers only the rows left";

    // Without resolution tags the page counts as having none, and the PDF page is
    // sized at 200 dots per inch: 16 x 20 pixels is 5.76 x 7.2 points.
    d.entries.erase(282);
    d.entries.erase(283);
    file = TiffBuilder().Build({d});
    file.resize(at + 40, '\0');
    std::string pdf;
    ASSERT_TRUE(TiffToPdf(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), pdf, why)) << why;
    EXPECT_NE(pdf.find("/MediaBox [0 0 5.76 7.2]"), std::string::npos);

    // A resolution without a unit says only the pixels' proportions: 200 across and 100
    // down makes pixels twice as tall as wide, so the page is 5.76 x 14.4 points.
    d.entries[282] = {5, {200, 1}};
    d.entries[283] = {5, {100, 1}};
    d.entries[296] = {3, {1}};
    file = TiffBuilder().Build({d});
    file.resize(at + 40, '\0');
    ASSERT_TRUE(ReadTiffStructure(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), pages, why)) << why;
    EXPECT_FALSE(pages[0].resolutionGiven);
    ASSERT_TRUE(TiffToPdf(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), pdf, why)) << why;
    EXPECT_NE(pdf.find("/MediaBox [0 0 5.76 14.4]"), std::string::npos);
}

}  // namespace
