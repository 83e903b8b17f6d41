// The PNG reader over every colour type and bit depth libspng's encoder writes, transparency
// from alpha channels and tRNS chunks, files cut short or hostile, and the writer's round trip.
#include "pictures/png/png.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "tests/pictures/png_builder.h"
#include "tests/pictures/codec_cases.h"

namespace picbatch {

namespace {

using Bytes = std::vector<std::uint8_t>;
using Bgra = std::array<std::uint8_t, 4>;

constexpr std::uint32_t kWidth = 5;  // odd, so sub-byte rows end inside a byte
constexpr std::uint32_t kHeight = 3;

struct PngCase {
    const char* name;
    std::uint8_t colorType;
    std::uint8_t bitDepth;
    bool transparencyChunk = false;
    bool interlaced = false;
};

int ChannelsOf(std::uint8_t colorType)
{
    switch (colorType) {
    case SPNG_COLOR_TYPE_TRUECOLOR: return 3;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA: return 2;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA: return 4;
    default: return 1;  // grey, palette index
    }
}

// A file of the case, and the pixels the reader must make of it (top row first).
struct PngSample {
    Bytes file;
    std::vector<Bgra> expected;
};

// Palette entry i: colours spread over the range.
std::array<std::uint8_t, 3> PaletteColor(unsigned i)
{
    return {static_cast<std::uint8_t>(i * 40 + 10), static_cast<std::uint8_t>(i * 90 + 20),
            static_cast<std::uint8_t>(i * 150 + 30)};
}

PngSample SampleOf(const PngCase& c)
{
    PngLayout layout;
    layout.width = kWidth;
    layout.height = kHeight;
    layout.bitDepth = c.bitDepth;
    layout.colorType = c.colorType;
    layout.interlaced = c.interlaced;
    const int channels = ChannelsOf(c.colorType);
    const bool wide = c.bitDepth == 16;
    const unsigned max = wide ? 255 : (1u << c.bitDepth) - 1;
    // Each sample's 8-bit value; 16-bit samples are v x 257, which any reduction maps to v.
    const auto value = [&](unsigned x, unsigned y, int channel) {
        return (x * 7 + y * 13 + static_cast<unsigned>(channel) * 5) % (max + 1);
    };
    const bool palette = c.colorType == SPNG_COLOR_TYPE_INDEXED;
    if (palette) {
        for (unsigned i = 0; i <= max; ++i) {
            const auto color = PaletteColor(i);
            layout.palette.insert(layout.palette.end(), color.begin(), color.end());
        }
        if (c.transparencyChunk)  // the first half of the entries, entry 0 fully transparent
            for (unsigned i = 0; i <= max / 2; ++i)
                layout.paletteAlpha.push_back(static_cast<std::uint8_t>(i * 60));
    } else if (c.transparencyChunk) {  // the colour of the top-left pixel is the key
        for (int channel = 0; channel < channels; ++channel)
            layout.transparentColor.push_back(static_cast<std::uint16_t>(value(0, 0, channel) * (wide ? 257 : 1)));
    }

    PngSample sample;
    Bytes rows;
    for (unsigned y = 0; y < kHeight; ++y) {
        std::uint32_t bits = 0;
        int pending = 0;
        for (unsigned x = 0; x < kWidth; ++x) {
            for (int channel = 0; channel < channels; ++channel) {
                const unsigned v = value(x, y, channel);
                if (wide) {
                    rows.push_back(static_cast<std::uint8_t>(v));  // v x 257: both bytes are v
                    rows.push_back(static_cast<std::uint8_t>(v));
                } else {
                    bits = bits << c.bitDepth | v;
                    pending += c.bitDepth;
                    if (pending == 8) {
                        rows.push_back(static_cast<std::uint8_t>(bits));
                        bits = 0;
                        pending = 0;
                    }
                }
            }
            const auto full = [&](int channel) {
                return static_cast<std::uint8_t>(value(x, y, channel) * 255 / max);
            };
            Bgra pixel{};
            if (palette) {
                const unsigned index = value(x, y, 0);
                const auto color = PaletteColor(index);
                pixel = {color[2], color[1], color[0],
                         index < layout.paletteAlpha.size() ? layout.paletteAlpha[index] : std::uint8_t{255}};
            } else if (channels <= 2) {
                pixel = {full(0), full(0), full(0), channels == 2 ? full(1) : std::uint8_t{255}};
            } else {
                pixel = {full(2), full(1), full(0), channels == 4 ? full(3) : std::uint8_t{255}};
            }
            if (c.transparencyChunk && !palette) {
                bool keyed = true;
                for (int channel = 0; channel < channels; ++channel)
                    keyed &= value(x, y, channel) == value(0, 0, channel);
                pixel[3] = keyed ? 0 : 255;
            }
            sample.expected.push_back(pixel);
        }
        if (pending > 0)  // the row's last byte, filled from the most significant bit
            rows.push_back(static_cast<std::uint8_t>(bits << (8 - pending)));
    }
    sample.file = BuildPng(layout, rows);
    return sample;
}

std::vector<PngCase> PngCases()
{
    return {
        {"grey1", SPNG_COLOR_TYPE_GRAYSCALE, 1},
        {"grey2", SPNG_COLOR_TYPE_GRAYSCALE, 2},
        {"grey4", SPNG_COLOR_TYPE_GRAYSCALE, 4},
        {"grey8", SPNG_COLOR_TYPE_GRAYSCALE, 8},
        {"grey16", SPNG_COLOR_TYPE_GRAYSCALE, 16},
        {"grey8_key", SPNG_COLOR_TYPE_GRAYSCALE, 8, true},
        {"grey2_key", SPNG_COLOR_TYPE_GRAYSCALE, 2, true},
        {"grey16_key", SPNG_COLOR_TYPE_GRAYSCALE, 16, true},
        {"grey_alpha8", SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 8},
        {"grey_alpha16", SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 16},
        {"rgb8", SPNG_COLOR_TYPE_TRUECOLOR, 8},
        {"rgb16", SPNG_COLOR_TYPE_TRUECOLOR, 16},
        {"rgb8_key", SPNG_COLOR_TYPE_TRUECOLOR, 8, true},
        {"rgb16_key", SPNG_COLOR_TYPE_TRUECOLOR, 16, true},
        {"rgba8", SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8},
        {"rgba16", SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 16},
        {"palette1", SPNG_COLOR_TYPE_INDEXED, 1},
        {"palette2", SPNG_COLOR_TYPE_INDEXED, 2},
        {"palette4", SPNG_COLOR_TYPE_INDEXED, 4},
        {"palette8", SPNG_COLOR_TYPE_INDEXED, 8},
        {"palette1_alpha", SPNG_COLOR_TYPE_INDEXED, 1, true},
        {"palette4_alpha", SPNG_COLOR_TYPE_INDEXED, 4, true},
        {"palette8_alpha", SPNG_COLOR_TYPE_INDEXED, 8, true},
        {"rgba8_interlaced", SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8, false, true},
        {"grey1_interlaced", SPNG_COLOR_TYPE_GRAYSCALE, 1, false, true},
    };
}

std::vector<Bgra> PixelsOf(const Raster& picture)
{
    std::vector<Bgra> pixels;
    const bool alpha = picture.Form() == PixelForm::Bgra32;
    for (int y = 0; y < picture.Height(); ++y) {
        const auto row = picture.Row(y);
        for (int x = 0; x < picture.Width(); ++x) {
            const std::size_t at = static_cast<std::size_t>(x) * (alpha ? 4 : 3);
            pixels.push_back({row[at], row[at + 1], row[at + 2], alpha ? row[at + 3] : std::uint8_t{255}});
        }
    }
    return pixels;
}

bool AnyTransparent(const std::vector<Bgra>& pixels)
{
    for (const Bgra& pixel : pixels) {
        if (pixel[3] != 255)
            return true;
    }
    return false;
}

TEST(PngRead, EveryColourTypeAndBitDepth)
{
    for (const PngCase& c : PngCases()) {
        SCOPED_TRACE(c.name);
        const PngSample sample = SampleOf(c);
        Raster picture;
        const ReadNotes notes = ParsePng(sample.file, picture);
        EXPECT_FALSE(notes.incomplete);
        EXPECT_TRUE(notes.lossless);
        ASSERT_EQ(picture.Width(), static_cast<int>(kWidth));
        ASSERT_EQ(picture.Height(), static_cast<int>(kHeight));
        // Only a picture with a pixel that is not opaque keeps an alpha channel.
        EXPECT_EQ(picture.Form(), AnyTransparent(sample.expected) ? PixelForm::Bgra32 : PixelForm::Bgr24);
        EXPECT_EQ(PixelsOf(picture), sample.expected);
    }
}

TEST(PngWrite, WhatIsReadIsWrittenAndReadBackExactly)
{
    for (const PngCase& c : PngCases()) {
        SCOPED_TRACE(c.name);
        Raster picture;
        ParsePng(SampleOf(c).file, picture);
        Raster back;
        ParsePng(EncodePng(picture), back);
        EXPECT_EQ(back.Form(), picture.Form());
        EXPECT_EQ(PixelsOf(back), PixelsOf(picture));
    }
}

std::vector<RefusedFile> FailCases()
{
    const Bytes good = SampleOf({"rgb8", SPNG_COLOR_TYPE_TRUECOLOR, 8}).file;
    Bytes notPng = good;
    notPng[1] = 'X';
    Bytes badCrc = good;
    badCrc[29] ^= 0xFF;  // the header chunk's CRC
    return {
        {"empty", {}, kStreamReadError, FailureCause::EmptyFile},
        {"not_a_png", notPng, "PNG error #" + std::to_string(SPNG_ESIGNATURE), FailureCause::NotAPicture},
        {"short_text", {'h', 'i', '\n'}, "PNG error #" + std::to_string(SPNG_ESIGNATURE), FailureCause::NotAPicture},
        {"cut_in_header", Bytes(good.begin(), good.begin() + 20), kStreamReadError, FailureCause::CutBeforePicture},
        {"bad_header_crc", badCrc, "PNG error #" + std::to_string(SPNG_ECHUNK_CRC), FailureCause::Damaged},
        // More pixels than the limit with sides within it, and a side beyond it: refused from
        // the header, before any store is made (the Raster's own refusal reads otherwise).
        {"too_many_pixels", PngHeaderDeclaring(16385, 16385), kPngTooLarge, FailureCause::TooLarge},
        {"too_wide", PngHeaderDeclaring(65536, 1), kPngTooLarge, FailureCause::TooLarge},
    };
}

TEST(PngRead, DamagedAndHostileFilesRaiseAndKeepTheRaster)
{
    ExpectEachRefused(FailCases(), ParsePng);
}

TEST(PngRead, TheSizeIsReadFromTheHeaderAlone)
{
    const PictureSize size = ReadPngSize(PngHeaderDeclaring(1000, 2000));
    EXPECT_EQ(size.width, 1000);
    EXPECT_EQ(size.height, 2000);
    EXPECT_EQ(MessageOf([] { ReadPngSize(PngHeaderDeclaring(16385, 16385)); }), kPngTooLarge);
}

// A file whose picture data ends early is read with the rows it has, the rest opaque black.
TEST(PngRead, AFileCutInItsPictureDataKeepsItsRowsAndIsNoted)
{
    Raster source;
    source.SetPixelForm(PixelForm::Bgra32);
    source.SetSizeForWriting(64, 64);
    for (int y = 0; y < 64; ++y) {
        const auto row = source.Row(y);
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<std::uint8_t>(std::rand());  // noise: the rows do not compress
    }
    Bytes file = EncodePng(source);
    file.resize(file.size() / 2);
    Raster picture;
    const ReadNotes notes = ParsePng(file, picture);
    EXPECT_TRUE(notes.incomplete);
    ASSERT_EQ(picture.Form(), PixelForm::Bgra32);
    EXPECT_TRUE(std::equal(source.Row(0).begin(), source.Row(0).end(), picture.Row(0).begin()));
    const auto last = picture.Row(63);
    EXPECT_EQ(std::vector<std::uint8_t>(last.begin(), last.begin() + 4), (std::vector<std::uint8_t>{0, 0, 0, 255}));
}

// With PICBATCH_FUZZ_SEEDS set, every file these tests build becomes a seed of the fuzzer.
TEST(PngRead, WritesFuzzSeeds)
{
    const FuzzSeeds seeds(".png");
    if (!seeds.Wanted())
        GTEST_SKIP() << "PICBATCH_FUZZ_SEEDS not set";
    for (const PngCase& c : PngCases())
        seeds.Save(c.name, SampleOf(c).file);
    for (const RefusedFile& c : FailCases())
        seeds.Save(c.name, c.bytes);
}

}  // namespace

}  // namespace picbatch
