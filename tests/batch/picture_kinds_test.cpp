// Runs over folders of PNG, WebP and ".jpeg" pictures: which entries are pictures, the names
// and formats written in each mode, transparency kept or laid over white, lossless WebP kept
// lossless, animations refused with their explanation.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <vector>

#include "batch/folder_conversion.h"
#include "batch/source_listing.h"
#include "imaging/raster.h"
#include "pictures/png/png.h"
#include "pictures/webp/webp.h"
#include "tests/batch/picture_files.h"
#include "tests/pictures/webp_builder.h"

namespace picbatch {

namespace {

using Bgra = std::array<std::uint8_t, 4>;

// An opaque red square on fully transparent black, 8 x 8.
Raster RedSquare()
{
    Raster picture;
    picture.SetPixelForm(PixelForm::Bgra32);
    picture.SetSizeForWriting(8, 8);
    for (int y = 2; y < 6; ++y) {
        for (int x = 2; x < 6; ++x) {
            const auto pixel = picture.Row(y).subspan(static_cast<std::size_t>(4 * x), 4);
            pixel[2] = 255;
            pixel[3] = 255;
        }
    }
    return picture;
}

bool StoredLossless(const std::string& webpPath)
{
    Raster picture;
    return ParseWebp(ReadBytes(webpPath), picture).lossless;
}

ConversionSummary Convert(const TempFolder& source, const TempFolder& destination, int width, int height,
                          OutputMode mode)
{
    const FolderConversion job{source.Path(), destination.Path(), {width, height, mode, {}}, 2};
    return ConvertFolder(job, ListFolderFiles(source.Path()), [](const EntryOutcome&) {});
}

TEST(PictureKinds, KeepModeWritesEachKindInItsOwnFormatAndName)
{
    const TempFolder source;
    const TempFolder destination;
    WriteJpegFile(source / "photo.jpeg", TestPicture(9, 7, 200, 100, 50));
    WriteBytes(source / "square.png", EncodePng(RedSquare()));
    WriteBytes(source / "opaque.png", EncodePng(TestPicture(9, 7, 1, 2, 3)));
    WriteBytes(source / "exact.webp", EncodeWebpLossless(RedSquare()));
    WriteBytes(source / "lossy.webp", EncodeWebpLossy(TestPicture(9, 7, 1, 2, 3)));
    WriteBytes(source / "moving.webp", AnimatedWebp(4, 4));

    const ConversionSummary summary = Convert(source, destination, 8, 8, OutputMode::KeepFormat);
    EXPECT_EQ(summary.pictures, 6);
    EXPECT_EQ(summary.converted, 5);
    ASSERT_EQ(summary.failures.size(), 1u);
    EXPECT_EQ(summary.failures[0].name, "moving.webp");
    EXPECT_EQ(summary.failures[0].message, "Animated WebP image is not supported（不支持动画图片，只能转换静态图片）");
    EXPECT_EQ(FolderNames(destination.Path()),
              (std::set<std::string>{"PHOTO.jpeg", "SQUARE.png", "OPAQUE.png", "EXACT.webp", "LOSSY.webp"}));

    // At the source's own size a transparent PNG and a lossless WebP come back exactly.
    const Raster square = RedSquare();
    for (const char* name : {"SQUARE.png", "EXACT.webp"}) {
        const Raster written = LoadedPicture(destination / name);
        ASSERT_EQ(written.Form(), PixelForm::Bgra32) << name;
        for (int y = 0; y < 8; ++y)
            EXPECT_TRUE(std::equal(square.Row(y).begin(), square.Row(y).end(), written.Row(y).begin())) << name;
    }
    EXPECT_TRUE(StoredLossless(destination / "EXACT.webp"));
    EXPECT_FALSE(StoredLossless(destination / "LOSSY.webp"));
    EXPECT_EQ(LoadedPicture(destination / "OPAQUE.png").Form(), PixelForm::Bgr24);
    EXPECT_EQ(LoadedPicture(destination / "PHOTO.jpeg").Width(), 8);
}

// JPEG and BMP have no alpha: a transparent picture is laid over white.
TEST(PictureKinds, FormatsWithoutAlphaGetTheTransparentPictureOverWhite)
{
    const TempFolder source;
    const TempFolder destination;
    Raster square = RedSquare();
    square.Row(0)[3] = 128;  // the top-left pixel half transparent black
    WriteBytes(source / "square.png", EncodePng(square));

    const ConversionSummary summary = Convert(source, destination, 8, 8, OutputMode::Bmp);
    ASSERT_EQ(summary.converted, 1);
    const Raster written = LoadedPicture(destination / "SQUARE.bmp");
    ASSERT_EQ(written.Form(), PixelForm::Bgr24);
    std::uint8_t bgr[3];
    written.PixelBgr(0, 0, bgr);
    EXPECT_EQ(std::vector<std::uint8_t>(bgr, bgr + 3), (std::vector<std::uint8_t>{127, 127, 127}));
    written.PixelBgr(7, 7, bgr);
    EXPECT_EQ(std::vector<std::uint8_t>(bgr, bgr + 3), (std::vector<std::uint8_t>{255, 255, 255}));
    written.PixelBgr(3, 3, bgr);
    EXPECT_EQ(std::vector<std::uint8_t>(bgr, bgr + 3), (std::vector<std::uint8_t>{0, 0, 255}));

    const TempFolder jpeg;
    ASSERT_EQ(Convert(source, jpeg, 8, 8, OutputMode::Jpeg).converted, 1);
    LoadedPicture(jpeg / "SQUARE.jpg").PixelBgr(7, 0, bgr);
    EXPECT_GE(std::min({bgr[0], bgr[1], bgr[2]}), 240) << "white, within what JPEG keeps";

    // Resampled, the edge between red and the white around it holds no darker pixel.
    const TempFolder smaller;
    ASSERT_EQ(Convert(source, smaller, 5, 5, OutputMode::Bmp).converted, 1);
    const Raster reduced = LoadedPicture(smaller / "SQUARE.bmp");
    for (int y = 1; y < 5; ++y) {
        for (int x = 1; x < 5; ++x) {
            reduced.PixelBgr(x, y, bgr);
            EXPECT_EQ(bgr[2], 255) << "red stays full at " << x << ", " << y;
            EXPECT_EQ(bgr[0], bgr[1]) << "white fades evenly into red at " << x << ", " << y;
        }
    }
}

}  // namespace

}  // namespace picbatch
