// Size limits shared by the file readers, the Raster and the target size.
#pragma once

#include <cstdint>

namespace picbatch {

// No picture side may exceed this many pixels (BMP headers hold larger values).
inline constexpr std::int64_t kMaxPictureSide = 65535;
// No picture may hold more pixels than this (16384 x 16384): protects against headers
// that declare far more than the file or the machine can hold.
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{16384} * 16384;

// True when a width x height picture is within both limits (both must be >= 0).
constexpr bool PictureSizeAllowed(std::int64_t width, std::int64_t height)
{
    return width >= 0 && height >= 0 && width <= kMaxPictureSide && height <= kMaxPictureSide
        && width * height <= kMaxPicturePixels;
}

}  // namespace picbatch
