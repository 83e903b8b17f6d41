// PNG files through libspng: every bit depth and colour type read, 8-bit RGB or RGBA written.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pictures/picture_size.h"
#include "pictures/read_notes.h"

namespace picbatch {

class Raster;

// The explanation the user reads for a ".png" file that does not start like a PNG (cause
// NotAPicture).
inline constexpr const char* kNotAPngExplanation = "文件内容不是 PNG 图片";

// The message of a picture whose header declares more than the size limits allow.
inline constexpr const char* kPngTooLarge = "PNG image is too large";

// The width and height the header of a PNG file in memory declares, checked against the size
// limits. Throws Error as ParsePng does for the header.
PictureSize ReadPngSize(std::span<const std::uint8_t> bytes);

// Reads a whole PNG file held in memory into raster: Bgr24 for a picture that is opaque
// throughout, otherwise Bgra32 with straight alpha (an alpha channel or a tRNS chunk); 16-bit
// samples are reduced to 8. The size limits (imaging/limits.h) are checked from the header
// before any store is made. Throws Error: "Stream read error" for an empty file or one that
// ends before its picture data, kPngTooLarge, "PNG error #<libspng's code>" (with its cause
// where known), "Out of system resources"; raster then keeps what it held. A file whose
// picture data ends early, or that lacks its end chunk, is read all the same with the missing
// pixels opaque black, and noted incomplete. Notes it lossless.
ReadNotes ParsePng(std::span<const std::uint8_t> bytes, Raster& raster);

// The file bytes of raster: 8-bit RGBA for a Bgra32 raster, otherwise 8-bit RGB of its
// 24-bit conversion; not interlaced. No bytes at all for an empty raster. Throws Error
// ("PNG error #<code>", "Out of system resources").
std::vector<std::uint8_t> EncodePng(const Raster& raster);

}  // namespace picbatch
