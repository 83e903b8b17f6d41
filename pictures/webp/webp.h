// WebP files through libwebp: still pictures read, lossy or lossless, with or without alpha;
// written lossy (at quality 90 unless asked otherwise) or lossless.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pictures/picture_size.h"
#include "pictures/read_notes.h"

namespace picbatch {

class Raster;

// The explanation the user reads for a ".webp" file that does not start like a WebP (cause
// NotAPicture).
inline constexpr const char* kNotAWebpExplanation = "文件内容不是 WebP 图片";

inline constexpr const char* kAnimatedWebp = "Animated WebP image is not supported";
inline constexpr const char* kWebpTooLarge = "WebP image is too large";
// The quality of lossy WebP files written unless asked otherwise, as for JPEG.
inline constexpr int kWebpQuality = 90;

// The width and height the header of a WebP file in memory declares. Throws Error as
// ParseWebp does for the header (an animation, a picture beyond the size limits included).
PictureSize ReadWebpSize(std::span<const std::uint8_t> bytes);

// Reads a whole WebP file held in memory into raster: Bgr24 for a picture that is opaque
// throughout, otherwise Bgra32 with straight alpha. The header is checked (an animation, the
// size limits of imaging/limits.h) before any store is made. Throws Error: "Stream read error"
// for an empty file or one that ends before its picture data, kAnimatedWebp (cause Animated),
// kWebpTooLarge, "WebP error #<libwebp's status>" (cause NotAPicture, explained by
// kNotAWebpExplanation, when the file does not start like one), "Out of system resources";
// raster then keeps what it held. A file whose picture data ends early is read all the same
// with the missing pixels black, and noted incomplete. Notes it lossless when it is.
ReadNotes ParseWebp(std::span<const std::uint8_t> bytes, Raster& raster);

// The file bytes of raster (Bgra32 keeps its alpha; any other form is written as its 24-bit
// conversion): lossy at quality (1 to 100; beyond, the nearer end) or at kWebpQuality, or
// lossless (colours under transparent pixels kept). No bytes at all for an empty raster.
// Throws Error ("WebP error #<libwebp's code>", also for a side above WebP's 16383 pixels;
// "Out of system resources").
std::vector<std::uint8_t> EncodeWebpLossyAt(const Raster& raster, int quality);
std::vector<std::uint8_t> EncodeWebpLossy(const Raster& raster);
std::vector<std::uint8_t> EncodeWebpLossless(const Raster& raster);

}  // namespace picbatch
