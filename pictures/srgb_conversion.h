// Colours of a picture in an embedded ICC profile, converted to sRGB with LittleCMS for an
// output that cannot carry the profile.
#pragma once

#include <cstdint>
#include <span>

namespace picbatch {

class Raster;

// True when icc is a profile of RGB data that LittleCMS opens: the only kind that describes
// the 24-bit pixels the program makes, and so the only kind it carries or converts from.
bool IsRgbProfile(std::span<const std::uint8_t> icc);

// Converts every pixel of picture (Bgr24) from the RGB profile icc to sRGB, perceptual
// intent, as cmsCreateTransform(profile, TYPE_BGR_8, cmsCreate_sRGBProfile(), TYPE_BGR_8,
// INTENT_PERCEPTUAL, 0) does. Returns false, leaving picture as it was, when the profile is no
// RGB profile or LittleCMS cannot make the transform. Throws std::bad_alloc.
bool ConvertToSrgb(Raster& picture, std::span<const std::uint8_t> icc);

}  // namespace picbatch
