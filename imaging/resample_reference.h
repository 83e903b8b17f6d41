// The plain resampler: one contribution at a time, exactly as the weights prescribe. The
// vectorised paths are checked against it byte for byte.
#pragma once

class Raster;

// Resamples source (Bgr24, not empty) into result (Bgr24, already of the target size).
void ResampleReference(const Raster& source, Raster& result);
