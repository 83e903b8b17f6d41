// What the format table's WebP row points at besides the encoder: reading a WebP file whole,
// and its header.
#pragma once

#include <cstdint>
#include <string>

#include "pictures/picture_header.h"
#include "pictures/read_notes.h"

namespace picbatch {

// What the memory budget counts for an encoded WebP: as much as the 24-bit picture, 3 bytes
// a pixel.
inline constexpr std::int64_t kWebpEncodedHalfBytesPerPixel = 6;

class Raster;

// The file at path read whole (ParseWebp).
Raster ReadWebpFile(const std::string& path, ReadNotes& notes);

// The memory reading the file at path takes, from its header (ReadWholeReadHeader).
PictureHeader ReadWebpFileHeader(const std::string& path);

}  // namespace picbatch
