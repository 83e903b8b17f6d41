// What the format table's PNG row points at besides the encoder: reading a PNG file whole,
// and its header.
#pragma once

#include <cstdint>
#include <string>

#include "pictures/picture_header.h"
#include "pictures/read_notes.h"

namespace picbatch {

// What the memory budget counts for an encoded PNG: as much as the 24-bit picture, 3 bytes a
// pixel.
inline constexpr std::int64_t kPngEncodedHalfBytesPerPixel = 6;

class Raster;

// The file at path read whole (ParsePng).
Raster ReadPngFile(const std::string& path, ReadNotes& notes);

// The memory reading the file at path takes, from its header (ReadWholeReadHeader).
PictureHeader ReadPngFileHeader(const std::string& path);

}  // namespace picbatch
