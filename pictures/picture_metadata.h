// What a source file says about its pixels besides the pixels: how it is oriented, the
// colour profile they are in, and its EXIF block.
#pragma once

#include <cstdint>
#include <string>
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

// The metadata of the picture file at path, by its name's extension. A file that cannot be
// read, or whose header is damaged, has none: its conversion reports the reader's error.
// Throws only std::bad_alloc.
PictureMetadata ReadPictureMetadata(const std::string& path);

// The metadata of a JPEG file at path: its APP1 EXIF and APP2 ICC_PROFILE segments.
PictureMetadata ReadJpegMetadata(const std::string& path);

}  // namespace picbatch
