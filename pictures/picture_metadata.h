// What a source file says about its pixels besides the pixels: how it is oriented, the
// colour profile they are in, and its EXIF block.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/orientation.h"

namespace picbatch {

struct PictureMetadata {
    // From the EXIF orientation tag; Normal without one.
    Orientation orientation = Orientation::Normal;
    // The embedded ICC profile's bytes, whole; empty without one.
    std::vector<std::uint8_t> iccProfile;
    // The EXIF block as a JPEG APP1 segment holds it, from "Exif\0\0" on; empty without one.
    std::vector<std::uint8_t> exif;
};

}  // namespace picbatch
