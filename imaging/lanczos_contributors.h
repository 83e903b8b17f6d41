// Contributor lists: for each target pixel along one axis, the source pixels that feed it and
// their integer weights (kernel value x 256, rounded). Built once per pass.
#pragma once

#include <cstdint>
#include <vector>

namespace picbatch {

struct Contribution {
    std::int32_t weight = 0;  // kernel x 256 (x scale when reducing), rounded, never 0
    std::int32_t pixel = 0;   // source index within the line, always in 0..n-1
    bool operator==(const Contribution&) const = default;
};

// Sized to the entry's capacity before the entry is filled; elements from count on are unused.
using Contributions = std::vector<Contribution>;

struct PixelContributions {
    std::int32_t count = 0;
    Contributions contributors;
};

// One entry per target pixel along the axis.
using ContributionList = std::vector<PixelContributions>;

// The scale of an axis from source length n to target length m (both >= 1): (m-1)/(n-1),
// or m/n when either length is 1, rounded to float. Target pixel i is centred on i / scale.
float AxisScale(int n, int m);

// Folds position j into a line of n >= 1 pixels: j < 0 maps to -j, j >= n to 2n-1-j,
// repeated until the position lies inside the line.
std::int32_t Reflect(std::int64_t j, std::int32_t n);

// The list of m entries for a line of n source pixels at the given scale (n, m >= 1,
// scale > 0). Contributions are in ascending order of the unreflected position; zero
// weights are left out. A list whose weights all round to 0 holds the nearest source
// pixel with weight 256 instead.
ContributionList BuildContributors(std::int32_t n, std::int32_t m, float scale);

// The list of a line of n pixels read from its far end: entry i is entry m-1-i of list with
// every pixel p as n-1-p, contributions again in ascending order. Filtering a line with it
// gives, in reverse order, what list gives for the reversed line.
ContributionList ReversedContributors(const ContributionList& list, std::int32_t n);

}  // namespace picbatch
