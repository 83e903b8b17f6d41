// The per-line integer work of the reference resampler.
#include "imaging/resample_line.h"

#include <algorithm>

namespace picbatch {

void ChannelBuffers::Resize(std::size_t length)
{
    red.resize(length);
    green.resize(length);
    blue.resize(length);
}

void UnpackLine(std::int32_t count, std::int64_t step, const std::uint8_t* p, ChannelBuffers& line)
{
    for (std::int32_t k = 0; k < count; ++k) {
        const auto index = static_cast<std::size_t>(k);
        line.blue[index] = p[0];
        line.green[index] = p[1];
        line.red[index] = p[2];
        // The last pixel's step is never taken, so p never leaves the picture.
        if (k + 1 < count) {
            p += step;
        }
    }
}

std::uint8_t ClampByte(std::int32_t v)
{
    return static_cast<std::uint8_t>(std::max(0, std::min(255, v)));
}

void WeightedPixel(const PixelContributions& entry, const ChannelBuffers& line, std::uint8_t* target)
{
    std::int32_t total = 0;
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;
    for (std::int32_t c = 0; c < entry.count; ++c) {
        const Contribution& contribution = entry.contributors[static_cast<std::size_t>(c)];
        const auto k = static_cast<std::size_t>(contribution.pixel);
        total += contribution.weight;
        red += contribution.weight * line.red[k];
        green += contribution.weight * line.green[k];
        blue += contribution.weight * line.blue[k];
    }
    // A total of 0 only comes from weights that cancel out; 256 is what they should sum to.
    const std::int32_t divisor = total != 0 ? total : 256;
    // C++ integer division truncates toward zero, as the weights' sign demands.
    target[0] = ClampByte(blue / divisor);
    target[1] = ClampByte(green / divisor);
    target[2] = ClampByte(red / divisor);
}

}  // namespace picbatch
