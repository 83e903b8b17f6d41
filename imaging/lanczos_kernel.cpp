// The Lanczos-3 kernel. Every intermediate is a long double with a 64-bit significand; the
// values named in the interface are rounded to float where they are computed, so the
// weights do not depend on how the compiler keeps temporaries. A double-precision shortcut,
// two values at a time with SSE2, gives the same floats where it can tell that it does.
#include "imaging/lanczos_kernel.h"

#include <emmintrin.h>

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>

static_assert(LDBL_MANT_DIG == 64, "the kernel needs an extended-precision long double");
static_assert(DBL_MANT_DIG == 53 && FLT_MANT_DIG == 24, "the shortcuts need IEEE 754 double and single");

namespace {

// The extended-precision value nearest to pi (significand C90FDAA22168C235).
constexpr long double kPi = 3.14159265358979323851L;

// Radius of the window in source pixels.
constexpr float kRadius = 3.0f;

// The sine in extended precision. On x86-64 the x87 instruction is used: its error for the
// arguments here (|s| < 3 pi) is far below what survives the rounding to float, and it is
// many times faster than the library's sinl, whose argument reduction dominated building
// the weight lists.
long double Sine(long double s)
{
#if defined(__x86_64__) || defined(__i386__)
    long double result;
    asm("fsin" : "=t"(result) : "0"(s));
    return result;
#else
    return sinl(s);
#endif
}

// The float next to f (finite, not 0) toward +infinity or -infinity: one step of the
// magnitude in the bit pattern, without the library call.
float Neighbour(float f, bool up)
{
    const auto bits = std::bit_cast<std::uint32_t>(f);
    return std::bit_cast<float>((f > 0.0f) == up ? bits + 1 : bits - 1);
}

// sin(s) / s for s != 0, the quotient in extended precision rounded to float. The library's
// double-precision sine (error below 2^-52) is several times faster than the x87 one (error
// below 2^-39 relative for these arguments, the worst being near pi). When no float rounding
// boundary lies within 2^-32 of the quotient, both round to the same float; otherwise the
// extended-precision sine decides.
float ExtendedQuotient(float s)
{
    const long double quick = static_cast<long double>(std::sin(static_cast<double>(s))) / static_cast<long double>(s);
    const float rounded = static_cast<float>(quick);
    const long double above = (static_cast<long double>(rounded) + Neighbour(rounded, true)) / 2.0L;
    const long double below = (static_cast<long double>(rounded) + Neighbour(rounded, false)) / 2.0L;
    const long double margin = std::fabs(quick) * 0x1p-32L;
    if (above - quick > margin && quick - below > margin) {
        return rounded;
    }
    return static_cast<float>(Sine(static_cast<long double>(s)) / static_cast<long double>(s));
}

// pi in two parts for the reduction s - k pi, k = 0..3. The high part has 27 significant
// bits, so k * kPiHigh is exact and so is s - k * kPiHigh for a float s near k pi (both are
// multiples of 2^-25 below 2 in magnitude there); the low part brings pi to within 2^-84.
constexpr double kPiHigh = 0x1.921fb54p+1;
constexpr double kPiLow = 0x1.10b4611a62633p-29;
constexpr double kInversePi = 0x1.45f306dc9c883p-2;
// kPi itself in three parts of 27, 28 and 6 significant bits: a float times each is exact.
constexpr double kPiMiddle = 0x1.10b461p-29;
constexpr double kPiLast = 0x1.a8p-57;
static_assert(static_cast<long double>(kPiHigh) + kPiMiddle + kPiLast == kPi);

// Adding 1.5 x 2^52 rounds a double of magnitude below 2^51 to a whole number, ties to
// even, and leaves that number's lowest bit as the lowest bit of the significand.
constexpr double kRoundingShift = 0x1.8p52;

// Arguments of magnitude below this go the extended-precision way: their products with pi
// and thirds need not be normal floats, and they hardly ever occur.
constexpr float kTiny = 0x1p-100f;

__m128d Splat(double v)
{
    return _mm_set1_pd(v);
}

// Doubles rounded to float and back.
__m128d RoundToFloat(__m128d v)
{
    return _mm_cvtps_pd(_mm_cvtpd_ps(v));
}

// All lanes where the distance of q from the nearest float rounding boundary exceeds the
// guard, in steps of 2^-29 of the interval between the two floats around q (the 29
// significand bits a double has below float precision); the boundary is at step 2^28. For
// q of a normal float's magnitude.
__m128d ClearOfBoundary(__m128d q, double guardSteps)
{
    const __m128i place = _mm_and_si128(_mm_castpd_si128(q), _mm_set1_epi64x((std::int64_t{1} << 29) - 1));
    // The place as the low bits of 2^52's significand: converted without a 64-bit integer
    // conversion, which SSE2 lacks.
    const __m128d steps = _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(place, _mm_castpd_si128(Splat(0x1p52)))),
                                     Splat(0x1p52));
    const __m128d distance = _mm_andnot_pd(Splat(-0.0), _mm_sub_pd(steps, Splat(0x1p28)));
    return _mm_cmpgt_pd(distance, Splat(guardSteps));
}

