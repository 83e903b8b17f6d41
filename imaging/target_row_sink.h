// Where a resampler that streams its result hands each finished target row.
#pragma once

#include <cstdint>
#include <functional>

namespace picbatch {

// Called once per target row, top row first, with 3 x width bytes of blue, green, red that
// stay valid during the call only. It may throw; the resampler is then unusable.
using TargetRowSink = std::function<void(const std::uint8_t* bgr)>;

}  // namespace picbatch
