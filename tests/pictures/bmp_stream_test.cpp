// The band reader against the whole-picture reader on files too large or too irregular for the
// hand-made tables of bmp_test.cpp: several bands, cut anywhere, random RLE codes.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "imaging/raster.h"
#include "pictures/bmp/bmp_stream.h"
#include "pictures/files/positional_input.h"
#include "tests/pictures/bmp_builder.h"
#include "tests/pictures/bmp_stream_check.h"

namespace picbatch {

namespace {

using Bytes = std::vector<std::uint8_t>;

// A table whose entry 0 is not black, so that pixels left out must come out in its colour.
std::vector<ColorEntry> Palette(int entries)
{
    std::vector<ColorEntry> table;
    for (int i = 0; i < entries; ++i)
        table.push_back({static_cast<std::uint8_t>(40 + i), static_cast<std::uint8_t>(255 - i),
                         static_cast<std::uint8_t>(i * 7), 0});
    return table;
}

BmpBuilder Uncompressed(int width, int height, int bits, std::mt19937& random)
{
    BmpBuilder file;
    file.width = width;
    file.height = height;
    file.bitCount = static_cast<std::uint16_t>(bits);
    if (bits <= 8)
        file.colorTable = Palette(1 << bits);
    file.pixels.resize(static_cast<std::size_t>(RowSizeFor(width, bits) * height));
    for (std::uint8_t& byte : file.pixels)
        byte = static_cast<std::uint8_t>(random());
    return file;
}

// Every file cut at the given fractions of its pixel array, and whole.
void ExpectCutsMatch(const BmpBuilder& file)
{
    for (double kept : {1.0, 0.0, 0.3, 0.77}) {
        BmpBuilder cut = file;
        cut.pixels.resize(static_cast<std::size_t>(static_cast<double>(file.pixels.size()) * kept) | 1U);
        SCOPED_TRACE("kept " + std::to_string(cut.pixels.size()) + " bytes");
        ExpectStreamMatchesWhole(cut.Bytes());
    }
}

TEST(BmpBands, UncompressedFilesOfSeveralBands)
{
    std::mt19937 random(7);
    struct Case {
        int width;
        int height;
        int bits;
    };
    // Rows of 2100 bytes come 496 to a band; the 1-bit rows, 7 bits short of a byte, and the
    // 4-bit ones, half a byte short, have padding to skip.
    for (const Case c : {Case{700, 1100, 24}, Case{4001, 300, 1}, Case{333, 900, 4}, Case{1000, 700, 8},
                         Case{515, 1200, 16}, Case{900, 700, 32}}) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " at " + std::to_string(c.bits));
        BmpBuilder file = Uncompressed(c.width, c.height, c.bits, random);
        ExpectCutsMatch(file);
        file.height = -file.height;  // top-down
        ExpectCutsMatch(file);
    }
}

TEST(BmpBands, MaskedFileOfSeveralBands)
{
    std::mt19937 random(11);
    BmpBuilder file = Uncompressed(800, 1500, 32, random);
    file.compression = 3;
    file.masks = ChannelMasks{0x3FF00000, 0x000FFC00, 0x000003FF};
    ExpectCutsMatch(file);
}

// Random RLE codes: runs, absolute runs, ends of line, deltas, an end code now and then,
// and data cut anywhere.
Bytes RandomRle(std::mt19937& random, bool fourBit, int codes)
{
    Bytes data;
    auto byte = [&](int below) { return static_cast<std::uint8_t>(random() % static_cast<unsigned>(below)); };
    for (int i = 0; i < codes; ++i) {
        switch (byte(10)) {
        case 0:
            data.insert(data.end(), {0, 0});
            break;
        case 1:
            data.insert(data.end(), {0, 2, byte(20), byte(3)});
            break;
        case 2:
            if (byte(20) == 0)
                data.insert(data.end(), {0, 1});
            break;
        case 3:
        case 4: {
            const std::uint8_t pixels = static_cast<std::uint8_t>(3 + byte(60));
            const int bytes = fourBit ? (pixels + 1) / 2 : pixels;
            data.insert(data.end(), {0, pixels});
            for (int b = 0; b < bytes + bytes % 2; ++b)
                data.push_back(byte(256));
            break;
        }
        default:
            data.insert(data.end(), {static_cast<std::uint8_t>(1 + byte(40)), byte(256)});
            break;
        }
    }
    data.resize(data.size() - random() % 5 % data.size());
    return data;
}

