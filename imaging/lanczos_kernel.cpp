// The Lanczos-3 kernel's double-precision shortcut, several values at a time with SSE2
// (here) or AVX2 (lanczos_kernel_avx2.cpp): the floats of the extended-precision definition
// (extended_lanczos_kernel.cpp) where it can tell that it gives them, the definition's own
// elsewhere.
#include "imaging/lanczos_kernel.h"

#include "imaging/lanczos_shortcut.h"

#include <emmintrin.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>

namespace picbatch {

static_assert(DBL_MANT_DIG == 53 && FLT_MANT_DIG == 24, "the shortcuts need IEEE 754 double and single");

namespace {

__m128d Splat(double v)
{
    return _mm_set1_pd(v);
}

// Doubles rounded to float and back.
__m128d RoundToFloat(__m128d v)
{
    return _mm_cvtps_pd(_mm_cvtpd_ps(v));
}

// All lanes where q lies more than guard steps from the nearest float rounding boundary,
// for q of a normal float's magnitude (steps: imaging/numerics.md, "Terms").
__m128d ClearOfBoundary(__m128d q, double guard)
{
    const __m128i place = _mm_and_si128(_mm_castpd_si128(q), _mm_set1_epi64x(kStepBits));
    const __m128d steps
        = _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(place, _mm_castpd_si128(Splat(kStepBase)))), Splat(kStepBase));
    const __m128d distance = _mm_andnot_pd(Splat(-0.0), _mm_sub_pd(steps, Splat(kBoundaryStep)));
    return _mm_cmpgt_pd(distance, Splat(guard));
}

// a + z b
__m128d Term(__m128d a, __m128d z, double b)
{
    return _mm_add_pd(a, _mm_mul_pd(z, Splat(b)));
}

// kSineRatio's polynomial by Estrin's scheme, whose chains of dependent operations are
// shorter than Horner's.
__m128d SineRatio(__m128d z)
{
    const __m128d z2 = _mm_mul_pd(z, z);
    const __m128d z4 = _mm_mul_pd(z2, z2);
    const __m128d low = Term(Splat(kSineRatio[0]), z, kSineRatio[1]);
    const __m128d middle = Term(Splat(kSineRatio[2]), z, kSineRatio[3]);
    const __m128d high = Term(Term(Splat(kSineRatio[4]), z, kSineRatio[5]), z2, kSineRatio[6]);
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
    // The three steps of imaging/numerics.md, "The double-precision shortcut". The
    // reciprocal, started first, overlaps the polynomial (one more rounding of 2^-53).
    const __m128d product = _mm_add_pd(_mm_mul_pd(x, Splat(kPiHigh)),
                                       _mm_add_pd(_mm_mul_pd(x, Splat(kPiMiddle)), _mm_mul_pd(x, Splat(kPiLast))));
    const __m128d s = RoundToFloat(product);
    const __m128d reciprocal = _mm_div_pd(Splat(1.0), s);
    const __m128d shifted = _mm_add_pd(_mm_mul_pd(s, Splat(kInversePi)), Splat(kRoundingShift));
    const __m128d multiple = _mm_sub_pd(shifted, Splat(kRoundingShift));
    const __m128d r
        = _mm_sub_pd(_mm_sub_pd(s, _mm_mul_pd(multiple, Splat(kPiHigh))), _mm_mul_pd(multiple, Splat(kPiLow)));
    const __m128d sine = _mm_mul_pd(r, SineRatio(_mm_mul_pd(r, r)));
    // The sign bit takes k's parity, the lowest bit of the shifted sum.
    const __m128d sign = _mm_castsi128_pd(_mm_slli_epi64(_mm_castpd_si128(shifted), 63));
    const __m128d quotient = _mm_mul_pd(_mm_xor_pd(sine, sign), reciprocal);
    const __m128d sure
        = _mm_and_pd(ClearOfBoundary(product, kProductGuard), ClearOfBoundary(quotient, kQuotientGuard));
    return {RoundToFloat(quotient), sure};
}

// The product of two floats (48 bits) is exact in double, as in extended precision.
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
    // The float of the extended-precision quotient: see imaging/numerics.md, "Thirds".
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
    static const bool avx2 = __builtin_cpu_supports("avx2");
    std::size_t i = avx2 ? LanczosKernelsAvx2(arguments, values) : 0;
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

}  // namespace picbatch
