// Raster: store layout, row order, sizing, conversions into blue, green, red, sharing.
#include "imaging/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/error.h"
#include "tests/imaging/error_text.h"

namespace picbatch {

namespace {

Raster MakeRaster(PixelForm form, int width, int height)
{
    Raster raster;
    raster.SetPixelForm(form);
    raster.SetWidth(width);
    raster.SetHeight(height);
    return raster;
}

std::vector<std::uint8_t> Pixel(const Raster& raster, int x, int y)
{
    const auto row = raster.Row(y);
    return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
}

}  // namespace

TEST(RasterStore, NewPictureIsWhiteWithZeroPadding)
{
    Raster raster = MakeRaster(PixelForm::Bgr24, 3, 2);
    const auto bits = raster.Bits();
    ASSERT_EQ(bits.size(), 24u);
    for (int row = 0; row < 2; ++row) {
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(bits[row * 12 + i], 255);
        for (int i = 9; i < 12; ++i)
            EXPECT_EQ(bits[row * 12 + i], 0);
    }
}

TEST(RasterStore, RowSizesArePaddedToFourBytes)
{
    const int expected[] = {4, 8, 12, 12, 16, 20};
    for (int width = 1; width <= 6; ++width)
        EXPECT_EQ(RowSizeFor(width, 24), expected[width - 1]) << width;
    EXPECT_EQ(RowSizeFor(33, 1), 8);
    EXPECT_EQ(RowSizeFor(9, 4), 8);
}

TEST(RasterStore, RowsAreStoredBottomUp)
{
    Raster raster = MakeRaster(PixelForm::Bgr24, 2, 2);
    const std::uint8_t* store = raster.Bits().data();
    EXPECT_EQ(raster.Row(1).data(), store);
    EXPECT_EQ(raster.Row(0).data(), store + 8);
    EXPECT_EQ(raster.Row(1).data() - raster.Row(0).data(), raster.RowStep());
    EXPECT_EQ(raster.RowStep(), -8);
}

TEST(RasterStore, RowOutsideThePictureFails)
{
    Raster raster = MakeRaster(PixelForm::Bgr24, 2, 2);
    EXPECT_EQ(ErrorText([&] { raster.Row(2); }), "Scan line index out of range");
    EXPECT_EQ(ErrorText([&] { raster.Row(-1); }), "Scan line index out of range");
    Raster empty;
    EXPECT_EQ(ErrorText([&] { empty.Row(0); }), "Scan line index out of range");
}

TEST(RasterStore, StoreIsMadeOnlyWhenBothSidesArePositive)
{
    Raster raster;
    raster.SetPixelForm(PixelForm::Bgr24);
    raster.SetWidth(5);
    EXPECT_EQ(raster.Width(), 5);
    EXPECT_EQ(raster.Height(), 0);
    EXPECT_TRUE(raster.Empty());
    raster.SetHeight(4);
    EXPECT_FALSE(raster.Empty());
    EXPECT_EQ(Pixel(raster, 4, 3), (std::vector<std::uint8_t>{255, 255, 255}));
    raster.SetWidth(0);
    EXPECT_TRUE(raster.Empty());
    EXPECT_TRUE(raster.Row(0).empty());  // a positive height without width: rows of length 0
}

TEST(RasterStore, ResizingKeepsTheTopLeftPart)
{
    Raster raster = MakeRaster(PixelForm::Bgr24, 2, 2);
    raster.Row(0)[0] = 1;  // top-left blue
    raster.Row(1)[3] = 2;  // bottom-right blue
    raster.SetHeight(3);
    EXPECT_EQ(raster.Row(0)[0], 1);
    EXPECT_EQ(raster.Row(1)[3], 2);
    EXPECT_EQ(Pixel(raster, 0, 2), (std::vector<std::uint8_t>{255, 255, 255}));
    raster.SetWidth(1);
    EXPECT_EQ(raster.Row(0)[0], 1);
    EXPECT_EQ(raster.Row(0)[3], 0);  // padding
}

TEST(RasterStore, NegativeAndOversizedDimensionsChangeNothing)
{
    Raster raster = MakeRaster(PixelForm::Bgr24, 4, 4);
    EXPECT_THROW(raster.SetWidth(-1), Error);
    EXPECT_THROW(raster.SetHeight(-5), Error);
    EXPECT_EQ(ErrorText([&] { raster.SetWidth(70000); raster.SetHeight(70000); }), "Out of system resources");
    EXPECT_EQ(raster.Width(), 70000);  // the first call was fine: 70000 x 4
    raster.SetWidth(4);
    EXPECT_EQ(ErrorText([&] { raster.SetHeight(100000000); }), "Out of system resources");
    EXPECT_EQ(raster.Height(), 4);
    EXPECT_FALSE(raster.Empty());
}

// Pictures above the huge-page size take the other allocation path: the same contract.
TEST(RasterStore, LargeStoresAreWhiteWithZeroPaddingToo)
{
    const int width = 1023, height = 700;  // rows of 3069 bytes and 3 padding bytes; 2.1 MB
    ASSERT_GE(static_cast<std::size_t>(RowSizeFor(width, 24) * height), PixelMemory::kHugePageBytes);
    const Raster raster = MakeRaster(PixelForm::Bgr24, width, height);
    for (int y : {0, height / 2, height - 1}) {
        const auto row = raster.Row(y);
        EXPECT_EQ(std::count(row.begin(), row.begin() + width * 3, 255), width * 3) << y;
        EXPECT_EQ(std::count(row.begin() + width * 3, row.end(), 0), 3) << y;
    }
}

TEST(RasterStore, SizeForWritingGivesAZeroStoreAndDropsTheOldOne)
{
    for (PixelForm form : {PixelForm::Bgr24, PixelForm::Paletted8}) {
        SCOPED_TRACE(BitsPerPixel(form));
        Raster raster = MakeRaster(form, 2, 2);
        raster.Row(0)[0] = 7;
        const Raster shared = raster;
        raster.SetSizeForWriting(3, 2);
        EXPECT_EQ(raster.Width(), 3);
        EXPECT_EQ(raster.Height(), 2);
        const auto bits = raster.Bits();
        EXPECT_EQ(bits.size(), static_cast<std::size_t>(RowSizeFor(3, BitsPerPixel(form)) * 2));
        EXPECT_EQ(std::count(bits.begin(), bits.end(), 0), static_cast<std::ptrdiff_t>(bits.size()));
        EXPECT_EQ(shared.Row(0)[0], 7);  // a copy keeps the old store

        raster.SetSizeForWriting(0, 5);
        EXPECT_TRUE(raster.Empty());
        EXPECT_EQ(raster.Height(), 5);
    }
}

TEST(RasterStore, SizeForWritingRefusesWhatSetWidthRefusesAndChangesNothing)
{
    Raster raster = MakeRaster(PixelForm::Bgr24, 4, 4);
    raster.Row(0)[0] = 7;
    EXPECT_EQ(ErrorText([&] { raster.SetSizeForWriting(-1, 4); }), "Picture width cannot be negative");
    EXPECT_EQ(ErrorText([&] { raster.SetSizeForWriting(4, -1); }), "Picture height cannot be negative");
    EXPECT_EQ(ErrorText([&] { raster.SetSizeForWriting(70000, 70000); }), "Out of system resources");
    EXPECT_EQ(raster.Width(), 4);
    EXPECT_EQ(raster.Height(), 4);
    EXPECT_EQ(raster.Row(0)[0], 7);
}

TEST(PixelMemoryBlock, EveryBlockIsZeroAlignedAndWritable)
{
    constexpr std::size_t kHuge = PixelMemory::kHugePageBytes;
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{1000}, kHuge - 1, kHuge, 5 * kHuge + 123}) {
        SCOPED_TRACE(size);
        std::optional<PixelMemory> block = PixelMemory::Allocate(size);
        ASSERT_TRUE(block);
        ASSERT_NE(block->Data(), nullptr);
        EXPECT_EQ(block->Size(), size);
        const auto address = reinterpret_cast<std::uintptr_t>(block->Data());
        EXPECT_EQ(address % PixelMemory::kAlignment, 0u);
        if (size >= kHuge && PixelMemory::kMapsLargeBlocks) {
            EXPECT_EQ(address % kHuge, 0u);  // huge pages need the boundary
        }
        EXPECT_EQ(std::count(block->Data(), block->Data() + size, 0), static_cast<std::ptrdiff_t>(size));
        if (size > 0) {
            block->Data()[0] = 1;
            block->Data()[size - 1] = 2;
        }
        // Moving hands the block over; the old holder releases nothing.
        PixelMemory moved = std::move(*block);
        EXPECT_EQ(block->Data(), nullptr);
        EXPECT_EQ(moved.Size(), size);
        if (size > 0) {
            EXPECT_EQ(moved.Data()[size - 1], 2);
        }
    }
}

