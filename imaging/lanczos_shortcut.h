// The double-precision shortcut of the Lanczos kernel, shared by its SSE2 and AVX2 forms:
// its constants and why the floats it is sure of are those of the extended-precision way.
// Private to lanczos_kernel.cpp and lanczos_kernel_avx2.cpp.
//
// For an argument x (kTiny <= x < 3, and likewise x / 3) the shortcut computes
// 1. s = x pi rounded to float: x times the three parts of the extended-precision pi
//    (each product exact) summed in double lies within 1.1 steps (see below) of the exact
//    product. More than kProductGuard steps from a rounding boundary, the exact product,
//    its extended-precision rounding (within 2^-12 steps of it) and the sum all round to
//    the same float s.
// 2. q = sin(s) / s, relative error below 2^-43: k = the multiple of pi nearest to s, r =
//    s - k pi in two steps, sin(s) = (-1)^k r SineRatio(r^2). The smallest |r| of a float s
//    is 2^-25.3 (at s near 3 pi), so the reduction's absolute error of about 2^-80 stays
//    below 2^-54 relative to r; the ratio's error is below 2^-43.5.
// 3. The extended-precision way's quick quotient (the library's double sine over s) and q
//    are both within 2^-42 |q| of sin(s) / s. When q is more than (2^-32 + 2^-41) |q| from
//    a float rounding boundary, that quotient is more than its 2^-32 margin from it, on q's
//    side, so the extended-precision way rounds it to the same float as q, without the x87
//    sine. For 10^-9 < |q| <= 1 (a normal float's magnitude) |q| is below 2^24 times the
//    interval between floats: 2^-32 |q| is below 2^21 steps, 2^-41 |q| below 2^12.
// A step is 2^-29 of the interval between the two floats around a double: the 29
// significand bits a double has below float precision place it within that interval, the
// rounding boundary at step 2^28.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Radius of the window in source pixels.
inline constexpr float kRadius = 3.0f;

// Arguments of magnitude below this go the extended-precision way: their products with pi
// and thirds need not be normal floats, and they hardly ever occur.
inline constexpr float kTiny = 0x1p-100f;

// The extended-precision pi (significand C90FDAA22168C235) in three parts of 27, 28 and 6
// significant bits: a float times each is exact.
inline constexpr double kPiHigh = 0x1.921fb54p+1;
inline constexpr double kPiMiddle = 0x1.10b461p-29;
inline constexpr double kPiLast = 0x1.a8p-57;

// For the reduction s - k pi, k = 0..3: k * kPiHigh is exact, and so is s - k * kPiHigh for a
// float s near k pi (both are multiples of 2^-25 below 2 in magnitude there); kPiLow brings
// pi to within 2^-84.
inline constexpr double kPiLow = 0x1.10b4611a62633p-29;
inline constexpr double kInversePi = 0x1.45f306dc9c883p-2;

// Adding 1.5 x 2^52 rounds a double of magnitude below 2^51 to a whole number, ties to
// even, and leaves that number's lowest bit as the lowest bit of the significand.
inline constexpr double kRoundingShift = 0x1.8p52;

// sin(r) / r as a polynomial in z = r^2 for |r| <= pi/2 + 10^-6, lowest power first: a
// Chebyshev fit of degree 6, relative error below 2^-43.5 with these double coefficients,
// and about 2^-50 more from evaluating it (the terms' magnitudes sum to at most 2.3 times
// the result).
inline constexpr double kSineRatio[7] = {0.9999999999999496,     -0.1666666666646667,    0.008333333320358266,
                                         -0.0001984126668311471, 2.7556952911472166e-06, -2.503026813391694e-08,
                                         1.541121893763501e-10};

// The guards of steps 1 and 3, in steps.
inline constexpr double kProductGuard = 4.0;
inline constexpr double kQuotientGuard = 0x1p21 + 0x1p12;

// A step's bits of a double, and its place value for the conversion of those bits: as the
// low bits of 2^52's significand, without a 64-bit integer conversion, which SSE2 and AVX2
// lack.
inline constexpr std::int64_t kStepBits = (std::int64_t{1} << 29) - 1;
inline constexpr double kStepBase = 0x1p52;
inline constexpr double kBoundaryStep = 0x1p28;

// LanczosKernels with AVX2 (only where the processor has it) on the arguments up to the
// last multiple of four, which it returns.
std::size_t LanczosKernelsAvx2(std::span<const float> arguments, std::span<float> values);
