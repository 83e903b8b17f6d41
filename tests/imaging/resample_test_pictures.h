// Small generated pictures for the resampler's tests.
#pragma once

#include "imaging/raster.h"

#include <cstdint>
#include <random>

namespace picbatch {

// A Bgr24 picture whose pixel bytes come from paint(x, y, channel).
Raster PaintedPicture(int width, int height, auto paint)
{
    Raster picture;
    picture.SetPixelForm(PixelForm::Bgr24);
    picture.SetWidth(width);
    picture.SetHeight(height);
    for (int y = 0; y < height; ++y) {
        const auto row = picture.Row(y);
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                row[static_cast<std::size_t>(3 * x + c)] = static_cast<std::uint8_t>(paint(x, y, c));
            }
        }
    }
    return picture;
}

inline Raster NoisePicture(int width, int height, std::uint32_t seed)
{
    std::mt19937 random(seed);
    return PaintedPicture(width, height, [&](int, int, int) { return random() & 0xFF; });
}

// Smooth shading, a hard-edged disc, fine stripes and a little noise: the mix of a photo.
inline Raster PhotoLikePicture(int width, int height, std::uint32_t seed)
{
    std::mt19937 random(seed);
    return PaintedPicture(width, height, [&](int x, int y, int c) {
        const int dx = x - width / 3;
        const int dy = y - height / 2;
        const bool disc = dx * dx + dy * dy < (height / 4) * (height / 4);
        const int shade = disc ? 240 - 60 * c : (x * 200 / width + y * 55 / height + 40 * c) % 256;
        const int stripes = (x / 2 + y) % 5 == 0 ? 50 : 0;
        const int noise = static_cast<int>(random() % 9) - 4;
        const int value = shade - stripes + noise;
        return value < 0 ? 0 : value > 255 ? 255 : value;
    });
}

// Width, height and every pixel byte equal; padding bytes are 0 in both.
inline ::testing::AssertionResult SamePicture(const Raster& actual, const Raster& expected)
{
    if (actual.Width() != expected.Width() || actual.Height() != expected.Height()) {
        return ::testing::AssertionFailure() << "size " << actual.Width() << "x" << actual.Height() << ", expected "
                                             << expected.Width() << "x" << expected.Height();
    }
    for (int y = 0; y < actual.Height(); ++y) {
        const auto a = actual.Row(y);
        const auto e = expected.Row(y);
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i] != e[i]) {
                return ::testing::AssertionFailure() << "row " << y << " byte " << i << ": " << int{a[i]}
                                                     << ", expected " << int{e[i]};
            }
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace picbatch
