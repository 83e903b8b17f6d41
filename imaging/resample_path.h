// The interchangeable implementations of the resampler, for tests and benchmarks: the plain
// reference and the vector kernels, written once with Highway (resample_kernels.cpp) and
// compiled for each instruction set it offers. They give the same bytes.
#pragma once

#include "imaging/raster.h"

#include <cstdint>
#include <string>
#include <vector>

namespace picbatch {

struct ResamplePath {
    // 0 for the portable scalar reference, one contribution at a time; otherwise the Highway
    // target (one HWY_* bit, such as HWY_AVX2) whose 16-bit multiply-add kernels run.
    std::int64_t target = 0;

    static const ResamplePath Reference;

    bool operator==(const ResamplePath&) const = default;
};

inline constexpr ResamplePath ResamplePath::Reference{};

// The path Highway's dispatch picks for this processor: the best target compiled in that
// the processor runs, or the reference where that is Highway's scalar fallback. Looked up once.
ResamplePath FastestResamplePath();

// True when this processor can run path: the reference, or a target compiled in that the
// processor supports.
bool ResamplePathAvailable(ResamplePath path);

// Every vector path compiled in that this processor runs, the fastest first: what the tests
// compare with the reference.
std::vector<ResamplePath> VectorResamplePaths();

// "Reference", or the target's name ("SSSE3", "SSE4", "AVX2", "AVX3" for AVX-512, "NEON", "SVE"…).
std::string ResamplePathName(ResamplePath path);

// ResampleLanczos on a chosen path (an unavailable one runs the reference). A vector path
// falls back to the reference when a list's weights do not meet its limits (VectorPathTakes).
Raster ResampleLanczosOn(Raster& picture, int width, int height, ResamplePath path);

// The refusal rule for whole pictures: true when the vector kernels reproduce the reference
// exactly for a sourceWidth x sourceHeight Bgr24 picture resampled to width x height (all at
// least 1), so that a vector path makes it; false when they refuse it (FitsVectorKernels on
// either axis) and the reference makes it, whatever the processor.
bool VectorPathTakes(int sourceWidth, int sourceHeight, int width, int height);

}  // namespace picbatch
