// The metadata of a JPEG file, from its APP1 and APP2 segments.
#pragma once

#include <string>

#include "pictures/picture_metadata.h"

namespace picbatch {

// The metadata of a JPEG file at path: its APP1 EXIF and APP2 ICC_PROFILE segments; none for
// a file that cannot be read or whose header is damaged. Throws only std::bad_alloc.
PictureMetadata ReadJpegMetadata(const std::string& path);

}  // namespace picbatch