BmpBuilder RleFile(int width, int height, bool fourBit, Bytes codes)
{
    BmpBuilder file;
    file.width = width;
    file.height = height;
    file.bitCount = fourBit ? 4 : 8;
    file.compression = fourBit ? 2 : 1;
    file.colorTable = Palette(fourBit ? 16 : 256);
    file.pixels = std::move(codes);
    return file;
}

TEST(BmpBands, RandomRleCodes)
{
    std::mt19937 random(3);
    for (int i = 0; i < 300; ++i) {
        const bool fourBit = i % 2 == 1;
        const int width = 1 + static_cast<int>(random() % 90);
        const int height = 1 + static_cast<int>(random() % 40);
        const BmpBuilder file =
            RleFile(width, height, fourBit, RandomRle(random, fourBit, 1 + static_cast<int>(random() % 300)));
        SCOPED_TRACE("file " + std::to_string(i));
        ExpectStreamMatchesWhole(file.Bytes());
    }
}

// RLE data larger than the reader's window, with one row whose codes alone are larger.
TEST(BmpBands, RleLargerThanTheReadWindow)
{
    std::mt19937 random(5);
    BmpBuilder file = RleFile(3000, 70, false, {});
    // The bottom row: 40,000 runs, nearly all past the right edge, 80,000 bytes of codes.
    for (int i = 0; i < 40000; ++i)
        file.pixels.insert(file.pixels.end(), {255, static_cast<std::uint8_t>(i)});
    file.pixels.insert(file.pixels.end(), {0, 0});
    for (int y = 1; y < file.height; ++y) {
        for (int run = 0; run < 12; ++run) {
            file.pixels.insert(file.pixels.end(), {0, 250});
            for (int b = 0; b < 250; ++b)
                file.pixels.push_back(static_cast<std::uint8_t>(random()));
        }
        file.pixels.insert(file.pixels.end(), {0, 0});
    }
    file.pixels.insert(file.pixels.end(), {0, 1});
    ExpectStreamMatchesWhole(file.Bytes());
    file.pixels.resize(file.pixels.size() / 2);
    ExpectStreamMatchesWhole(file.Bytes());
}

// A file that declares the largest picture and holds a row of it: the rows it leaves out come
// as one repeated row, never read or stored.
TEST(BmpBands, MissingRowsComeAsOneRepeatedRow)
{
    for (int bits : {1, 8, 24, 32}) {
        SCOPED_TRACE(std::to_string(bits) + " bits");
        BmpBuilder file;
        file.width = 16384;
        file.height = 16384;
        file.bitCount = static_cast<std::uint16_t>(bits);
        if (bits <= 8)
            file.colorTable = Palette(1 << bits);
        file.pixels.assign(static_cast<std::size_t>(RowSizeFor(16384, bits)), 0x5A);
        const Bytes bytes = file.Bytes();
        MemoryInput input(bytes);
        std::int64_t rows = 0;
        std::int64_t repeated = 0;
        int calls = 0;
        const ReadNotes notes = DecodeBmpRows(
            input, [](int, int) {},
            [&](const std::uint8_t*, std::int64_t step, int count) {
                ++calls;
                rows += count;
                repeated += step == 0 ? count : 0;
            });
        EXPECT_TRUE(notes.incomplete);
        EXPECT_EQ(rows, 16384);
        EXPECT_EQ(repeated, 16383);
        EXPECT_EQ(calls, 2);
    }
}

TEST(BmpBands, FileReadsAsBytesDo)
{
    std::mt19937 random(9);
    BmpBuilder file = Uncompressed(301, 257, 24, random);
    file.pixels.resize(file.pixels.size() - 1000);
    const Bytes bytes = file.Bytes();
    const auto path = std::filesystem::path(testing::TempDir()) / "bmp_bands_file.bmp";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    BmpOutcome fromFile;
    fromFile.incomplete = DecodeBmpFileRows(
        path.string(),
        [&](int width, int height) {
            fromFile.width = width;
            fromFile.height = height;
        },
        [&](const std::uint8_t* first, std::int64_t step, int count) {
            for (int i = 0; i < count; ++i)
                fromFile.pixels.insert(fromFile.pixels.end(), first + step * i, first + step * i + 3 * 301);
        }).incomplete;
    std::filesystem::remove(path);
    EXPECT_TRUE(fromFile == WholeBmpOutcome(bytes));
}

}  // namespace

}  // namespace picbatch
