// The sine in SoftExtended: s less the nearest multiple of pi, taken off with a pi of 128 bits
// in three parts, then the sine's Taylor series on what is left (|r| <= pi/2).
#include "imaging/soft_sine.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace picbatch {

namespace {

// pi = 0xC90FDAA2'2168C234'C4C6628B'80DC1CD1... x 2^-126, cut into parts of 32, 32 and 64
// bits: a multiple k < 2^29 of either of the first two is exact, and so is s less it
// (numerics.md, "The sine in software").
constexpr SoftExtended kPiFirst = SoftExtended::FromParts(false, 0xC90FDAA2, -30);
constexpr SoftExtended kPiSecond = SoftExtended::FromParts(false, 0x2168C234, -62);
constexpr SoftExtended kPiThird = SoftExtended::FromParts(false, 0xC4C6628B80DC1CD1, -126);

// Arguments beyond this have multiples of pi too large for the parts above.
constexpr float kReducible = 0x1p30f;

// Terms of the series up to r^(2 kTerms + 1): the first one left out, (pi/2)^29 / 29!, is
// below 2^-84 of the sine.
constexpr int kTerms = 13;

}  // namespace

SoftExtended SoftSine(float s)
{
    if (!(std::fabs(s) < kReducible)) {
        return SoftExtended(std::sin(static_cast<double>(s)));
    }
    // The nearest multiple of pi; one off near a half-way point only leaves |r| a little
    // above pi/2, where the series still converges as fast.
    const auto k = static_cast<std::int64_t>(std::round(static_cast<double>(s) / std::numbers::pi));
    const SoftExtended multiple(k);
    const SoftExtended r = ((SoftExtended(s) - multiple * kPiFirst) - multiple * kPiSecond) - multiple * kPiThird;
    // sin(r) / r = 1 - z/(2 x 3) (1 - z/(4 x 5) (1 - ...)), z = r^2, from the innermost term;
    // multiplying by the rounded 1 / (2n (2n + 1)) costs one more rounding a term than
    // dividing, and far less time.
    static const std::array<SoftExtended, kTerms + 1> kInverses = [] {
        std::array<SoftExtended, kTerms + 1> inverses;
        for (int n = 1; n <= kTerms; ++n) {
            inverses[n] = SoftExtended(1) / SoftExtended(2 * n * (2 * n + 1));
        }
        return inverses;
    }();
    const SoftExtended z = r * r;
    const SoftExtended one(1);
    SoftExtended ratio = one;
    for (int n = kTerms; n >= 1; --n) {
        ratio = one - z * ratio * kInverses[n];
    }
    const SoftExtended sine = r * ratio;
    return k % 2 == 0 ? sine : -sine;
}

}  // namespace picbatch
