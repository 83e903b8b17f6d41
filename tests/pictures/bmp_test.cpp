// Reading BMP files: every variant against a known picture, RLE decoding, damaged and
// hostile files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp.h"
#include "tests/pictures/bmp_builder.h"
#include "tests/pictures/bmp_stream_check.h"

namespace picbatch {

namespace {

using Bytes = std::vector<std::uint8_t>;
// Colours by row, top row first; the reserved byte is not part of the colour.
using Picture = std::vector<std::vector<ColorEntry>>;

constexpr ColorEntry kBlack{0, 0, 0, 0};
constexpr ColorEntry kWhite{255, 255, 255, 0};
constexpr ColorEntry kRed{0, 0, 255, 0};
constexpr ColorEntry kGreen{0, 255, 0, 0};
constexpr ColorEntry kBlue{255, 0, 0, 0};
constexpr ColorEntry kYellow{0, 255, 255, 0};

// Width 3, so rows of every bit count end in padding; only full and empty channels, so
// every pixel form holds the colours exactly.
const Picture kSixColours = {{kRed, kGreen, kBlue}, {kWhite, kBlack, kYellow}};
const Picture kTwoColours = {{kWhite, kBlack, kWhite}, {kBlack, kBlack, kWhite}};
const std::vector<ColorEntry> kPalette = {kBlack, kWhite, kRed, kGreen, kBlue, kYellow};

std::uint8_t PaletteIndex(ColorEntry colour)
{
    return static_cast<std::uint8_t>(std::find(kPalette.begin(), kPalette.end(), colour) - kPalette.begin());
}

std::vector<ColorEntry> PaddedPalette(std::size_t size)
{
    std::vector<ColorEntry> table = kPalette;
    for (std::size_t i = table.size(); i < size; ++i)
        table.push_back({static_cast<std::uint8_t>(i), 77, 99, 0});
    table.resize(size);
    return table;
}

// Rows of packed palette indices, leftmost pixel in the most significant bits.
std::vector<Bytes> IndexRows(const Picture& picture, int bits)
{
    std::vector<Bytes> rows;
    for (const auto& colours : picture) {
        Bytes row((colours.size() * static_cast<std::size_t>(bits) + 7) / 8, 0);
        for (std::size_t x = 0; x < colours.size(); ++x) {
            const std::size_t bit = x * static_cast<std::size_t>(bits);
            row[bit / 8] |= static_cast<std::uint8_t>(PaletteIndex(colours[x]) << (8 - bits - bit % 8));
        }
        rows.push_back(row);
    }
    return rows;
}

Bytes LittleEndian(std::uint32_t word, int bytes)
{
    Bytes out;
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
    return out;
}

std::vector<Bytes> DirectRows(const Picture& picture, const std::function<Bytes(ColorEntry)>& encode)
{
    std::vector<Bytes> rows;
    for (const auto& colours : picture) {
        Bytes row;
        for (ColorEntry c : colours) {
            const Bytes pixel = encode(c);
            row.insert(row.end(), pixel.begin(), pixel.end());
        }
        rows.push_back(row);
    }
    return rows;
}

Bytes Bgr(ColorEntry c) { return {c.blue, c.green, c.red}; }
// The fourth byte is not part of the colour; a value in it must not show.
Bytes Bgrx(ColorEntry c) { return {c.blue, c.green, c.red, 0x77}; }
Bytes Word555(ColorEntry c)
{
    return LittleEndian((c.red >> 3) << 10 | (c.green >> 3) << 5 | c.blue >> 3, 2);
}
Bytes Word565(ColorEntry c)
{
    return LittleEndian((c.red >> 3) << 11 | (c.green >> 2) << 5 | c.blue >> 3, 2);
}
constexpr ChannelMasks kMasks565{0xF800, 0x07E0, 0x001F};
// Channels in the top three bytes, the lowest byte unused.
Bytes WordHigh888(ColorEntry c)
{
    return LittleEndian(std::uint32_t{c.red} << 24 | c.green << 16 | c.blue << 8, 4);
}
constexpr ChannelMasks kMasksHigh888{0xFF000000, 0x00FF0000, 0x0000FF00};

BmpBuilder Indexed(int bits, const Picture& picture, std::vector<ColorEntry> table)
{
    BmpBuilder file;
    file.width = 3;
    file.height = 2;
    file.bitCount = static_cast<std::uint16_t>(bits);
    file.colorTable = std::move(table);
    file.pixels = BmpPixelArray(IndexRows(picture, bits));
    return file;
}

BmpBuilder Direct(int bits, const std::function<Bytes(ColorEntry)>& encode, bool topDown = false)
{
    BmpBuilder file;
    file.width = 3;
    file.height = topDown ? -2 : 2;
    file.bitCount = static_cast<std::uint16_t>(bits);
    file.pixels = BmpPixelArray(DirectRows(kSixColours, encode), topDown);
    return file;
}

BmpBuilder Masked(int bits, const std::function<Bytes(ColorEntry)>& encode, ChannelMasks masks,
                  std::uint32_t headerSize)
{
    BmpBuilder file = Direct(bits, encode);
    file.compression = 3;
    file.masks = masks;
    file.headerSize = headerSize;
    return file;
}

struct ReadCase {
    std::string name;
    BmpBuilder file;
    PixelForm form;
    Picture picture;
    std::size_t tableSize = 0;
    ChannelMasks masks{};
};

std::vector<ReadCase> ReadCases()
{
    std::vector<ReadCase> cases;
    cases.push_back({"Indexed1", Indexed(1, kTwoColours, {kBlack, kWhite}), PixelForm::Paletted1, kTwoColours, 2});
    cases.push_back({"Indexed4", Indexed(4, kSixColours, PaddedPalette(16)), PixelForm::Paletted4, kSixColours, 16});
    cases.push_back({"Indexed8", Indexed(8, kSixColours, PaddedPalette(256)), PixelForm::Paletted8, kSixColours, 256});
    {
        BmpBuilder file = Indexed(8, kSixColours, kPalette);
        file.colorsUsed = 6;
        cases.push_back({"Indexed8SixColours", file, PixelForm::Paletted8, kSixColours, 6});
    }
    {
        // Two entries, so the pixels start 8 bytes after the header.
        BmpBuilder file = Indexed(8, kTwoColours, {kBlack, kWhite});
        file.colorsUsed = 2;
        cases.push_back({"Indexed8TwoColours", file, PixelForm::Paletted8, kTwoColours, 2});
    }
    {
        // Entries beyond 256 are skipped, and the pixels still follow the whole table.
        BmpBuilder file = Indexed(8, kSixColours, PaddedPalette(300));
        file.colorsUsed = 300;
        cases.push_back({"Indexed8MoreThan256Colours", file, PixelForm::Paletted8, kSixColours, 256});
    }
    {
        BmpBuilder file = Indexed(8, kSixColours, PaddedPalette(256));
        file.headerSize = 12;
        cases.push_back({"CoreHeader8", file, PixelForm::Paletted8, kSixColours, 256});
    }
    {
        BmpBuilder file = Indexed(1, kTwoColours, {kBlack, kWhite});
        file.headerSize = 12;
        cases.push_back({"CoreHeader1", file, PixelForm::Paletted1, kTwoColours, 2});
    }
    {
        BmpBuilder file = Direct(24, Bgr);
        file.headerSize = 12;
        cases.push_back({"CoreHeader24", file, PixelForm::Bgr24, kSixColours});
    }
    {
        BmpBuilder file = Indexed(8, kSixColours, kPalette);
        file.headerSize = 16;  // ends after the bit count: no colour count, the default 256
        file.colorTable = PaddedPalette(256);
        cases.push_back({"Os2Header16", file, PixelForm::Paletted8, kSixColours, 256});
    }
    {
        BmpBuilder file = Indexed(4, kSixColours, kPalette);
        file.headerSize = 64;
        file.colorsUsed = 6;
        cases.push_back({"Os2Header64", file, PixelForm::Paletted4, kSixColours, 6});
    }
    cases.push_back({"Plain16", Direct(16, Word555), PixelForm::Plain16, kSixColours});
    cases.push_back({"Masked16", Masked(16, Word565, kMasks565, 40), PixelForm::Masked16, kSixColours, 0, kMasks565});
    cases.push_back({"Masked16Header124", Masked(16, Word565, kMasks565, 124), PixelForm::Masked16, kSixColours, 0, kMasks565});
    {
        // Mask bits above the 16 of a pixel select nothing and are dropped.
        BmpBuilder file = Masked(16, Word565, {0xFFFFF800, 0x000707E0, 0x8000001F}, 40);
        cases.push_back({"Masked16WideMasks", file, PixelForm::Masked16, kSixColours, 0, kMasks565});
    }
    cases.push_back({"Bgr24", Direct(24, Bgr), PixelForm::Bgr24, kSixColours});
    cases.push_back({"Bgr24TopDown", Direct(24, Bgr, true), PixelForm::Bgr24, kSixColours});
    {
        // A table in a 24-bit file is read over, not used.
        BmpBuilder file = Direct(24, Bgr);
        file.colorsUsed = 2;
        file.colorTable = {kYellow, kYellow};
        cases.push_back({"Bgr24WithTable", file, PixelForm::Bgr24, kSixColours});
    }
    {
        // The pixels start where bfOffBits says, after 6 bytes that are not pixels.
        BmpBuilder file = Direct(24, Bgr);
        file.gap = Bytes(6, 0xAB);
        cases.push_back({"Bgr24AfterGap", file, PixelForm::Bgr24, kSixColours});
    }
    {
        // A declared image size larger than the array does not make the reader want more.
        BmpBuilder file = Direct(24, Bgr);
        file.sizeImage = 1000;
        file.fileSize = 99999;
        cases.push_back({"Bgr24SizeFieldsTooLarge", file, PixelForm::Bgr24, kSixColours});
    }
    cases.push_back({"Plain32", Direct(32, Bgrx), PixelForm::Plain32, kSixColours});
    cases.push_back({"Plain32TopDown", Direct(32, Bgrx, true), PixelForm::Plain32, kSixColours});
    cases.push_back({"Masked32", Masked(32, WordHigh888, kMasksHigh888, 40), PixelForm::Masked32, kSixColours, 0, kMasksHigh888});
    cases.push_back({"Masked32Header52", Masked(32, WordHigh888, kMasksHigh888, 52), PixelForm::Masked32, kSixColours, 0, kMasksHigh888});
    cases.push_back({"Masked32Header56", Masked(32, WordHigh888, kMasksHigh888, 56), PixelForm::Masked32, kSixColours, 0, kMasksHigh888});
    cases.push_back({"Masked32Header108", Masked(32, WordHigh888, kMasksHigh888, 108), PixelForm::Masked32, kSixColours, 0, kMasksHigh888});
    {
        // Bottom row white, black, yellow as an absolute run (padded to an even length);
        // top row red, green, blue as three encoded runs.
        BmpBuilder file = Indexed(8, kSixColours, kPalette);
        file.colorsUsed = 6;
        file.compression = 1;
        file.pixels = {0, 3, 1, 0, 5, 0, 0, 0, 1, 2, 1, 3, 1, 4, 0, 1};
        file.sizeImage = static_cast<std::uint32_t>(file.pixels.size());
        cases.push_back({"Rle8", file, PixelForm::Paletted8, kSixColours, 6});
    }
    {
        BmpBuilder file = Indexed(4, kSixColours, kPalette);
        file.colorsUsed = 6;
        file.compression = 2;
        file.pixels = {0, 3, 0x10, 0x50, 0, 0, 2, 0x23, 1, 0x40, 0, 1};
        file.sizeImage = static_cast<std::uint32_t>(file.pixels.size());
        cases.push_back({"Rle4", file, PixelForm::Paletted4, kSixColours, 6});
    }
    return cases;
}

// Fails (without stopping the test) on the first pixel that differs.
void ExpectPicture(const Raster& raster, const Picture& picture)
{
    ASSERT_EQ(raster.Height(), static_cast<int>(picture.size()));
    ASSERT_EQ(raster.Width(), static_cast<int>(picture[0].size()));
    for (int y = 0; y < raster.Height(); ++y) {
        for (int x = 0; x < raster.Width(); ++x) {
            std::uint8_t bgr[3];
            raster.PixelBgr(x, y, bgr);
            const ColorEntry want = picture[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
            EXPECT_EQ((ColorEntry{bgr[0], bgr[1], bgr[2], 0}), want) << "pixel " << x << ", " << y;
        }
    }
}

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ReadVariant : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadVariant, GivesTheKnownPicture)
{
    const ReadCase& c = GetParam();
    Raster raster;
    ParseBmp(c.file.Bytes(), raster);
    EXPECT_EQ(raster.Form(), c.form);
    EXPECT_EQ(raster.ColorTable().size(), c.tableSize);
    EXPECT_EQ(raster.Masks(), c.masks);
    ExpectPicture(raster, c.picture);
    // An uncompressed bottom-up file and the store hold the same bytes, padding included.
    if ((c.file.compression == 0 || c.file.compression == 3) && c.file.height > 0) {
        const auto bits = raster.Bits();
        EXPECT_EQ(Bytes(bits.begin(), bits.end()), c.file.pixels);
    }
}

TEST_P(ReadVariant, BandReaderGivesTheSamePicture)
{
    ExpectStreamMatchesWhole(GetParam().file.Bytes());
}

INSTANTIATE_TEST_SUITE_P(Bmp, ReadVariant, testing::ValuesIn(ReadCases()),
                         [](const auto& info) { return info.param.name; });

TEST(BmpRead, ColourTableEntriesOfCoreHeaderGetReservedZero)
{
    BmpBuilder file = Indexed(8, kSixColours, PaddedPalette(256));
    file.headerSize = 12;
    Raster raster;
    ParseBmp(file.Bytes(), raster);
    ASSERT_EQ(raster.ColorTable().size(), 256u);
    EXPECT_EQ(raster.ColorTable()[2], kRed);
    EXPECT_EQ(raster.ColorTable()[255], (ColorEntry{255, 77, 99, 0}));
}

TEST(BmpRead, EmptyFileGivesEmptyRaster)
{
    Raster raster;
    ParseBmp(Direct(24, Bgr).Bytes(), raster);
    ParseBmp({}, raster);
    EXPECT_TRUE(raster.Empty());
    EXPECT_EQ(raster.Width(), 0);
    EXPECT_EQ(raster.Height(), 0);
    EXPECT_EQ(raster.Form(), PixelForm::NoPixels);
}

// Where the pixels start and how many are used. A pixel array shorter than the picture is
// no error: the missing bytes are 0, and the file is noted as incomplete unless only the
// padding after the last pixel is missing.
struct ArrayExtentCase {
    std::string name;
    BmpBuilder file;
    Picture picture;
    bool incomplete = false;
};

std::vector<ArrayExtentCase> ArrayExtentCases()
{
    std::vector<ArrayExtentCase> cases;
    {
        BmpBuilder file = Direct(24, Bgr);
        file.pixels.resize(12);  // the bottom row only
        cases.push_back({"BottomUpLosesTopRow", file, {{kBlack, kBlack, kBlack}, kSixColours[1]}, true});
    }
    {
        BmpBuilder file = Direct(24, Bgr, true);
        file.pixels.resize(12);
        cases.push_back({"TopDownLosesBottomRow", file, {kSixColours[0], {kBlack, kBlack, kBlack}}, true});
    }
    {
        BmpBuilder file = Direct(24, Bgr);
        file.pixels.resize(16);  // the green pixel keeps its blue byte only
        cases.push_back({"CutInsidePixel", file, {{kRed, kBlack, kBlack}, kSixColours[1]}, true});
    }
    {
        // The declared image size limits what is read.
        BmpBuilder file = Direct(24, Bgr);
        file.sizeImage = 12;
        cases.push_back({"SizeFieldCoversBottomRow", file, {{kBlack, kBlack, kBlack}, kSixColours[1]}, true});
    }
    {
        BmpBuilder file = Direct(24, Bgr);
        file.pixels.resize(file.pixels.size() - 3);  // the top row's padding: every pixel is there
        cases.push_back({"LosesLastPaddingOnly", file, kSixColours});
    }
    {
        BmpBuilder file = Direct(24, Bgr);
        file.pixels.clear();
        cases.push_back({"NoPixelsAtAll", file, {{kBlack, kBlack, kBlack}, {kBlack, kBlack, kBlack}}, true});
    }
    {
        // bfOffBits past the end of the file: the pixels follow the headers.
        BmpBuilder file = Direct(24, Bgr);
        file.offBits = 5000;
        cases.push_back({"OffsetPastEndIgnored", file, kSixColours});
        file.offBits = static_cast<std::uint32_t>(file.Bytes().size());
        cases.push_back({"OffsetAtEndIgnored", file, kSixColours});
    }
    {
        // Bytes after the array are not pixels, whatever the declared image size says.
        BmpBuilder file = Direct(24, Bgr);
        file.pixels.resize(file.pixels.size() + 40, 0xEE);
        file.sizeImage = 1000;
        cases.push_back({"BytesAfterArrayIgnored", file, kSixColours});
    }
    {
        // bfOffBits inside the headers: the pixels follow the headers.
        BmpBuilder file = Direct(24, Bgr);
        file.offBits = 20;
        cases.push_back({"OffsetInsideHeaderIgnored", file, kSixColours});
    }
    return cases;
}

// The limits refuse 16384 x 16385 (below); the largest picture they allow is read, and a
// file that holds none of its pixels gives it all black.
TEST(BmpRead, LargestAllowedPictureWithoutPixelsIsBlack)
{
    BmpBuilder file;
    file.width = 16384;
    file.height = 16384;
    file.bitCount = 1;
    file.colorTable = {kBlack, kWhite};
    Raster raster;
    ParseBmp(file.Bytes(), raster);
    EXPECT_EQ(raster.Form(), PixelForm::Paletted1);
    EXPECT_EQ(raster.Width(), 16384);
    EXPECT_EQ(raster.Height(), 16384);
    for (int y : {0, 8191, 16383}) {
        const auto row = raster.Row(y);
        EXPECT_EQ(std::count(row.begin(), row.end(), 0), static_cast<std::ptrdiff_t>(row.size())) << y;
    }
}

void PrintTo(const ArrayExtentCase& c, std::ostream* os) { *os << c.name; }

class ReadArrayExtent : public testing::TestWithParam<ArrayExtentCase> {};

TEST_P(ReadArrayExtent, MissingBytesAreZero)
{
    Raster raster;
    EXPECT_EQ(ParseBmp(GetParam().file.Bytes(), raster).incomplete, GetParam().incomplete);
    ExpectPicture(raster, GetParam().picture);
    for (int y = 0; y < raster.Height(); ++y) {
        const auto row = raster.Row(y);
        for (std::size_t i = 9; i < row.size(); ++i)
            EXPECT_EQ(row[i], 0) << "padding of row " << y;
    }
}

TEST_P(ReadArrayExtent, BandReaderGivesTheSamePicture)
{
    ExpectStreamMatchesWhole(GetParam().file.Bytes());
}

INSTANTIATE_TEST_SUITE_P(Bmp, ReadArrayExtent, testing::ValuesIn(ArrayExtentCases()),
                         [](const auto& info) { return info.param.name; });

// RLE data for a 4 x 3 picture; expected palette indices by row, top row first. Data that
// ends before its end-of-picture code with pixels still to come is incomplete.
struct RleCase {
    std::string name;
    int bits;
    Bytes data;
    std::vector<Bytes> indices;
    bool incomplete = false;
};

const Bytes kZeroRow = {0, 0, 0, 0};

std::vector<RleCase> RleCases()
{
    return {
        {"Rle8Delta", 8, {1, 7, 0, 2, 2, 1, 1, 9, 0, 1}, {kZeroRow, {0, 0, 0, 9}, {7, 0, 0, 0}}},
        {"Rle8EarlyEndOfLine", 8, {2, 5, 0, 0, 1, 6, 0, 1}, {kZeroRow, {6, 0, 0, 0}, {5, 5, 0, 0}}},
        {"Rle8EarlyEndOfPicture", 8, {4, 1, 0, 1, 4, 2}, {kZeroRow, kZeroRow, {1, 1, 1, 1}}},
        {"Rle8NoEndCode", 8, {4, 2}, {kZeroRow, kZeroRow, {2, 2, 2, 2}}, true},
        // Without an end-of-picture code, but with every pixel given: nothing is missing.
        {"Rle8EndsAfterTheLastPixel", 8, {4, 1, 0, 0, 4, 2, 0, 0, 4, 3}, {{3, 3, 3, 3}, {2, 2, 2, 2}, {1, 1, 1, 1}}},
        // Clipped at the right edge, not wrapped onto the next row.
        {"Rle8RunPastRightEdge", 8, {6, 3, 0, 0, 1, 4, 0, 1}, {kZeroRow, {4, 0, 0, 0}, {3, 3, 3, 3}}},
        {"Rle8AbsoluteRunPastRightEdge", 8, {0, 5, 1, 2, 3, 4, 5, 0, 0, 1}, {kZeroRow, kZeroRow, {1, 2, 3, 4}}},
        {"Rle8RunsPastTop", 8, {0, 0, 0, 0, 0, 0, 4, 8, 0, 0, 4, 8, 0, 2, 0, 9, 4, 8},
         {kZeroRow, kZeroRow, kZeroRow}},
        {"Rle8DeltaPastRightEdge", 8, {0, 2, 200, 0, 2, 6, 0, 0, 1, 1}, {kZeroRow, {1, 0, 0, 0}, kZeroRow}, true},
        // The pad byte after an odd absolute run must not be taken for a code.
        {"Rle8AbsoluteRunPadding", 8, {0, 3, 1, 2, 3, 0, 1, 9}, {kZeroRow, kZeroRow, {1, 2, 3, 9}}, true},
        {"Rle8DataEndsInsideAbsoluteRun", 8, {0, 5, 1, 2}, {kZeroRow, kZeroRow, {1, 2, 0, 0}}, true},
        {"Rle8DataEndsInsideDelta", 8, {1, 1, 0, 2, 1}, {kZeroRow, kZeroRow, {1, 0, 0, 0}}, true},
        {"Rle4RunAlternatesNibbles", 4, {3, 0xAB, 0, 1}, {kZeroRow, kZeroRow, {10, 11, 10, 0}}},
        {"Rle4OddAbsoluteRun", 4, {0, 3, 0x12, 0x30, 1, 0x40, 0, 1}, {kZeroRow, kZeroRow, {1, 2, 3, 4}}},
        {"Rle4AbsoluteRunPadding", 4, {0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 1, 0x70},
         {kZeroRow, {7, 0, 0, 0}, {1, 2, 3, 4}}, true},
        {"Rle4DeltaThenRun", 4, {0, 2, 1, 2, 2, 0x56}, {{0, 5, 6, 0}, kZeroRow, kZeroRow}, true},
    };
}

int IndexAt(const Raster& raster, int x, int y)
{
    const auto row = raster.Row(y);
    if (raster.Form() == PixelForm::Paletted4)
        return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
    return row[x];
}

void PrintTo(const RleCase& c, std::ostream* os) { *os << c.name; }

class ReadRle : public testing::TestWithParam<RleCase> {};

BmpBuilder RleFile(const RleCase& c)
{
    BmpBuilder file;
    file.width = 4;
    file.height = 3;
    file.bitCount = static_cast<std::uint16_t>(c.bits);
    file.compression = c.bits == 8 ? 1 : 2;
    file.colorTable = PaddedPalette(c.bits == 8 ? 256 : 16);
    file.pixels = c.data;
    file.sizeImage = static_cast<std::uint32_t>(c.data.size());
    return file;
}

TEST_P(ReadRle, DecodesIndices)
{
    const RleCase& c = GetParam();
    Raster raster;
    EXPECT_EQ(ParseBmp(RleFile(c).Bytes(), raster).incomplete, c.incomplete);
    ASSERT_EQ(raster.Height(), 3);
    for (int y = 0; y < 3; ++y) {
        Bytes row;
        for (int x = 0; x < 4; ++x)
            row.push_back(static_cast<std::uint8_t>(IndexAt(raster, x, y)));
        EXPECT_EQ(row, c.indices[static_cast<std::size_t>(y)]) << "row " << y;
    }
    // Padding stays 0 whatever the codes do.
    for (int y = 0; y < 3; ++y) {
        const auto bytes = raster.Row(y);
        for (std::size_t i = static_cast<std::size_t>(c.bits == 8 ? 4 : 2); i < bytes.size(); ++i)
            EXPECT_EQ(bytes[i], 0);
    }
}

TEST_P(ReadRle, BandReaderGivesTheSamePicture)
{
    ExpectStreamMatchesWhole(RleFile(GetParam()).Bytes());
}

INSTANTIATE_TEST_SUITE_P(Bmp, ReadRle, testing::ValuesIn(RleCases()),
                         [](const auto& info) { return info.param.name; });

TEST(BmpRead, RleDataBeyondDeclaredSizeIsIgnored)
{
    BmpBuilder file;
    file.width = 4;
    file.height = 1;
    file.bitCount = 8;
    file.compression = 1;
    file.colorTable = PaddedPalette(256);
    file.pixels = {2, 5, 2, 6, 0, 1};
    file.sizeImage = 2;
    Raster raster;
    ParseBmp(file.Bytes(), raster);
    EXPECT_EQ(IndexAt(raster, 1, 0), 5);
    EXPECT_EQ(IndexAt(raster, 2, 0), 0);
}

// Files that cannot be read, with the message they give.
struct FailCase {
    std::string name;
    Bytes bytes;
    std::string message;
};

const std::string kNotValid = "Bitmap image is not valid";

Bytes Cut(Bytes bytes, std::size_t size)
{
    bytes.resize(size);
    return bytes;
}

Bytes WithSignature(char first, char second)
{
    BmpBuilder file = Direct(24, Bgr);
    file.signature[0] = static_cast<std::uint8_t>(first);
    file.signature[1] = static_cast<std::uint8_t>(second);
    return file.Bytes();
}

Bytes Changed(BmpBuilder file, const std::function<void(BmpBuilder&)>& change)
{
    change(file);
    return file.Bytes();
}

// Only the headers: the size limits must refuse the picture before any store is made.
Bytes HeaderOnly(std::int32_t width, std::int32_t height, std::uint16_t bits = 24)
{
    BmpBuilder file;
    file.width = width;
    file.height = height;
    file.bitCount = bits;
    return file.Bytes();
}

std::vector<FailCase> FailCases()
{
    const BmpBuilder bgr = Direct(24, Bgr);
    const Bytes masked = Masked(16, Word565, kMasks565, 40).Bytes();
    const Bytes indexed = Indexed(8, kSixColours, PaddedPalette(256)).Bytes();
    return {
        {"TenBytes", Cut(bgr.Bytes(), 10), kStreamReadError},
        {"SignatureMB", WithSignature('M', 'B'), kNotValid},
        {"EndsInHeaderSize", Cut(bgr.Bytes(), 16), kStreamReadError},
        {"EndsInHeader", Cut(bgr.Bytes(), 40), kStreamReadError},
        {"EndsInCoreHeader", Cut(Changed(bgr, [](BmpBuilder& f) { f.headerSize = 12; }), 20), kStreamReadError},
        {"EndsInLongHeader", Cut(Masked(32, WordHigh888, kMasksHigh888, 124).Bytes(), 100), kStreamReadError},
        {"EndsInMasks", Cut(masked, 14 + 40 + 6), kStreamReadError},
        {"EndsInColourTable", Cut(indexed, 14 + 40 + 1000), kStreamReadError},
        {"ColourCountBeyondFile", Changed(bgr, [](BmpBuilder& f) { f.colorsUsed = 0xFFFFFFFF; }), kStreamReadError},
        {"SkippedColoursBeyondFile", Changed(bgr, [](BmpBuilder& f) { f.bitCount = 8; f.colorsUsed = 257; f.colorTable = PaddedPalette(256); f.pixels.clear(); }), kStreamReadError},
        {"PlanesTwo", Changed(bgr, [](BmpBuilder& f) { f.planes = 2; }), kNotValid},
        {"HeaderSizeZero", Changed(bgr, [](BmpBuilder& f) { f.headerSize = 0; }), kNotValid},
        {"HeaderSize13", Changed(bgr, [](BmpBuilder& f) { f.headerSize = 13; }), kNotValid},
        {"HeaderSizeHuge", Changed(bgr, [](BmpBuilder& f) { f.headerSize = 0xFFFFFFFF; }), kNotValid},
        {"WidthZero", Changed(bgr, [](BmpBuilder& f) { f.width = 0; }), kNotValid},
        {"WidthNegative", Changed(bgr, [](BmpBuilder& f) { f.width = -3; }), kNotValid},
        {"HeightZero", Changed(bgr, [](BmpBuilder& f) { f.height = 0; }), kNotValid},
        {"BitCount7", Changed(bgr, [](BmpBuilder& f) { f.bitCount = 7; }), kNotValid},
        {"Compression4", Changed(bgr, [](BmpBuilder& f) { f.compression = 4; }), kNotValid},
        {"MasksWith24Bits", Changed(bgr, [](BmpBuilder& f) { f.compression = 3; f.masks = kMasks565; }), kNotValid},
        {"Rle8With4Bits", Changed(bgr, [](BmpBuilder& f) { f.bitCount = 4; f.compression = 1; }), kNotValid},
        {"Rle8TopDown", Changed(bgr, [](BmpBuilder& f) { f.bitCount = 8; f.compression = 1; f.height = -2; }), kNotValid},
        {"Os2HeaderWithCompression3", Masked(16, Word565, kMasks565, 64).Bytes(), kNotValid},
        {"WiderThanLimit", HeaderOnly(65536, 1), kNotValid},
        {"HigherThanLimit", HeaderOnly(1, 65536), kNotValid},
        {"TopDownHigherThanLimit", HeaderOnly(1, -65536), kNotValid},
        {"MorePixelsThanLimit", HeaderOnly(16384, 16385, 1), kNotValid},
        {"HeightMostNegative", HeaderOnly(1, std::numeric_limits<std::int32_t>::min()), kNotValid},
    };
}

void PrintTo(const FailCase& c, std::ostream* os) { *os << c.name; }

class ReadFailure : public testing::TestWithParam<FailCase> {};

TEST_P(ReadFailure, ThrowsAndKeepsTarget)
{
    Raster raster;
    ParseBmp(Direct(24, Bgr).Bytes(), raster);
    try {
        ParseBmp(GetParam().bytes, raster);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), GetParam().message);
    }
    EXPECT_EQ(raster.Form(), PixelForm::Bgr24);
    ExpectPicture(raster, kSixColours);
}

