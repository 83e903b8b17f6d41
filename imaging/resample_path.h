// The interchangeable implementations of the resampler, for tests and benchmarks: the plain
// reference and the vectorised ones, which give the same bytes.
#pragma once

#include "imaging/raster.h"

namespace picbatch {

enum class ResamplePath {
    Reference,  // portable scalar code, one contribution at a time
    Sse2,       // 16-bit weights with SSE2 multiply-adds (every x86-64)
    Avx2,       // the same with AVX2, when the processor has it
};

// The fastest path this processor runs.
ResamplePath FastestResamplePath();

// True when this processor can run path.
bool ResamplePathAvailable(ResamplePath path);

// ResampleLanczos on a chosen path (an unavailable one runs the reference). A vectorised
// path falls back to the reference when a list's weights do not meet its limits.
Raster ResampleLanczosOn(Raster& picture, int width, int height, ResamplePath path);

}  // namespace picbatch
