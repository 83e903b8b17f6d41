// Four-component (CMYK) samples to blue, green, red pixels.
#pragma once

#include <cstdint>

namespace picbatch {

// Converts `width` CMYK pixels (4 bytes each, as libjpeg delivers them) into blue, green,
// red pixels (3 bytes each). Files with an Adobe marker store inverted inks (255 = no ink):
// red = C x K / 255; without the marker red = (255 - C) x (255 - K) / 255; green follows M
// and blue Y in the same way. Results are rounded to nearest.
void CmykRowToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, std::int64_t width, bool adobeInverted) noexcept;

}  // namespace picbatch
