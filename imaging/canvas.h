// Placing a picture on a larger canvas of one colour.
#pragma once

#include <cstdint>

#include "imaging/raster.h"

namespace picbatch {

// A canvas colour: blue, green, red and alpha (0: transparent, 255: opaque).
struct CanvasColour {
    std::uint8_t blue = 255;
    std::uint8_t green = 255;
    std::uint8_t red = 255;
    std::uint8_t alpha = 255;
    bool operator==(const CanvasColour&) const = default;
};

// A width x height canvas of colour with picture (Bgr24 or Bgra32, lying inside it) drawn at
// left, top with its pixels unchanged. The canvas is Bgra32 where picture is or the colour
// is not opaque (picture's pixels then opaque), otherwise Bgr24. Throws the Raster's errors.
Raster OnCanvas(const Raster& picture, int width, int height, int left, int top, CanvasColour colour);

}  // namespace picbatch
