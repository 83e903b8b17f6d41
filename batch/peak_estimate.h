// The memory one conversion takes at its peak, estimated from its plan before it starts, so
// that a run starts no more pictures at once than its memory budget holds.
#pragma once

#include <cstdint>

namespace picbatch {

struct ConversionPlan;

// What a conversion costs whatever its picture (thread stack in use, libjpeg's pools, file
// buffers, a colour transform), and all that a file whose header cannot be read is estimated
// at: its conversion fails early with the file's own error.
inline constexpr std::int64_t kConversionBaseBytes = std::int64_t{3} << 19;  // 1.5 MiB

// The peak of carrying out plan, in bytes, from its header, sizes and road (everything but
// peakBytes): what the decoder keeps (PictureHeader), the resampler's rows or the whole
// picture it keeps (its path, the orientation's kept target), the target picture where it is
// made whole, what encoding it whole holds, the metadata, and kConversionBaseBytes. A plan
// without a header gives kConversionBaseBytes.
std::int64_t EstimatePeak(const ConversionPlan& plan);

}  // namespace picbatch
