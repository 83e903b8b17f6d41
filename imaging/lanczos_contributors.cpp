// Builds the weight lists of one resampling axis. All floating-point work of the resampler
// happens here, once per pass; the passes themselves are integer-only.
#include "imaging/lanczos_contributors.h"

#include "imaging/extended.h"
#include "imaging/lanczos_kernel.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

namespace picbatch {

// The double-precision shortcuts below round each operation once (imaging/numerics.md,
// "Weight lists in double").
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must not be carried out in extended precision");

namespace {

constexpr float kRadius = 3.0f;
// Enlarging lists hold at most 2 x radius + 1 contributions.
constexpr std::int32_t kEnlargeCapacity = 7;

// Rounds to the nearest integer, ties to even (the default rounding mode). llrint, unlike
// nearbyint, does not save and restore the floating-point environment on every call.
std::int64_t RoundEven(float v)
{
    return std::llrint(v);
}

// The weight of a kernel value k, k x factor x 256 rounded to the nearest integer, ties to
// even, for a factor of 1 or a float scale below 1. The product is exact, and adding
// 1.5 x 2^52 rounds it as llrint does, without the library call (imaging/numerics.md,
// "Weights").
std::int64_t Weight(float kernel, float factor)
{
    constexpr double kShift = 0x1.8p52;
    const double product = static_cast<double>(kernel) * static_cast<double>(factor) * 256.0;
    return static_cast<std::int64_t>((product + kShift) - kShift);
}

// Up to this many pixels along either side of an axis (far more than any picture has), the
// ends of the windows and the kernel arguments are exact in double (imaging/numerics.md,
// "Window ends" and "Kernel arguments").
constexpr std::int32_t kExactInDouble = std::int32_t{1} << 26;

// The kernel arguments of positions first..last around centre, (centre - j) x factor rounded
// to float, with a factor of 1 or the scale below 1. Difference and product are exact in
// extended precision, and for lines up to kExactInDouble pixels in double too, so both ways
// round the same value (imaging/numerics.md, "Kernel arguments").
void Arguments(float centre, std::int64_t first, std::int64_t last, float factor, bool exactInDouble,
               std::vector<float>& arguments)
{
    arguments.resize(static_cast<std::size_t>(last - first + 1));
    for (std::size_t k = 0; k < arguments.size(); ++k) {
        const std::int64_t j = first + static_cast<std::int64_t>(k);
        arguments[k]
            = exactInDouble
                ? static_cast<float>((static_cast<double>(centre) - static_cast<double>(j)) * static_cast<double>(factor))
                : static_cast<float>((static_cast<Extended>(centre) - static_cast<Extended>(j))
                                     * static_cast<Extended>(factor));
    }
}

// i / scale rounded to float. The double quotient rounds to the same float as the
// extended-precision one: the exact quotient is a float rounding boundary or lies farther
// from one than either rounding moves it (imaging/numerics.md, "Centres").
float Centre(std::int32_t i, float scale)
{
    return static_cast<float>(static_cast<double>(i) / static_cast<double>(scale));
}

// The first and last positions of a window, floor(centre - halfWidth) and
// ceiling(centre + halfWidth), both ends exact in extended precision and, for lines up to
// kExactInDouble pixels, in double (imaging/numerics.md, "Window ends"). Then truncation,
// stepped down or up where it moved the value, gives the floor and the ceiling without the
// x87 rounding-mode changes.
struct WindowEnds {
    std::int64_t first = 0;
    std::int64_t last = 0;
};

WindowEnds Ends(float centre, float halfWidth, bool exactInDouble)
{
    if (!exactInDouble) {
        return {static_cast<std::int64_t>(Floor(static_cast<Extended>(centre) - static_cast<Extended>(halfWidth))),
                static_cast<std::int64_t>(Ceil(static_cast<Extended>(centre) + static_cast<Extended>(halfWidth)))};
    }
    const double low = static_cast<double>(centre) - static_cast<double>(halfWidth);
    const double high = static_cast<double>(centre) + static_cast<double>(halfWidth);
    const auto first = static_cast<std::int64_t>(low);
    const auto last = static_cast<std::int64_t>(high);
    return {static_cast<double>(first) > low ? first - 1 : first, static_cast<double>(last) < high ? last + 1 : last};
}

// Kept out of line, so that Store stays small enough to inline.
[[gnu::noinline]] void Grow(PixelContributions& entry)
{
    entry.contributors.push_back({});
}

void Store(PixelContributions& entry, std::int32_t weight, std::int32_t pixel)
{
    // The capacity is exact for every list the rules produce; growing keeps any other one safe.
    if (static_cast<std::size_t>(entry.count) == entry.contributors.size()) {
        Grow(entry);
    }
    entry.contributors[static_cast<std::size_t>(entry.count)] = {weight, pixel};
    ++entry.count;
}

// A list left empty by rounding (scales at or below 1/512) would give a black pixel; the
// nearest source pixel stands in for the window instead.
void KeepNearestIfEmpty(PixelContributions& entry, float centre, std::int32_t n)
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
        return static_cast<float>(static_cast<Extended>(m) / static_cast<Extended>(n));
    }
    return static_cast<float>(static_cast<Extended>(m - 1) / static_cast<Extended>(n - 1));
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

ContributionList BuildContributors(std::int32_t n, std::int32_t m, float scale)
{
    ContributionList list(static_cast<std::size_t>(m));
    const bool exactInDouble = n <= kExactInDouble && m <= kExactInDouble;
    // One window's kernel arguments and values, evaluated together; reused for every entry.
    std::vector<float> arguments;
    std::vector<float> values;
    const auto fill = [&](PixelContributions& entry, float centre, std::int64_t first, std::int64_t last, float factor) {
        Arguments(centre, first, last, factor, exactInDouble, arguments);
        values.resize(arguments.size());
        LanczosKernels(arguments, values);
        for (std::size_t k = 0; k < values.size(); ++k) {
            const std::int64_t w = Weight(values[k], factor);
            if (w != 0) {
                Store(entry, static_cast<std::int32_t>(w), Reflect(first + static_cast<std::int64_t>(k), n));
            }
        }
        KeepNearestIfEmpty(entry, centre, n);
    };
    if (scale >= 1.0f) {
        for (std::int32_t i = 0; i < m; ++i) {
            PixelContributions& entry = list[static_cast<std::size_t>(i)];
            entry.contributors.resize(kEnlargeCapacity);
            const float centre = Centre(i, scale);
            const WindowEnds ends = Ends(centre, kRadius, exactInDouble);
            fill(entry, centre, ends.first, ends.last, 1.0f);
        }
        return list;
    }

    const auto halfWidth = static_cast<float>(static_cast<Extended>(kRadius) / static_cast<Extended>(scale));
    const auto capacity = static_cast<std::size_t>(
        static_cast<std::int64_t>(static_cast<Extended>(2) * static_cast<Extended>(halfWidth) + static_cast<Extended>(1)));
    for (std::int32_t i = 0; i < m; ++i) {
        PixelContributions& entry = list[static_cast<std::size_t>(i)];
        entry.contributors.resize(capacity);
        const float centre = Centre(i, scale);
        const WindowEnds ends = Ends(centre, halfWidth, exactInDouble);
        fill(entry, centre, ends.first, ends.last, scale);
    }
    return list;
}

ContributionList ReversedContributors(const ContributionList& list, std::int32_t n)
{
    ContributionList reversed(list.rbegin(), list.rend());
    for (PixelContributions& entry : reversed) {
        const auto used = entry.contributors.begin() + entry.count;
        std::reverse(entry.contributors.begin(), used);
        for (auto c = entry.contributors.begin(); c != used; ++c) {
            c->pixel = n - 1 - c->pixel;
        }
    }
    return reversed;
}

}  // namespace picbatch
