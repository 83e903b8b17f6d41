// The resampler on premultiplied colours: transparent pixels lend no colour to their
// neighbours, a picture at its own size comes back exactly, a constant picture stays so.
#include "imaging/resample_alpha.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <random>
#include <vector>

#include "imaging/raster.h"
#include "imaging/resample.h"
#include "tests/imaging/resample_test_pictures.h"

namespace picbatch {

namespace {

using Bgra = std::array<std::uint8_t, 4>;

// A Bgra32 picture whose pixels come from paint(x, y).
template <typename Paint>
Raster PaintedWithAlpha(int width, int height, Paint paint)
{
    Raster picture;
    picture.SetPixelForm(PixelForm::Bgra32);
    picture.SetSizeForWriting(width, height);
    for (int y = 0; y < height; ++y) {
        const auto row = picture.Row(y);
        for (int x = 0; x < width; ++x) {
            const Bgra pixel = paint(x, y);
            std::copy(pixel.begin(), pixel.end(), row.begin() + 4 * x);
        }
    }
    return picture;
}

Bgra PixelAt(const Raster& picture, int x, int y)
{
    const auto row = picture.Row(y);
    return {row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
}

struct Size {
    int width;
    int height;
};

constexpr Size kTargets[] = {{13, 11}, {5, 5}, {6, 9}, {1, 1}, {40, 3}};

// An opaque red square on fully transparent black: with colours weighted by their alpha, the
// black of the transparent pixels never reaches the edge, which stays pure red at any opacity.
TEST(ResampleAlpha, EdgesOfAShapeOnTransparentBlackKeepTheirColour)
{
    const Raster square = PaintedWithAlpha(8, 8, [](int x, int y) {
        const bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
        return inside ? Bgra{0, 0, 255, 255} : Bgra{0, 0, 0, 0};
    });
    for (const Size target : kTargets) {
        SCOPED_TRACE(::testing::Message() << target.width << " x " << target.height);
        const Raster result = ResampleAlpha(square, target.width, target.height);
        ASSERT_EQ(result.Form(), PixelForm::Bgra32);
        int edges = 0;
        for (int y = 0; y < target.height; ++y) {
            for (int x = 0; x < target.width; ++x) {
                const Bgra pixel = PixelAt(result, x, y);
                if (pixel[3] == 0)
                    continue;
                EXPECT_EQ(pixel, (Bgra{0, 0, 255, pixel[3]})) << "at " << x << ", " << y;
                edges += pixel[3] < 255 ? 1 : 0;
            }
        }
        if (target.width > 1)
            EXPECT_GT(edges, 0) << "the square has soft edges to check";
    }
}

TEST(ResampleAlpha, AtItsOwnSizeEveryByteComesBack)
{
    std::mt19937 random(3);
    const Raster noise = PaintedWithAlpha(23, 17, [&](int, int) {
        return Bgra{static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                    static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random())};
    });
    const Raster result = ResampleAlpha(noise, 23, 17);
    for (int y = 0; y < 17; ++y) {
        for (int x = 0; x < 23; ++x) {
            const Bgra source = PixelAt(noise, x, y);
            // Under a fully transparent pixel no colour is left to give back.
            const Bgra expected = source[3] == 0 ? Bgra{0, 0, 0, 0} : source;
            ASSERT_EQ(PixelAt(result, x, y), expected) << "at " << x << ", " << y;
        }
    }
}

TEST(ResampleAlpha, AConstantPictureStaysConstant)
{
    for (const Bgra constant : {Bgra{10, 20, 30, 128}, Bgra{255, 255, 255, 1}, Bgra{7, 250, 90, 255}}) {
        const Raster picture = PaintedWithAlpha(9, 7, [&](int, int) { return constant; });
        for (const Size target : kTargets) {
            const Raster result = ResampleAlpha(picture, target.width, target.height);
            for (int y = 0; y < target.height; ++y)
                for (int x = 0; x < target.width; ++x)
                    ASSERT_EQ(PixelAt(result, x, y), constant) << target.width << " x " << target.height;
        }
    }
}

// Opaque throughout, the premultiplied road filters as the 24-bit one does; it keeps more
// precision between the passes and rounds at the end where the 24-bit one truncates after
// each pass, so a value may differ by two steps.
TEST(ResampleAlpha, OpaquePicturesComeOutAsFromThe24BitResampler)
{
    Raster photo = PhotoLikePicture(31, 27, 5);
    const Raster opaque = PaintedWithAlpha(31, 27, [&](int x, int y) {
        std::uint8_t bgr[3];
        photo.PixelBgr(x, y, bgr);
        return Bgra{bgr[0], bgr[1], bgr[2], 255};
    });
    for (const Size target : kTargets) {
        const Raster expected = ResampleLanczos(photo, target.width, target.height);
        const Raster result = ResampleAlpha(opaque, target.width, target.height);
        for (int y = 0; y < target.height; ++y) {
            for (int x = 0; x < target.width; ++x) {
                const Bgra pixel = PixelAt(result, x, y);
                std::uint8_t bgr[3];
                expected.PixelBgr(x, y, bgr);
                EXPECT_EQ(pixel[3], 255);
                for (int c = 0; c < 3; ++c)
                    EXPECT_LE(std::abs(pixel[c] - bgr[c]), 2) << target.width << " x " << target.height;
            }
        }
    }
}

}  // namespace

}  // namespace picbatch
