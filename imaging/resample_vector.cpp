// The vectorised resampler's driver: packs both axes, runs the horizontal pass eight source
// rows at a time into a private intermediate, then the vertical pass one target row at a
// time. Integer sums do not depend on the order of their terms, so the bytes match the
// reference's.
#include "imaging/resample_vector.h"

#include "imaging/error.h"
#include "imaging/limits.h"
#include "imaging/raster.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::int64_t kPixelBytes = 3;
// Sums stay below 2^24 so that they, and every product the division checks, are exact in
// a float; 255 is the largest channel value.
constexpr std::int64_t kMaxSum = (std::int64_t{1} << 24) - 1;
constexpr std::int64_t kMaxChannel = 255;
// With a divisor up to 4096 the float quotient is off by less than 1/divisor, which the
// one-step correction in the division repairs.
constexpr std::int64_t kMaxDivisor = 4096;
// Zero padding after each plane: windows are padded by at most 15 weights.
constexpr std::int64_t kPlanePadding = 16;
// Intermediate rows are padded to whole 32-byte vectors for the vertical loads.
constexpr std::int64_t kVectorBytes = 32;

std::int64_t RoundUp(std::int64_t value, std::int64_t multiple)
{
    return (value + multiple - 1) / multiple * multiple;
}

}  // namespace

bool SetDivisor(PackedWindow& window, std::int64_t total)
{
    // The reference divides by the total, and by 256 when it is 0. A negative total is
    // made positive by negating the weights: trunc(s / t) equals trunc(-s / -t).
    const std::int64_t divisor = total == 0 ? 256 : std::llabs(total);
    window.divisor = static_cast<std::int32_t>(std::min(divisor, std::int64_t{INT32_MAX}));
    window.reciprocal = static_cast<float>(1.0 / static_cast<double>(window.divisor));
    return total < 0;
}

std::uint8_t DivideClamped(std::int32_t sum, const PackedWindow& window)
{
    // Mirrors the kernels lane for lane.
    const auto x = static_cast<float>(sum);
    auto q = static_cast<std::int32_t>(x * window.reciprocal);
    if (static_cast<float>(q + 1) * static_cast<float>(window.divisor) <= x) {
        ++q;
    }
    return static_cast<std::uint8_t>(std::clamp(q, 0, 255));
}

std::optional<PackedAxis> PackAxis(const TContributorList& list, std::int32_t n, std::int32_t multiple)
{
    PackedAxis axis;
    axis.windows.resize(list.size());
    std::vector<std::int64_t> dense;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const TContributorEntry& entry = list[i];
        PackedWindow& window = axis.windows[i];
        std::int32_t low = n - 1;
        std::int32_t high = 0;
        std::int64_t total = 0;
        for (std::int32_t c = 0; c < entry.count; ++c) {
            const TContribution& contribution = entry.contributors[static_cast<std::size_t>(c)];
            low = std::min(low, contribution.pixel);
            high = std::max(high, contribution.pixel);
            total += contribution.weight;
        }
        if (entry.count == 0) {
            low = high = 0;
        }
        window.first = low;
        window.length = static_cast<std::int32_t>(RoundUp(high - low + 1, multiple));
        window.offset = static_cast<std::int64_t>(axis.weights.size());
        const bool negate = SetDivisor(window, total);
        if (window.divisor > kMaxDivisor) {
            return std::nullopt;
        }
        // Weights of one pixel reached twice (a position and its mirror) are added up.
        dense.assign(static_cast<std::size_t>(window.length), 0);
        for (std::int32_t c = 0; c < entry.count; ++c) {
            const TContribution& contribution = entry.contributors[static_cast<std::size_t>(c)];
            dense[static_cast<std::size_t>(contribution.pixel - low)] += contribution.weight;
        }
        std::int64_t magnitude = 0;
        for (std::int64_t& w : dense) {
            w = negate ? -w : w;
            if (w < INT16_MIN || w > INT16_MAX) {
                return std::nullopt;
            }
            magnitude += std::llabs(w);
            axis.weights.push_back(static_cast<std::int16_t>(w));
        }
        if (magnitude * kMaxChannel > kMaxSum) {
            return std::nullopt;
        }
    }
    return axis;
}

