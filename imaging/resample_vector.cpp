// Packing the reference's weights for the vector kernels, and the exact division they use.
#include "imaging/resample_vector.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

namespace picbatch {

namespace {

// Sums are 32-bit integers, as in the reference; 255 is the largest channel value. Why no
// sum of a packed window overflows: imaging/numerics.md, "Integer ranges of the vector kernels".
constexpr std::int64_t kMaxSum = INT32_MAX;
constexpr std::int64_t kMaxChannel = 255;
// The division multiplies the sum by a float just above 1/d and truncates, which is exact
// for divisors far above this one (imaging/numerics.md, "Reciprocal division"); totals stay
// near 256.
constexpr std::int64_t kMaxDivisor = 2048;

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
    // The float after the one nearest to 1/d lies above 1/d, by less than 2^-22 of it.
    // nextafter toward 1 without the library call: one float up, none for 1 itself.
    const auto nearest = static_cast<float>(1.0 / static_cast<double>(divisor));
    window.reciprocal = nearest < 1.0f ? std::bit_cast<float>(std::bit_cast<std::uint32_t>(nearest) + 1) : nearest;
    window.limit = static_cast<std::int32_t>(256 * divisor - 1);
    return total < 0;
}

std::uint8_t DivideClamped(std::int32_t sum, const PackedWindow& window)
{
    // Mirrors the kernels lane for lane. Clamping the sum first is clamping the quotient:
    // sums at or below 0 give at most 0, sums above the limit at least 256.
    const auto clamped = static_cast<float>(std::clamp(sum, 0, window.limit));
    return static_cast<std::uint8_t>(static_cast<std::int32_t>(clamped * window.reciprocal));
}

namespace {

// The window of a list entry on a line of n pixels, its length rounded up to multiple, its
// divisor set; true when its weights must be negated. Inlined: PackAxis calls it per window.
[[gnu::always_inline]] inline bool MakeWindow(const PixelContributions& entry, std::int32_t n, std::int32_t multiple,
                                              PackedWindow& window)
{
    std::int32_t low = n - 1;
    std::int32_t high = 0;
    std::int64_t total = 0;
    for (std::int32_t c = 0; c < entry.count; ++c) {
        const Contribution& contribution = entry.contributors[static_cast<std::size_t>(c)];
        low = std::min(low, contribution.pixel);
        high = std::max(high, contribution.pixel);
        total += contribution.weight;
    }
    if (entry.count == 0) {
        low = high = 0;
    }
    window.first = low;
    window.length = static_cast<std::int32_t>(RoundUp(high - low + 1, multiple));
    return SetDivisor(window, total);
}

// The entry's weights on their window's pixels (with kStore, into weights, which holds the
// window's length of zeros), negated when negated; false when a weight does not fit 16 bits
// or their magnitudes could make a sum overflow 32 bits. dense is scratch.
template <bool kStore>
[[gnu::always_inline]] inline bool PackWeights(const PixelContributions& entry, const PackedWindow& window,
                                               bool negated, std::int16_t* weights, std::vector<std::int64_t>& dense)
{
    const auto count = static_cast<std::size_t>(entry.count);
    const Contribution* contributions = entry.contributors.data();
    // Weights of one pixel reached twice (a position and its mirror) are added up. Away
    // from the ends of the line the pixels ascend, each is reached once, and the
    // weights go straight to their places (the others stay zero).
    bool ascending = true;
    for (std::size_t c = 1; c < count; ++c) {
        ascending &= contributions[c].pixel > contributions[c - 1].pixel;
    }
    if (!ascending) {
        dense.assign(static_cast<std::size_t>(window.length), 0);
        for (std::size_t c = 0; c < count; ++c) {
            dense[static_cast<std::size_t>(contributions[c].pixel - window.first)] += contributions[c].weight;
        }
    }
    const std::int64_t sign = negated ? -1 : 1;
    std::int64_t magnitude = 0;
    bool fits = true;
    const auto put = [&](std::size_t k, std::int64_t weight) {
        const std::int64_t w = sign * weight;
        fits &= w >= INT16_MIN && w <= INT16_MAX;
        magnitude += std::llabs(w);
        if constexpr (kStore) {
            weights[k] = static_cast<std::int16_t>(w);
        }
    };
    if (ascending) {
        for (std::size_t c = 0; c < count; ++c) {
            put(static_cast<std::size_t>(contributions[c].pixel - window.first), contributions[c].weight);
        }
    } else {
        for (std::size_t k = 0; k < dense.size(); ++k) {
            put(k, dense[k]);
        }
    }
    return fits && magnitude * kMaxChannel <= kMaxSum;
}

}  // namespace

bool FitsVectorKernels(const ContributionList& list, std::int32_t n)
{
    std::vector<std::int64_t> dense;
    for (const PixelContributions& entry : list) {
        PackedWindow window;
        const bool negated = MakeWindow(entry, n, 1, window);
        if (window.divisor > kMaxDivisor || !PackWeights<false>(entry, window, negated, nullptr, dense)) {
            return false;
        }
    }
    return true;
}

std::optional<PackedAxis> PackAxis(const ContributionList& list, std::int32_t n, std::int32_t multiple)
{
    PackedAxis axis;
    axis.windows.resize(list.size());
    // The windows first, so that the weights are allocated once, their padding zero.
    std::vector<bool> negated(list.size());
    std::int64_t size = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        PackedWindow& window = axis.windows[i];
        window.offset = size;
        negated[i] = MakeWindow(list[i], n, multiple, window);
        if (window.divisor > kMaxDivisor) {
            return std::nullopt;
        }
        size += window.length;
    }
    axis.weights.resize(static_cast<std::size_t>(size));

    std::vector<std::int64_t> dense;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const PackedWindow& window = axis.windows[i];
        if (!PackWeights<true>(list[i], window, negated[i], axis.weights.data() + window.offset, dense)) {
            return std::nullopt;
        }
    }
    return axis;
}

PackedAxis AlignToPairs(const PackedAxis& axis)
{
    PackedAxis aligned;
    aligned.windows = axis.windows;
    aligned.weights.reserve(axis.weights.size() + 2 * axis.windows.size());
    for (std::size_t x = 0; x < axis.windows.size(); ++x) {
        const PackedWindow& source = axis.windows[x];
        PackedWindow& window = aligned.windows[x];
        const std::int32_t shift = source.first % 2;  // first is never negative
        window.first = source.first - shift;
        window.length = static_cast<std::int32_t>(RoundUp(source.length + shift, 4));
        window.offset = static_cast<std::int64_t>(aligned.weights.size());
        aligned.weights.resize(aligned.weights.size() + static_cast<std::size_t>(window.length), 0);
        std::copy_n(axis.weights.begin() + source.offset, source.length,
                    aligned.weights.begin() + window.offset + shift);
    }
    return aligned;
}

}  // namespace picbatch
