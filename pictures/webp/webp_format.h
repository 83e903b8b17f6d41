// What the format table's WebP row points at besides the encoder: reading a WebP file whole,
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

// The file at path read whole (ParseWebp).
Raster ReadWebpFile(const std::string& path, ReadNotes& notes);

// The memory reading the file at path takes, from its header (ReadWholeReadHeader).
PictureHeader ReadWebpFileHeader(const std::string& path);

// EncodeWebpLossyAt the settings' quality.
std::vector<std::uint8_t> EncodeWebpFile(const Raster& picture, const EncodeSettings& settings);

// What encoding a picture of pixels pixels holds besides it (PictureFormat::encodeBytes).
std::int64_t WebpEncodeBytes(std::int64_t pixels);

}  // namespace picbatch
