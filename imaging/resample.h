// The two-pass Lanczos-3 resampler: any picture to a 24-bit picture of an exact size, or a
// picture with transparency to one with transparency.
#pragma once

#include "imaging/raster.h"

namespace picbatch {

inline constexpr const char* kEmptySourcePicture = "Cannot resize an empty picture";
inline constexpr const char* kInvalidTargetSize = "The target width and height must be at least 1";

// Converts picture to Bgr24 in place (it stays so, also when the call fails) and returns a
// new Bgr24 Raster of exactly width x height: rows resampled to the target width first,
// then columns to the target height. Throws Error: kInvalidTargetSize for a width or height
// below 1 and kEmptySourcePicture for a picture without pixels (both before anything is
// converted or allocated), and the Raster's errors ("Out of system resources").
// The picture's store is only read, so a store shared with other Rasters is not copied.
// A picture with an alpha channel (Bgra32) keeps its form and is resampled on premultiplied
// colours (ResampleAlpha), whatever the path; the result is then Bgra32 too.
Raster ResampleLanczos(Raster& picture, int width, int height);

}  // namespace picbatch
