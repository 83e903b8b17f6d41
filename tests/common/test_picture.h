// A small picture for tests: one colour with a diagonal stripe, so resampling and encoding
// have work.
#pragma once

#include <cstdint>

#include "imaging/raster.h"

namespace picbatch {

// A width x height picture of one colour with a diagonal stripe, so resampling has work.
inline Raster TestPicture(int width, int height, std::uint8_t blue, std::uint8_t green, std::uint8_t red)
{
    Raster picture;
    picture.SetPixelForm(PixelForm::Bgr24);
    picture.SetWidth(width);
    picture.SetHeight(height);
    for (int y = 0; y < height; ++y) {
        auto row = picture.Row(y);
        for (int x = 0; x < width; ++x) {
            const bool stripe = x == y;
            row[3 * x] = stripe ? 255 - blue : blue;
            row[3 * x + 1] = stripe ? 255 - green : green;
            row[3 * x + 2] = stripe ? 255 - red : red;
        }
    }
    return picture;
}

}  // namespace picbatch