// sin(r) / r for z = r^2, |r| <= pi/2 + 10^-6: a Chebyshev fit of degree 6, relative error
// below 2^-43.5 with these double coefficients and about 2^-50 more from evaluating it
// (the terms' magnitudes sum to at most 2.3 times the result). Estrin's scheme keeps the
// chains of dependent operations short.
__m128d SineRatio(__m128d z)
{
    const auto term = [](__m128d a, __m128d zz, double b) { return _mm_add_pd(a, _mm_mul_pd(zz, Splat(b))); };
    const __m128d z2 = _mm_mul_pd(z, z);
    const __m128d z4 = _mm_mul_pd(z2, z2);
    const __m128d low = term(Splat(0.9999999999999496), z, -0.1666666666646667);
    const __m128d middle = term(Splat(0.008333333320358266), z, -0.0001984126668311471);
    const __m128d high = term(term(Splat(2.7556952911472166e-06), z, -2.503026813391694e-08), z2, 1.541121893763501e-10);
    return _mm_add_pd(_mm_add_pd(low, _mm_mul_pd(z2, middle)), _mm_mul_pd(z4, high));
}

// NormalizedSinc of two floats kTiny <= x < 3 (as doubles) in double precision: the values
// (floats as doubles) and the lanes where they are sure to be NormalizedSinc's.
struct QuickSincs {
    __m128d values;
    __m128d sure;
};

// Inlined, so that the batch's two calls run interleaved.
[[gnu::always_inline]] inline QuickSincs QuickNormalizedSincs(__m128d x)
{
    // s = x pi: the three exact partial products summed lie within 1.1 steps of the exact
    // product (relative error below 2^-52.9). With the boundary more than 4 steps away, the
    // exact product, its extended-precision rounding (within 2^-12 steps) and this sum
    // round to the same float.
    const __m128d product = _mm_add_pd(_mm_mul_pd(x, Splat(kPiHigh)),
                                       _mm_add_pd(_mm_mul_pd(x, Splat(kPiMiddle)), _mm_mul_pd(x, Splat(kPiLast))));
    const __m128d s = RoundToFloat(product);

    // sin(s) / s for 0 < s <= 3 pi + 10^-6, relative error below 2^-43. With k the multiple
    // of pi nearest to s and r = s - k pi, sin(s) = (-1)^k sin(r). The smallest |r| of a
    // float s is 2^-25.3 (at s near 3 pi), so the reduction's absolute error of about 2^-80
    // stays below 2^-54 relative to r. The reciprocal, started first, overlaps the
    // polynomial (one more rounding of 2^-53).
    const __m128d reciprocal = _mm_div_pd(Splat(1.0), s);
    const __m128d shifted = _mm_add_pd(_mm_mul_pd(s, Splat(kInversePi)), Splat(kRoundingShift));
    const __m128d multiple = _mm_sub_pd(shifted, Splat(kRoundingShift));
    const __m128d r
        = _mm_sub_pd(_mm_sub_pd(s, _mm_mul_pd(multiple, Splat(kPiHigh))), _mm_mul_pd(multiple, Splat(kPiLow)));
    const __m128d sine = _mm_mul_pd(r, SineRatio(_mm_mul_pd(r, r)));
    // The sign bit takes k's parity, the lowest bit of the shifted sum.
    const __m128d sign = _mm_castsi128_pd(_mm_slli_epi64(_mm_castpd_si128(shifted), 63));
    const __m128d quotient = _mm_mul_pd(_mm_xor_pd(sine, sign), reciprocal);

    // ExtendedQuotient's quick quotient and this one are both within 2^-42 |q| of
    // sin(s) / s. When this one is more than (2^-32 + 2^-41) |q| from a float rounding
    // boundary, that one is more than its 2^-32 margin from it, on this one's side, so
    // ExtendedQuotient rounds it to the same float without the x87 sine. For
    // 10^-9 < |q| <= 1 (a normal float's magnitude) |q| is below 2^24 times the interval
    // between floats: 2^-32 |q| is below 2^21 steps, 2^-41 |q| below 2^12.
    const __m128d sure
        = _mm_and_pd(ClearOfBoundary(product, 4.0), ClearOfBoundary(quotient, 0x1p21 + 0x1p12));
    return {RoundToFloat(quotient), sure};
}

// The product of two floats is exact in double, as in extended precision.
float KernelProduct(double a, double b)
{
    return static_cast<float>(a * b);
}

