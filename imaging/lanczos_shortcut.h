// The double-precision shortcut of the Lanczos kernel, written once with Highway
// (lanczos_kernels.cpp) and compiled for every target: its constants, and its entry points
// per path. Private to the kernel and its tests. Why the floats it is sure of are those of
// the extended-precision way: see imaging/numerics.md, "The double-precision shortcut".
#pragma once

#include "imaging/resample_path.h"

#include <cstddef>
#include <cstdint>

namespace picbatch {

// Radius of the window in source pixels.
inline constexpr float kRadius = 3.0f;

// Arguments of magnitude below this go the extended-precision way: their products with pi
// and thirds need not be normal floats, and they hardly ever occur.
inline constexpr float kTiny = 0x1p-100f;

// The extended-precision pi (significand C90FDAA22168C235) as the exact sum of three parts
// of 27, 25 and 6 significant bits: a float times each is exact in double (numerics.md,
// "Step 1: the argument s").
inline constexpr double kPiHigh = 0x1.921fb54p+1;
inline constexpr double kPiMiddle = 0x1.10b461p-29;
inline constexpr double kPiLast = 0x1.a8p-57;

// For the reduction r = s - k pi, k = 0..3 (numerics.md, "Step 2: the quotient in double"):
// kPiHigh + kPiLow is pi to within 2^-84, and kInversePi is 1 / pi rounded to double.
inline constexpr double kPiLow = 0x1.10b4611a62633p-29;
inline constexpr double kInversePi = 0x1.45f306dc9c883p-2;

// Adding 1.5 x 2^52 rounds a double of magnitude below 2^51 to a whole number, ties to
// even, and leaves that number's lowest bit as the lowest bit of the significand.
inline constexpr double kRoundingShift = 0x1.8p52;

// sin(r) / r as a polynomial in z = r^2 for |r| <= pi/2 + 10^-6 (room for a k one off),
// lowest power first: a Chebyshev fit of degree 6, relative error below 2^-43.5 with these
// double coefficients.
inline constexpr double kSineRatio[7] = {0.9999999999999496,     -0.1666666666646667,    0.008333333320358266,
                                         -0.0001984126668311471, 2.7556952911472166e-06, -2.503026813391694e-08,
                                         1.541121893763501e-10};

// The guards, in steps (2^-29 of a float interval): the product with pi is sure more than
// 4 steps from a float rounding boundary (it errs by at most 1.1), the quotient more than
// (2^-32 + 2^-41) of itself, at most 2^21 + 2^12 steps (numerics.md, "Step 3: when the
// float is sure").
inline constexpr double kProductGuard = 4.0;
inline constexpr double kQuotientGuard = 0x1p21 + 0x1p12;

// A double's place within its float interval in steps: its 29 low significand bits
// (kStepBits), read by putting them under the exponent of 2^52 (kStepBase) and subtracting
// 2^52, as SSE2 to AVX2 lack a 64-bit integer conversion. The rounding boundary lies at
// step 2^28 (kBoundaryStep).
inline constexpr std::int64_t kStepBits = (std::int64_t{1} << 29) - 1;
inline constexpr double kStepBase = 0x1p52;
inline constexpr double kBoundaryStep = 0x1p28;

// The shortcut's batch forms, compiled for one Highway target.
struct KernelShortcut {
    // LanczosKernel of count arguments, into count values.
    void (*lanczosKernels)(const float* arguments, float* values, std::size_t count) = nullptr;
    // NormalizedSinc of count arguments, into count values.
    void (*normalizedSincs)(const float* arguments, float* values, std::size_t count) = nullptr;
};

// The shortcut of path's target, or null: for the reference, for a target not compiled in or
// not run by this processor, and for one without double-precision vectors. Where there is
// none, the definition (ExtendedLanczosKernel, ExtendedNormalizedSinc) gives every value.
const KernelShortcut* ShortcutOf(ResamplePath path);

// The shortcut of FastestResamplePath(), the target Highway's dispatch picks for this
// processor, looked up once.
const KernelShortcut* FastestShortcut();

}  // namespace picbatch