TEST_P(ReadFailure, BandReaderGivesTheSameError)
{
    ExpectStreamMatchesWhole(GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Bmp, ReadFailure, testing::ValuesIn(FailCases()),
                         [](const auto& info) { return info.param.name; });

TEST(BmpRead, ReadsFileAndReportsMissingOne)
{
    const auto folder = std::filesystem::path(testing::TempDir()) / "bmp_read_test";
    std::filesystem::create_directories(folder);
    const auto path = folder / "six.bmp";
    const Bytes bytes = Direct(24, Bgr, true).Bytes();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    Raster raster;
    ReadBmp(path.string(), raster);
    ExpectPicture(raster, kSixColours);

    const auto missing = folder / "missing.bmp";
    try {
        ReadBmp(missing.string(), raster);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot open file \"" + missing.string() + "\". No such file or directory");
    }
    ExpectPicture(raster, kSixColours);
    std::filesystem::remove_all(folder);
}

// With PICBATCH_FUZZ_SEEDS set, every file these tests build becomes a seed of the fuzzer.
TEST(BmpRead, WritesFuzzSeeds)
{
    const char* seeds = std::getenv("PICBATCH_FUZZ_SEEDS");
    if (!seeds || !*seeds)
        GTEST_SKIP() << "PICBATCH_FUZZ_SEEDS not set";
    const auto folder = std::filesystem::path(seeds) / "bmp";
    std::filesystem::create_directories(folder);
    const auto save = [&](const std::string& name, const Bytes& bytes) {
        std::ofstream(folder / (name + ".bmp"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    for (const ReadCase& c : ReadCases())
        save(c.name, c.file.Bytes());
    for (const ArrayExtentCase& c : ArrayExtentCases())
        save(c.name, c.file.Bytes());
    for (const FailCase& c : FailCases())
        save(c.name, c.bytes);
    for (const RleCase& c : RleCases()) {
        BmpBuilder file;
        file.width = 4;
        file.height = 3;
        file.bitCount = static_cast<std::uint16_t>(c.bits);
        file.compression = c.bits == 8 ? 1 : 2;
        file.colorTable = PaddedPalette(16);
        file.colorsUsed = 16;
        file.pixels = c.data;
        save(c.name, file.Bytes());
    }
}

}  // namespace

}  // namespace picbatch