// The heap hands freed blocks out again; a new block must not show the old bytes.
TEST(PixelMemoryBlock, ReusedHeapBlocksAreCleared)
{
    for (int round = 0; round < 3; ++round) {
        std::optional<PixelMemory> block = PixelMemory::Allocate(256);
        ASSERT_TRUE(block);
        EXPECT_EQ(std::count(block->Data(), block->Data() + 256, 0), 256) << round;
        std::fill(block->Data(), block->Data() + 256, std::uint8_t{0xAA});
    }
}

TEST(RasterConversion, EveryFormBecomesBlueGreenRed)
{
    struct Case {
        const char* name;
        PixelForm form;
        std::vector<std::uint8_t> pixelBytes;  // the first bytes of the only row
        std::vector<std::uint8_t> expected;    // blue, green, red of pixel 0
    };
    const std::vector<ColorEntry> table = {{1, 2, 3, 0}, {4, 5, 6, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},
                                           {0, 0, 0, 0}, {10, 20, 30, 0}};
    const Case cases[] = {
        {"paletted1 index 1", PixelForm::Paletted1, {0x80}, {4, 5, 6}},
        {"paletted4 index 5", PixelForm::Paletted4, {0x50}, {10, 20, 30}},
        {"paletted8 index 5", PixelForm::Paletted8, {5}, {10, 20, 30}},
        {"paletted8 past table", PixelForm::Paletted8, {200}, {0, 0, 0}},
        {"plain16 full red", PixelForm::Plain16, {0x00, 0x7C}, {0, 0, 255}},
        {"plain16 mid green", PixelForm::Plain16, {0x00, 0x02}, {0, 132, 0}},  // 16 of 31 -> 131.6
        {"plain32 drops fourth", PixelForm::Plain32, {1, 2, 3, 4}, {1, 2, 3}},
        {"bgr24 unchanged", PixelForm::Bgr24, {7, 8, 9}, {7, 8, 9}},
        // Straight alpha laid over white, rounded: 255 x 127 / 255 = 127, plus 0 from blue.
        {"bgra32 half over white", PixelForm::Bgra32, {0, 100, 255, 128}, {127, 177, 255}},
        {"bgra32 opaque unchanged", PixelForm::Bgra32, {1, 2, 3, 255}, {1, 2, 3}},
        {"bgra32 transparent is white", PixelForm::Bgra32, {1, 2, 3, 0}, {255, 255, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Raster raster = MakeRaster(c.form, 1, 1);
        raster.SetColorTable(table);
        std::copy(c.pixelBytes.begin(), c.pixelBytes.end(), raster.Row(0).begin());
        raster.SetPixelForm(PixelForm::Bgr24);
        EXPECT_EQ(raster.Form(), PixelForm::Bgr24);
        EXPECT_EQ(Pixel(raster, 0, 0), c.expected);
        EXPECT_EQ(raster.Row(0)[3], 0);
    }
}

TEST(RasterConversion, MaskedChannelsAreScaledToFullRange)
{
    struct Case {
        const char* name;
        PixelForm form;
        ChannelMasks masks;
        std::uint32_t word;
        std::vector<std::uint8_t> expected;
    };
    const Case cases[] = {
        {"565 white", PixelForm::Masked16, {0xF800, 0x07E0, 0x001F}, 0xFFFF, {255, 255, 255}},
        {"565 green 1 of 63", PixelForm::Masked16, {0xF800, 0x07E0, 0x001F}, 0x0020, {0, 4, 0}},
        {"zero mask gives 0", PixelForm::Masked16, {0x7C00, 0, 0x001F}, 0xFFFF, {255, 0, 255}},
        {"8-bit channels unchanged", PixelForm::Masked32, {0x00FF0000, 0x0000FF00, 0x000000FF}, 0x00102030,
         {0x30, 0x20, 0x10}},
        {"10-bit channels", PixelForm::Masked32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0x3FF00200,
         {128, 0, 255}},  // blue 512 of 1023
        {"one-bit channel", PixelForm::Masked32, {0x80000000, 0, 0}, 0x80000000, {0, 0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Raster raster = MakeRaster(c.form, 1, 1);
        raster.SetMasks(c.masks);
        auto row = raster.Row(0);
        for (int i = 0; i < BitsPerPixel(c.form) / 8; ++i)
            row[i] = static_cast<std::uint8_t>(c.word >> (8 * i));
        raster.SetPixelForm(PixelForm::Bgr24);
        EXPECT_EQ(Pixel(raster, 0, 0), c.expected);
    }
}

TEST(RasterConversion, SubBytePixelsKeepTheirPositions)
{
    Raster raster = MakeRaster(PixelForm::Paletted1, 10, 2);
    const std::vector<ColorEntry> table = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    raster.SetColorTable(table);
    raster.Row(0)[1] = 0x40;  // pixel 9 of the top row
    raster.Row(1)[0] = 0x80;  // pixel 0 of the bottom row
    std::uint8_t bgr[3];
    raster.PixelBgr(9, 0, bgr);
    EXPECT_EQ(bgr[0], 255);
    raster.PixelBgr(8, 0, bgr);
    EXPECT_EQ(bgr[0], 0);
    raster.SetPixelForm(PixelForm::Bgr24);
    EXPECT_EQ(Pixel(raster, 9, 0)[1], 255);
    EXPECT_EQ(Pixel(raster, 0, 1)[1], 255);
    EXPECT_EQ(Pixel(raster, 0, 0)[1], 0);
}

TEST(RasterConversion, SameFormKeepsTheStore)
{
    Raster raster = MakeRaster(PixelForm::Bgr24, 3, 3);
    const std::uint8_t* before = raster.Bits().data();
    raster.SetPixelForm(PixelForm::Bgr24);
    EXPECT_EQ(raster.Bits().data(), before);
}

TEST(RasterDraw, ConvertsTheOverlapAndLeavesTheRest)
{
    Raster target = MakeRaster(PixelForm::Bgr24, 3, 1);
    Raster source = MakeRaster(PixelForm::Paletted8, 2, 2);
    const std::vector<ColorEntry> table = {{10, 20, 30, 0}};
    source.SetColorTable(table);
    target.DrawPicture(source);
    EXPECT_EQ(Pixel(target, 0, 0), (std::vector<std::uint8_t>{10, 20, 30}));
    EXPECT_EQ(Pixel(target, 1, 0), (std::vector<std::uint8_t>{10, 20, 30}));
    EXPECT_EQ(Pixel(target, 2, 0), (std::vector<std::uint8_t>{255, 255, 255}));

    const Raster before = target;
    target.DrawPicture(Raster());
    EXPECT_TRUE(std::equal(before.Bits().begin(), before.Bits().end(), target.Bits().begin()));
}

TEST(RasterSharing, CopiesAreIndependent)
{
    Raster original = MakeRaster(PixelForm::Bgr24, 2, 2);
    Raster copy;
    copy.Assign(original);
    EXPECT_EQ(copy.Bits().data() == original.Bits().data(), false);  // writable access detaches
    copy.Row(0)[0] = 7;
    EXPECT_EQ(original.Row(0)[0], 255);

    Raster drawn = MakeRaster(PixelForm::Bgr24, 2, 2);
    drawn.DrawPicture(original);
    original.Row(1)[0] = 9;
    EXPECT_EQ(drawn.Row(1)[0], 255);
}

}  // namespace picbatch
