// The vectorised resampler's driver: packs both axes, then makes the target row by row,
// filtering source rows eight at a time just before the vertical pass needs them. Integer
// sums do not depend on the order of their terms, so the bytes match the reference's.
#include "imaging/resample_vector.h"

#include "imaging/error.h"
#include "imaging/limits.h"
#include "imaging/raster.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr std::int64_t kPixelBytes = 3;
// Sums are 32-bit integers, as in the reference; 255 is the largest channel value.
constexpr std::int64_t kMaxSum = INT32_MAX;
constexpr std::int64_t kMaxChannel = 255;
// The division multiplies by m = ceil(2^31 / d) and shifts right by 31. For a clamped sum
// s < 256 d the result exceeds s / d by s (m d - 2^31) / (d 2^31) < 256 d (d - 1) / 2^31 / d,
// which stays below 1/d, so the floor is exact, as long as 256 d (d - 1) <= 2^31: d <= 2048.
constexpr std::int64_t kMaxDivisor = 2048;
constexpr int kMultiplierShift = 31;
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
    // Larger divisors are refused by PackAxis; capping them keeps the limit in range.
    const std::int64_t divisor = std::min<std::int64_t>(total == 0 ? 256 : std::llabs(total), kMaxDivisor + 1);
    window.divisor = static_cast<std::int32_t>(divisor);
    window.multiplier = static_cast<std::uint32_t>(((std::int64_t{1} << kMultiplierShift) + divisor - 1) / divisor);
    window.limit = static_cast<std::int32_t>(256 * divisor - 1);
    return total < 0;
}

std::uint8_t DivideClamped(std::int32_t sum, const PackedWindow& window)
{
    // Mirrors the kernels lane for lane. Clamping the sum first is clamping the quotient:
    // sums at or below 0 give at most 0, sums above the limit at least 256.
    const auto clamped = static_cast<std::uint64_t>(std::clamp(sum, 0, window.limit));
    return static_cast<std::uint8_t>((clamped * window.multiplier) >> kMultiplierShift);
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

namespace {

// The end (exclusive) of the source rows that the vertical window needs: the padding
// rows past the window's contributions are read too (with weight 0), but never past n.
std::int64_t WindowEnd(const PackedWindow& window, std::int64_t n)
{
    return std::min<std::int64_t>(window.first + window.length, n);
}

// How many intermediate rows must be kept at once when the horizontal pass runs in groups
// of kHorizontalRows just ahead of the vertical pass, target row after target row.
std::int64_t RingDepth(const PackedAxis& vertical, std::int64_t n)
{
    std::int64_t filled = 0;
    std::int64_t depth = 1;
    for (const PackedWindow& window : vertical.windows) {
        filled = std::max(filled, std::min(RoundUp(WindowEnd(window, n), kHorizontalRows), n));
        depth = std::max(depth, filled - window.first);
    }
    return std::min(depth, n);
}

// The horizontal pass, run on demand. Only the most recent rows of the intermediate are
// kept, in a ring deep enough for every vertical window: a few dozen rows that stay in
// the cache instead of a picture of target width x source height.
class IntermediateRows {
public:
    IntermediateRows(const Raster& source, const PackedAxis& horizontal, int width, std::int64_t depth, bool useAvx2)
        : m_source(source)
        , m_depth(depth)
        , m_stride(RoundUp(kPixelBytes * width + 1, kVectorBytes))
        , m_store(static_cast<std::size_t>(m_stride * depth))
        , m_planeLength(source.Width() + kPlanePadding)
        , m_planes(static_cast<std::size_t>(m_planeLength * kHorizontalRows * 3))
        , m_deinterleave(useAvx2 ? DeinterleaveAvx2 : DeinterleaveSse2)
        , m_filter(useAvx2 ? HorizontalAvx2 : HorizontalSse2)
    {
        m_job.axis = &horizontal;
        for (int r = 0; r < kHorizontalRows; ++r) {
            for (int c = 0; c < 3; ++c) {
                m_job.planes[r][c] = Plane(r, c);
            }
        }
    }

    // Intermediate row r; valid from the FillTo that made it until depth rows later.
    const std::uint8_t* Row(std::int64_t r) const { return m_store.data() + r % m_depth * m_stride; }

    // Filters source rows until every row below end is available.
    void FillTo(std::int64_t end)
    {
        const int height = m_source.Height();
        while (m_filled < end) {
            const int top = static_cast<int>(m_filled);
            // Rows past the picture's end keep whatever the planes hold; their results are dropped.
            m_job.rows = std::min(kHorizontalRows, height - top);
            for (int r = 0; r < m_job.rows; ++r) {
                std::int16_t* planes[3] = {Plane(r, 0), Plane(r, 1), Plane(r, 2)};
                m_deinterleave(m_source.Row(top + r).data(), m_source.Width(), planes);
                m_job.out[r] = m_store.data() + (top + r) % m_depth * m_stride;
            }
            m_filter(m_job);
            m_filled += m_job.rows;
        }
    }

private:
    std::int16_t* Plane(int row, int channel)
    {
        return m_planes.data() + (row * 3 + channel) * m_planeLength;
    }

    const Raster& m_source;
    std::int64_t m_depth;
    // Whole 32-byte vectors for the vertical loads, and a spare byte for the 4-byte stores
    // of the horizontal kernels.
    std::int64_t m_stride;
    std::vector<std::uint8_t> m_store;
    std::int64_t m_planeLength;
    std::vector<std::int16_t> m_planes;
    void (*m_deinterleave)(const std::uint8_t*, std::int32_t, std::int16_t*[3]);
    void (*m_filter)(const HorizontalJob&);
    HorizontalJob m_job;
    std::int64_t m_filled = 0;
};

}  // namespace

bool ResampleVectorised(const Raster& source, Raster& result, bool useAvx2)
{
    const int sourceWidth = source.Width();
    const int sourceHeight = source.Height();
    const int width = result.Width();
    const int height = result.Height();

    // The reference keeps the whole intermediate as a Raster; fail alike.
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

    IntermediateRows intermediate(source, *horizontal, width, RingDepth(*vertical, sourceHeight), useAvx2);
    auto* const verticalKernel = useAvx2 ? VerticalAvx2 : VerticalSse2;
    std::int32_t longest = 0;
    for (const PackedWindow& window : vertical->windows) {
        longest = std::max(longest, window.length);
    }
    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(longest));
    VerticalJob rowJob;
    rowJob.rows = rows.data();
    rowJob.bytes = static_cast<std::int32_t>(kPixelBytes * width);
    for (int y = 0; y < height; ++y) {
        const PackedWindow& window = vertical->windows[static_cast<std::size_t>(y)];
        intermediate.FillTo(WindowEnd(window, sourceHeight));
        for (std::int32_t k = 0; k < window.length; ++k) {
            // Padding weights are 0; their rows only need to be readable.
            const std::int64_t row = window.first + k < sourceHeight ? window.first + k : window.first;
            rows[static_cast<std::size_t>(k)] = intermediate.Row(row);
        }
        rowJob.weights = vertical->weights.data() + window.offset;
        rowJob.count = window.length;
        rowJob.window = window;
        rowJob.out = result.Row(y).data();
        verticalKernel(rowJob);
    }
    return true;
}
