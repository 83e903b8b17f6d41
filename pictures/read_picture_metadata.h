// Reading what a source file says about its pixels besides the pixels, by its format.
#pragma once

#include <string>

#include "pictures/picture_metadata.h"

namespace picbatch {

// The metadata of the picture file at path, by its name's extension (the row's
// readMetadata). A file that cannot be read, or whose header is damaged, has none: its
// conversion reports the reader's error. Throws only std::bad_alloc.
PictureMetadata ReadPictureMetadata(const std::string& path);

}  // namespace picbatch
