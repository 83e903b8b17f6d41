// The plain resampler: one contribution at a time, exactly as the weights prescribe. The
// vectorised paths are checked against it byte for byte.
#pragma once

#include "imaging/raster.h"

namespace picbatch {

// Resamples source (Bgr24, not empty) into result (Bgr24, already of the target size).
void ResampleReference(const Raster& source, Raster& result);

// The same into a new Bgr24 Raster of width x height (both at least 1). Throws the Raster's
// errors and std::bad_alloc.
Raster ResampleReference(const Raster& source, int width, int height);

}  // namespace picbatch