bool ResampleVectorised(const Raster& source, Raster& result, bool useAvx2)
{
    const int sourceWidth = source.Width();
    const int sourceHeight = source.Height();
    const int width = result.Width();
    const int height = result.Height();

    // The same limit as for any Raster, which is what the reference's intermediate is.
    if (std::int64_t{width} * sourceHeight > kMaxPicturePixels) {
        throw Error(kOutOfSystemResources);
    }

    const std::optional<PackedAxis> horizontal = PackAxis(
        BuildContributors(sourceWidth, width, AxisScale(sourceWidth, width)), sourceWidth, useAvx2 ? 16 : 8);
    if (!horizontal) {
        return false;
    }
    // The vertical kernels take source rows in pairs.
    const std::optional<PackedAxis> vertical
        = PackAxis(BuildContributors(sourceHeight, height, AxisScale(sourceHeight, height)), sourceHeight, 2);
    if (!vertical) {
        return false;
    }

    const std::int64_t rowBytes = kPixelBytes * width;
    const std::int64_t stride = RoundUp(rowBytes, kVectorBytes);
    std::vector<std::uint8_t> intermediate(static_cast<std::size_t>(stride * sourceHeight));

    auto* const deinterleave = useAvx2 ? DeinterleaveAvx2 : DeinterleaveSse2;
    auto* const horizontalKernel = useAvx2 ? HorizontalAvx2 : HorizontalSse2;
    auto* const verticalKernel = useAvx2 ? VerticalAvx2 : VerticalSse2;

    const std::int64_t planeLength = sourceWidth + kPlanePadding;
    std::vector<std::int16_t> planes(static_cast<std::size_t>(planeLength * kHorizontalRows * 3));
    HorizontalJob job;
    job.axis = &*horizontal;
    for (int r = 0; r < kHorizontalRows; ++r) {
        for (int c = 0; c < 3; ++c) {
            job.planes[r][c] = planes.data() + (r * 3 + c) * planeLength;
        }
    }
    for (int top = 0; top < sourceHeight; top += kHorizontalRows) {
        // Rows past the picture's end keep whatever the planes hold; their results are dropped.
        job.rows = std::min(kHorizontalRows, sourceHeight - top);
        for (int r = 0; r < job.rows; ++r) {
            std::int16_t* rowPlanes[3] = {planes.data() + (r * 3) * planeLength,
                                          planes.data() + (r * 3 + 1) * planeLength,
                                          planes.data() + (r * 3 + 2) * planeLength};
            deinterleave(source.Row(top + r).data(), sourceWidth, rowPlanes);
            job.out[r] = intermediate.data() + (top + r) * stride;
        }
        horizontalKernel(job);
    }

    std::int32_t longest = 0;
    for (const PackedWindow& window : vertical->windows) {
        longest = std::max(longest, window.length);
    }
    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(longest));
    VerticalJob rowJob;
    rowJob.rows = rows.data();
    rowJob.bytes = static_cast<std::int32_t>(rowBytes);
    for (int y = 0; y < height; ++y) {
        const PackedWindow& window = vertical->windows[static_cast<std::size_t>(y)];
        for (std::int32_t k = 0; k < window.length; ++k) {
            // Padding weights are 0; their rows only need to be readable.
            const std::int64_t row = window.first + k < sourceHeight ? window.first + k : window.first;
            rows[static_cast<std::size_t>(k)] = intermediate.data() + row * stride;
        }
        rowJob.weights = vertical->weights.data() + window.offset;
        rowJob.count = window.length;
        rowJob.window = window;
        rowJob.out = result.Row(y).data();
        verticalKernel(rowJob);
    }
    return true;
}
