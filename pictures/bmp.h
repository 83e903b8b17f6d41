// BMP files: the reader of the common variants and the writer of the one 24-bit layout.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pictures/read_notes.h"

namespace picbatch {

class Raster;

// Reads a whole BMP file held in memory into raster, in the pixel form of the file.
// Zero bytes give an empty Raster. Throws Error ("Bitmap image is not valid",
// "Stream read error", ...); on failure raster keeps what it held. The notes say whether the
// pixel data ended before the picture did (the missing pixel bytes are then 0).
ReadNotes ParseBmp(std::span<const std::uint8_t> bytes, Raster& raster);

// ReadFileBytes(path), then ParseBmp.
ReadNotes ReadBmp(const std::string& path, Raster& raster);

// The file bytes of a Bgr24 (or empty) raster: 54-byte header and the bottom-up store;
// no bytes at all for an empty raster.
std::vector<std::uint8_t> EncodeBmp(const Raster& raster);

// EncodeBmp, then ReplaceFile(path).
void WriteBmp(const Raster& raster, const std::string& path);

}  // namespace picbatch
