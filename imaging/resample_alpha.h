// The resampler's road for pictures with transparency: the Lanczos-3 weights of the 24-bit
// resampler applied to colours premultiplied by their alpha, so that transparent pixels lend
// no colour to the pixels beside them (no dark fringe around a shape on transparent black).
#pragma once

#include "imaging/raster.h"

namespace picbatch {

// A new Bgra32 Raster of exactly width x height (both at least 1) from source (Bgra32, not
// empty; alpha not premultiplied): rows to the target width first, then columns to the
// target height, with the contributor lists of the 24-bit resampler. At the source's own
// size the result is the source, byte for byte. Throws the Raster's errors, Error
// "Out of system resources" (TooLarge) when the rows kept between the passes would exceed
// the picture limit, and std::bad_alloc.
Raster ResampleAlpha(const Raster& source, int width, int height);

}  // namespace picbatch