// NormalizedSinc of the lanes of x named in wanted: the quick value where it is sure, the
// extended-precision one where it is not.
std::array<float, 2> Settle(const QuickSincs& quick, __m128d x, int wanted)
{
    alignas(16) double values[2];
    alignas(16) double arguments[2];
    _mm_store_pd(values, quick.values);
    _mm_store_pd(arguments, x);
    const int sure = _mm_movemask_pd(quick.sure);
    std::array<float, 2> settled = {};
    for (int k = 0; k < 2; ++k) {
        if ((wanted & (1 << k)) != 0) {
            settled[k] = (sure & (1 << k)) != 0 ? static_cast<float>(values[k])
                                                : ExtendedNormalizedSinc(static_cast<float>(arguments[k]));
        }
    }
    return settled;
}

// Whether x lies where the shortcut applies.
bool Covered(float x)
{
    return x >= kTiny && x < kRadius;
}

}  // namespace

float ExtendedNormalizedSinc(float x)
{
    if (x == 0.0f) {
        return 1.0f;
    }
    // sin of the rounded s, not of x * pi: this keeps the tiny non-zero values at whole x.
    return ExtendedQuotient(static_cast<float>(static_cast<long double>(x) * kPi));
}

float ExtendedLanczosKernel(float x)
{
    x = std::fabs(x);
    if (x >= kRadius) {
        return 0.0f;
    }
    const float a = ExtendedNormalizedSinc(x);
    const float t = static_cast<float>(static_cast<long double>(x) / static_cast<long double>(kRadius));
    return static_cast<float>(static_cast<long double>(ExtendedNormalizedSinc(t)) * static_cast<long double>(a));
}

float NormalizedSinc(float x)
{
    if (!Covered(x)) {
        return ExtendedNormalizedSinc(x);
    }
    return Settle(QuickNormalizedSincs(Splat(x)), Splat(x), 1)[0];
}

float LanczosKernel(float x)
{
    x = std::fabs(x);
    if (x >= kRadius) {
        return 0.0f;
    }
    // Rounded once, as from extended precision: x / 3 is exact or has the endless binary
    // digits 0101..., which no 64-bit rounding turns into a float rounding boundary.
    const float t = x / kRadius;
    if (!Covered(x)) {
        return KernelProduct(ExtendedNormalizedSinc(t), ExtendedNormalizedSinc(x));
    }
    const __m128d lanes = _mm_set_pd(t, x);
    const std::array<float, 2> sincs = Settle(QuickNormalizedSincs(lanes), lanes, 3);
    return KernelProduct(sincs[1], sincs[0]);
}

void LanczosKernels(std::span<const float> arguments, std::span<float> values)
{
    // Two arguments at a time, in straight-line code: the lanes of one register hold x, of
    // the other x / 3. Arguments outside the shortcut's range compute a stand-in of 1 and
    // are settled afterwards, with the few sincs the shortcut is not sure of.
    std::size_t i = 0;
    for (; i + 2 <= arguments.size(); i += 2) {
        const __m128 pair = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&arguments[i])));
        const __m128d x = _mm_andnot_pd(Splat(-0.0), _mm_cvtps_pd(pair));
        const __m128d outside = _mm_cmpge_pd(x, Splat(kRadius));
        const __m128d covered = _mm_and_pd(_mm_cmpge_pd(x, Splat(kTiny)), _mm_cmplt_pd(x, Splat(kRadius)));
        const __m128d y = _mm_or_pd(_mm_and_pd(covered, x), _mm_andnot_pd(covered, Splat(1.0)));
        // Rounded once, as LanczosKernel's thirds.
        const __m128d t = _mm_cvtps_pd(_mm_div_ps(_mm_cvtpd_ps(y), _mm_set1_ps(kRadius)));
        const QuickSincs a = QuickNormalizedSincs(y);
        const QuickSincs b = QuickNormalizedSincs(t);
        // Products of floats, exact in double; 0 outside the window.
        const __m128d product = _mm_andnot_pd(outside, _mm_mul_pd(a.values, b.values));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(&values[i]), _mm_castps_si128(_mm_cvtpd_ps(product)));
        const __m128d sure = _mm_or_pd(outside, _mm_and_pd(covered, _mm_and_pd(a.sure, b.sure)));
        const int unsure = ~_mm_movemask_pd(sure) & 3;
        if (unsure != 0) {
            const int inside = _mm_movemask_pd(covered) & unsure;
            const std::array<float, 2> sincsOfX = Settle(a, y, inside);
            const std::array<float, 2> sincsOfThirds = Settle(b, t, inside);
            for (std::size_t k = 0; k < 2; ++k) {
                if ((unsure & (1 << k)) != 0) {
                    values[i + k] = (inside & (1 << k)) != 0 ? KernelProduct(sincsOfThirds[k], sincsOfX[k])
                                                             : LanczosKernel(arguments[i + k]);
                }
            }
        }
    }
    for (; i < arguments.size(); ++i) {
        values[i] = LanczosKernel(arguments[i]);
    }
}
