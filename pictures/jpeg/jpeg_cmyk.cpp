// Four-component (CMYK) samples to blue, green, red pixels.
#include "pictures/jpeg/jpeg_cmyk.h"

namespace picbatch {

namespace {

// a x b / 255 rounded to nearest, for a, b in 0..255.
std::uint8_t Scale(unsigned a, unsigned b)
{
    return static_cast<std::uint8_t>((a * b + 127) / 255);
}

}  // namespace

void CmykRowToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, std::int64_t width, bool adobeInverted) noexcept
{
    // Inverting the inks first lets one formula serve both storage conventions.
    const unsigned flip = adobeInverted ? 0 : 255;
    for (std::int64_t x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        const unsigned k = cmyk[3] ^ flip;
        bgr[0] = Scale(cmyk[2] ^ flip, k);
        bgr[1] = Scale(cmyk[1] ^ flip, k);
        bgr[2] = Scale(cmyk[0] ^ flip, k);
    }
}

}  // namespace picbatch
