// What the format table's PNG row points at besides the encoder: reading a PNG file whole,
// and its header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pictures/picture_header.h"
#include "pictures/read_notes.h"

namespace picbatch {

class Raster;
struct EncodeSettings;

// The file at path read whole (ParsePng).
Raster ReadPngFile(const std::string& path, ReadNotes& notes);

// The memory reading the file at path takes, from its header (ReadWholeReadHeader).
PictureHeader ReadPngFileHeader(const std::string& path);

// EncodePng: PNG files are written without loss, whatever the settings.
std::vector<std::uint8_t> EncodePngFile(const Raster& picture, const EncodeSettings& settings);

// What encoding a picture of pixels pixels holds besides it (PictureFormat::encodeBytes).
std::int64_t PngEncodeBytes(std::int64_t pixels);

}  // namespace picbatch
