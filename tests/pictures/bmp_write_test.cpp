// Writing BMP files: the exact 24-bit layout, and reading back what was written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp.h"

namespace picbatch {

namespace {

using Bytes = std::vector<std::uint8_t>;

Raster Bgr24Picture(int width, int height)
{
    Raster raster;
    raster.SetPixelForm(PixelForm::Bgr24);
    raster.SetWidth(width);
    raster.SetHeight(height);
    return raster;
}

void SetPixel(Raster& raster, int x, int y, std::uint8_t blue, std::uint8_t green, std::uint8_t red)
{
    auto row = raster.Row(y);
    row[static_cast<std::size_t>(3 * x)] = blue;
    row[static_cast<std::size_t>(3 * x + 1)] = green;
    row[static_cast<std::size_t>(3 * x + 2)] = red;
}

Bytes StoreOf(const Raster& raster)
{
    const auto bits = raster.Bits();
    return Bytes(bits.begin(), bits.end());
}

TEST(BmpWrite, TwoByTwoExampleByteForByte)
{
    Raster raster = Bgr24Picture(2, 2);
    SetPixel(raster, 0, 0, 0, 0, 255);      // red
    SetPixel(raster, 1, 0, 0, 255, 0);      // green
    SetPixel(raster, 0, 1, 255, 0, 0);      // blue
    SetPixel(raster, 1, 1, 255, 255, 255);  // white
    const Bytes expected = {
        0x42, 0x4D, 0x46, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0,
        0x28, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0x18, 0,
        0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0,
        0, 0, 0xFF, 0, 0xFF, 0, 0, 0,
    };
    EXPECT_EQ(EncodeBmp(raster), expected);
}

TEST(BmpWrite, FileSizeFollowsRowPadding)
{
    struct Case {
        int width;
        int height;
        std::size_t size;
    };
    for (const Case c : {Case{1, 1, 58}, Case{3, 1, 66}, Case{4, 1, 66}, Case{5, 3, 102}, Case{2, 5, 94}}) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const Bytes bytes = EncodeBmp(Bgr24Picture(c.width, c.height));
        ASSERT_EQ(bytes.size(), c.size);
        const std::uint32_t fileSize = bytes[2] | bytes[3] << 8 | bytes[4] << 16 | bytes[5] << 24;
        const std::uint32_t imageSize = bytes[34] | bytes[35] << 8 | bytes[36] << 16 | bytes[37] << 24;
        EXPECT_EQ(fileSize, c.size);
        EXPECT_EQ(imageSize, c.size - 54);
    }
    // One white pixel: three colour bytes and one padding byte of 0.
    const Bytes one = EncodeBmp(Bgr24Picture(1, 1));
    EXPECT_EQ(Bytes(one.begin() + 54, one.end()), (Bytes{255, 255, 255, 0}));
}

TEST(BmpWrite, EmptyRasterGivesNoBytes)
{
    EXPECT_TRUE(EncodeBmp(Raster()).empty());
    Raster noHeight;
    noHeight.SetPixelForm(PixelForm::Bgr24);
    noHeight.SetWidth(7);
    EXPECT_TRUE(EncodeBmp(noHeight).empty());
}

TEST(BmpWrite, OtherFormsAreWrittenAsTheirColours)
{
    Raster paletted;
    paletted.SetPixelForm(PixelForm::Paletted8);
    paletted.SetWidth(2);
    paletted.SetHeight(1);
    const ColorEntry table[] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    paletted.SetColorTable(table);
    paletted.Row(0)[0] = 1;
    paletted.Row(0)[1] = 0;
    const Bytes bytes = EncodeBmp(paletted);
    ASSERT_EQ(bytes.size(), 62u);
    EXPECT_EQ(bytes[28], 24);
    EXPECT_EQ(Bytes(bytes.begin() + 54, bytes.end()), (Bytes{4, 5, 6, 1, 2, 3, 0, 0}));
    EXPECT_EQ(paletted.Form(), PixelForm::Paletted8);  // the caller's picture is unchanged
}

// Every width from 1 to 9 meets every padding length; the bytes are a pattern that differs
// from pixel to pixel and row to row.
TEST(BmpWrite, ReadingBackGivesTheSamePicture)
{
    for (int width = 1; width <= 9; ++width) {
        SCOPED_TRACE("width " + std::to_string(width));
        Raster raster = Bgr24Picture(width, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < width; ++x)
                SetPixel(raster, x, y, static_cast<std::uint8_t>(x * 31 + y), static_cast<std::uint8_t>(y * 77 + 5),
                         static_cast<std::uint8_t>(255 - x * y));
        Raster back;
        ParseBmp(EncodeBmp(raster), back);
        EXPECT_EQ(back.Form(), PixelForm::Bgr24);
        EXPECT_EQ(back.Width(), width);
        EXPECT_EQ(back.Height(), 3);
        EXPECT_EQ(StoreOf(back), StoreOf(raster));
    }
}

TEST(BmpWrite, WritesFilesAndReportsUncreatableOnes)
{
    const auto folder = std::filesystem::path(testing::TempDir()) / "bmp_write_test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    Raster raster = Bgr24Picture(3, 2);
    SetPixel(raster, 2, 1, 9, 8, 7);

    const auto path = folder / "out.bmp";
    WriteBmp(raster, path.string());
    std::ifstream in(path, std::ios::binary);
    const Bytes written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(written, EncodeBmp(raster));
    Raster back;
    ReadBmp(path.string(), back);
    EXPECT_EQ(StoreOf(back), StoreOf(raster));

    // An empty picture replaces the file with an empty one.
    WriteBmp(Raster(), path.string());
    EXPECT_EQ(std::filesystem::file_size(path), 0u);

    const auto unreachable = folder / "no such folder" / "out.bmp";
    try {
        WriteBmp(raster, unreachable.string());
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot create file \"" + unreachable.string() + "\". No such file or directory");
    }
    std::filesystem::remove_all(folder);
}

}  // namespace

}  // namespace picbatch
