// The double-precision shortcut of the Lanczos kernel with AVX2: the SSE2 form of
// lanczos_kernel.cpp on four lanes, each argument's x and x / 3 in two registers. Why its
// floats are the definition's: imaging/numerics.md, "The double-precision shortcut".
#include "imaging/lanczos_kernel.h"
#include "imaging/lanczos_shortcut.h"

#include <immintrin.h>

namespace picbatch {

#define PICBATCH_AVX2 __attribute__((target("avx2")))

namespace {

PICBATCH_AVX2 __m256d Splat(double v)
{
    return _mm256_set1_pd(v);
}

PICBATCH_AVX2 __m256d RoundToFloat(__m256d v)
{
    return _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
}

PICBATCH_AVX2 __m256d ClearOfBoundary(__m256d q, double guard)
{
    const __m256d place = _mm256_and_pd(q, _mm256_castsi256_pd(_mm256_set1_epi64x(kStepBits)));
    const __m256d steps = _mm256_sub_pd(_mm256_or_pd(place, Splat(kStepBase)), Splat(kStepBase));
    const __m256d distance = _mm256_andnot_pd(Splat(-0.0), _mm256_sub_pd(steps, Splat(kBoundaryStep)));
    return _mm256_cmp_pd(distance, Splat(guard), _CMP_GT_OQ);
}

// a + z b
PICBATCH_AVX2 __m256d Term(__m256d a, __m256d z, double b)
{
    return _mm256_add_pd(a, _mm256_mul_pd(z, Splat(b)));
}

PICBATCH_AVX2 __m256d SineRatio(__m256d z)
{
    const __m256d z2 = _mm256_mul_pd(z, z);
    const __m256d z4 = _mm256_mul_pd(z2, z2);
    const __m256d low = Term(Splat(kSineRatio[0]), z, kSineRatio[1]);
    const __m256d middle = Term(Splat(kSineRatio[2]), z, kSineRatio[3]);
    const __m256d high = Term(Term(Splat(kSineRatio[4]), z, kSineRatio[5]), z2, kSineRatio[6]);
    return _mm256_add_pd(_mm256_add_pd(low, _mm256_mul_pd(z2, middle)), _mm256_mul_pd(z4, high));
}

struct QuickSincs {
    __m256d values;
    __m256d sure;
};

PICBATCH_AVX2 inline QuickSincs QuickNormalizedSincs(__m256d x)
{
    const __m256d product = _mm256_add_pd(
        _mm256_mul_pd(x, Splat(kPiHigh)), _mm256_add_pd(_mm256_mul_pd(x, Splat(kPiMiddle)), _mm256_mul_pd(x, Splat(kPiLast))));
    const __m256d s = RoundToFloat(product);
    const __m256d reciprocal = _mm256_div_pd(Splat(1.0), s);
    const __m256d shifted = _mm256_add_pd(_mm256_mul_pd(s, Splat(kInversePi)), Splat(kRoundingShift));
    const __m256d multiple = _mm256_sub_pd(shifted, Splat(kRoundingShift));
    const __m256d r = _mm256_sub_pd(_mm256_sub_pd(s, _mm256_mul_pd(multiple, Splat(kPiHigh))),
                                    _mm256_mul_pd(multiple, Splat(kPiLow)));
    const __m256d sine = _mm256_mul_pd(r, SineRatio(_mm256_mul_pd(r, r)));
    const __m256d sign = _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_castpd_si256(shifted), 63));
    const __m256d quotient = _mm256_mul_pd(_mm256_xor_pd(sine, sign), reciprocal);
    const __m256d sure
        = _mm256_and_pd(ClearOfBoundary(product, kProductGuard), ClearOfBoundary(quotient, kQuotientGuard));
    return {RoundToFloat(quotient), sure};
}

}  // namespace

PICBATCH_AVX2 std::size_t LanczosKernelsAvx2(std::span<const float> arguments, std::span<float> values)
{
    std::size_t i = 0;
    for (; i + 4 <= arguments.size(); i += 4) {
        const __m256d x = _mm256_andnot_pd(Splat(-0.0), _mm256_cvtps_pd(_mm_loadu_ps(&arguments[i])));
        const __m256d outside = _mm256_cmp_pd(x, Splat(kRadius), _CMP_GE_OQ);
        const __m256d covered = _mm256_and_pd(_mm256_cmp_pd(x, Splat(kTiny), _CMP_GE_OQ),
                                              _mm256_cmp_pd(x, Splat(kRadius), _CMP_LT_OQ));
        const __m256d y = _mm256_blendv_pd(Splat(1.0), x, covered);
        const __m256d t = _mm256_cvtps_pd(_mm_div_ps(_mm256_cvtpd_ps(y), _mm_set1_ps(kRadius)));
        const QuickSincs a = QuickNormalizedSincs(y);
        const QuickSincs b = QuickNormalizedSincs(t);
        const __m256d product = _mm256_andnot_pd(outside, _mm256_mul_pd(a.values, b.values));
        _mm_storeu_ps(&values[i], _mm256_cvtpd_ps(product));
        const __m256d sure = _mm256_or_pd(outside, _mm256_and_pd(covered, _mm256_and_pd(a.sure, b.sure)));
        const int unsure = ~_mm256_movemask_pd(sure) & 15;
        // The few the shortcut is not sure of, and those it leaves alone, one at a time.
        if (unsure != 0) {
            for (std::size_t k = 0; k < 4; ++k) {
                if ((unsure & (1 << k)) != 0) {
                    values[i + k] = LanczosKernel(arguments[i + k]);
                }
            }
        }
    }
    return i;
}

}  // namespace picbatch
