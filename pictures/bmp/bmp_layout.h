// The headers of a BMP file: what picture they describe and where its pixels are.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/raster.h"

namespace picbatch {

// What the file header, the info (or core) header, the masks and the colour table say,
// checked so that a picture of this size and form can be made.
struct BmpLayout {
    std::int32_t width = 0;       // 1 to kMaxPictureSide
    std::int32_t height = 0;      // the absolute height, 1 to kMaxPictureSide
    bool topDown = false;         // the file's first row is the top row
    int bitCount = 0;             // 1, 4, 8, 16, 24 or 32
    std::uint32_t compression = 0;  // 0 none, 1 RLE8, 2 RLE4, 3 channel masks
    PixelForm form = PixelForm::NoPixels;
    std::vector<ColorEntry> colorTable;  // at most 256 entries
    ChannelMasks masks;                  // masked forms only, trimmed to the bit count
    std::int64_t pixelOffset = 0;  // file offset of the pixel array
    std::int64_t pixelBytes = 0;   // bytes of pixel data to use from pixelOffset (all present)
};

// Reads the layout of the non-empty BMP file held in bytes. Throws Error: "Stream read error"
// when the file ends inside a header, the masks or the colour table; "Bitmap image is not
// valid" for a wrong signature, planes other than 1, or a header that describes no picture
// that can be made (unknown sizes, bit counts or compressions, a size beyond the limits of
// imaging/limits.h). Allocates nothing sized by the file except the colour table.
BmpLayout ReadBmpLayout(std::span<const std::uint8_t> bytes);

// The layout never takes a field from beyond this many bytes of the file: the file header,
// the longest info header, three masks and a table of 256 four-byte entries.
inline constexpr std::int64_t kBmpLayoutBytes = 14 + 124 + 12 + 256 * 4;

// The same for a file of fileSize bytes of which head holds the first
// min(fileSize, kBmpLayoutBytes), so that a file need not be read whole for its layout.
BmpLayout ReadBmpLayout(std::span<const std::uint8_t> head, std::int64_t fileSize);

// The bytes of an uncompressed pixel array up to the last pixel of its last row (the padding
// after that pixel carries nothing): a file with fewer is incomplete.
std::int64_t PixelBytesNeeded(const BmpLayout& layout);

// The message of a file that describes no makeable picture.
inline constexpr const char* kBitmapNotValid = "Bitmap image is not valid";

}  // namespace picbatch
