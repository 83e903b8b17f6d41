// Reading and rewriting a picture's EXIF block (as a JPEG APP1 segment holds it, from
// "Exif\0\0" on) through libexif.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/orientation.h"

namespace picbatch {

// The orientation the block's first IFD tags; Normal for none, a value outside 1..8, or a
// block libexif cannot read.
Orientation ExifOrientation(std::span<const std::uint8_t> exif);

// The block for a picture written at width x height: orientation 1 when resetOrientation
// (the picture was made upright), the pixel dimensions of the EXIF IFD set to the new size, no
// thumbnail, and without the GPS IFD when dropGps. Empty when libexif cannot read the block or the result would not fit one APP1
// segment. Throws only std::bad_alloc.
std::vector<std::uint8_t> ExifForOutput(std::span<const std::uint8_t> exif, int width, int height, bool dropGps,
                                        bool resetOrientation);

}  // namespace picbatch
