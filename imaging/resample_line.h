// The integer steps of the reference resampler: unpack one line of blue, green, red pixels
// into channel buffers and form one target pixel from a contributor list.
#pragma once

#include "imaging/lanczos_contributors.h"

#include <cstdint>
#include <vector>

namespace picbatch {

// One line of the picture being filtered, one value (0..255) per pixel and channel.
struct ChannelBuffers {
    std::vector<std::int32_t> red;
    std::vector<std::int32_t> green;
    std::vector<std::int32_t> blue;

    void Resize(std::size_t length);
};

// Reads count pixels starting at p, stepping step bytes (signed) from one pixel to the
// next, into elements 0..count-1 of the buffers (which must be at least count long).
void UnpackLine(std::int32_t count, std::int64_t step, const std::uint8_t* p, ChannelBuffers& line);

// Limits v to 0..255.
std::uint8_t ClampByte(std::int32_t v);

// Writes blue, green, red of one target pixel to target[0..2]: each channel's weighted sum
// divided by the total weight (truncated toward zero; by 256 when the total is 0), clamped.
void WeightedPixel(const PixelContributions& entry, const ChannelBuffers& line, std::uint8_t* target);

}  // namespace picbatch
