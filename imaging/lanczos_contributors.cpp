// Builds the weight lists of one resampling axis. All floating-point work of the resampler
// happens here, once per pass; the passes themselves are integer-only.
#include "imaging/lanczos_contributors.h"

#include "imaging/lanczos_kernel.h"

#include <cmath>

namespace {

// Weights are the kernel scaled by 256, so that a list sums to about 256.
constexpr long double kWeightScale = 256.0L;
constexpr long double kRadius = 3.0L;
// Enlarging lists hold at most 2 x radius + 1 contributions.
constexpr std::int32_t kEnlargeCapacity = 7;

// Rounds to the nearest integer, ties to even (the default rounding mode). llrint, unlike
// nearbyint, does not save and restore the floating-point environment on every call.
std::int64_t RoundEven(long double v)
{
    return std::llrint(v);
}

float Centre(std::int32_t i, float scale)
{
    return static_cast<float>(static_cast<long double>(i) / static_cast<long double>(scale));
}

void Store(TContributorEntry& entry, std::int32_t weight, std::int32_t pixel)
{
    // The capacity is exact for every list the rules produce; growing keeps any other one safe.
    if (static_cast<std::size_t>(entry.count) == entry.contributors.size()) {
        entry.contributors.push_back({});
    }
    entry.contributors[static_cast<std::size_t>(entry.count)] = {weight, pixel};
    ++entry.count;
}

// A list left empty by rounding (scales at or below 1/512) would give a black pixel; the
// nearest source pixel stands in for the window instead.
void KeepNearestIfEmpty(TContributorEntry& entry, float centre, std::int32_t n)
{
    if (entry.count == 0) {
        Store(entry, 256, Reflect(RoundEven(centre), n));
    }
}

}  // namespace

float AxisScale(int n, int m)
{
    // One pixel at either end leaves nothing to align; m/n keeps the lone pixel on pixel 0.
    if (n == 1 || m == 1) {
        return static_cast<float>(static_cast<long double>(m) / static_cast<long double>(n));
    }
    return static_cast<float>(static_cast<long double>(m - 1) / static_cast<long double>(n - 1));
}

std::int32_t Reflect(std::int64_t j, std::int32_t n)
{
    // A position folded off the right end and then off the left one ends up 2n-1 nearer,
    // so the loop ends; windows reach only a few line lengths out.
    while (j < 0 || j >= n) {
        j = j < 0 ? -j : 2 * std::int64_t{n} - 1 - j;
    }
    return static_cast<std::int32_t>(j);
}

TContributorList BuildContributors(std::int32_t n, std::int32_t m, float scale)
{
    TContributorList list(static_cast<std::size_t>(m));
    if (scale >= 1.0f) {
        for (std::int32_t i = 0; i < m; ++i) {
            TContributorEntry& entry = list[static_cast<std::size_t>(i)];
            entry.contributors.resize(kEnlargeCapacity);
            const float centre = Centre(i, scale);
            const auto first = static_cast<std::int64_t>(std::floor(centre - kRadius));
            const auto last = static_cast<std::int64_t>(std::ceil(centre + kRadius));
            for (std::int64_t j = first; j <= last; ++j) {
                const float argument
                    = static_cast<float>(static_cast<long double>(centre) - static_cast<long double>(j));
                const std::int64_t w
                    = RoundEven(static_cast<long double>(LanczosKernel(argument)) * kWeightScale);
                if (w != 0) {
                    Store(entry, static_cast<std::int32_t>(w), Reflect(j, n));
                }
            }
            KeepNearestIfEmpty(entry, centre, n);
        }
        return list;
    }

    const float halfWidth = static_cast<float>(kRadius / static_cast<long double>(scale));
    const auto capacity = static_cast<std::size_t>(2.0L * halfWidth + 1.0L);
    for (std::int32_t i = 0; i < m; ++i) {
        TContributorEntry& entry = list[static_cast<std::size_t>(i)];
        entry.contributors.resize(capacity);
        const float centre = Centre(i, scale);
        const auto first = static_cast<std::int64_t>(std::floor(centre - static_cast<long double>(halfWidth)));
        const auto last = static_cast<std::int64_t>(std::ceil(centre + static_cast<long double>(halfWidth)));
        for (std::int64_t j = first; j <= last; ++j) {
            const float argument = static_cast<float>(
                (static_cast<long double>(centre) - static_cast<long double>(j)) * static_cast<long double>(scale));
            const std::int64_t w = RoundEven(static_cast<long double>(LanczosKernel(argument))
                                             * static_cast<long double>(scale) * kWeightScale);
            if (w != 0) {
                Store(entry, static_cast<std::int32_t>(w), Reflect(j, n));
            }
        }
        KeepNearestIfEmpty(entry, centre, n);
    }
    return list;
}
