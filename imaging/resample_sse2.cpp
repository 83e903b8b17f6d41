// SSE2 kernels of the vectorised resampler (every x86-64 processor has SSE2).
#include "imaging/resample_vector.h"

#include <emmintrin.h>

#include <cstring>

namespace picbatch {

namespace {

// trunc(sum / divisor) clamped to 0..255 for four lanes, exactly: the sum clamped to
// 0..limit, times the reciprocal in single precision, truncated (imaging/numerics.md,
// "Reciprocal division").
__m128i Divide(__m128i sum, __m128 reciprocal, __m128i limit)
{
    const __m128i positive = _mm_and_si128(sum, _mm_cmpgt_epi32(sum, _mm_setzero_si128()));
    const __m128i over = _mm_cmpgt_epi32(positive, limit);
    const __m128i x = _mm_or_si128(_mm_andnot_si128(over, positive), _mm_and_si128(over, limit));
    return _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(x), reciprocal));
}

// The four horizontal sums of a, b, c and d, in that order.
__m128i Reduce(__m128i a, __m128i b, __m128i c, __m128i d)
{
    const __m128i ab = _mm_add_epi32(_mm_unpacklo_epi32(a, b), _mm_unpackhi_epi32(a, b));
    const __m128i cd = _mm_add_epi32(_mm_unpacklo_epi32(c, d), _mm_unpackhi_epi32(c, d));
    return _mm_add_epi32(_mm_unpacklo_epi64(ab, cd), _mm_unpackhi_epi64(ab, cd));
}

__m128i Load(const void* p)
{
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

}  // namespace

void DeinterleaveSse2(const std::uint8_t* bgr, std::int32_t count, std::int16_t* planes[3])
{
    std::int16_t* blue = planes[0];
    std::int16_t* green = planes[1];
    std::int16_t* red = planes[2];
    for (std::int32_t x = 0; x < count; ++x) {
        blue[x] = bgr[3 * x];
        green[x] = bgr[3 * x + 1];
        red[x] = bgr[3 * x + 2];
    }
}

void HorizontalSse2(const HorizontalJob& job)
{
    const PackedAxis& axis = *job.axis;
    for (std::int32_t x = job.firstTarget; x < job.endTarget; ++x) {
        const PackedWindow& window = axis.windows[static_cast<std::size_t>(x)];
        const std::int16_t* weights = axis.weights.data() + window.offset;
        const std::int32_t start = window.first - job.origin;
        const __m128 reciprocal = _mm_set1_ps(window.reciprocal);
        const __m128i limit = _mm_set1_epi32(window.limit);
        // One channel at a time keeps the eight accumulators in registers.
        __m128i low[3];   // rows 0..3 of each channel
        __m128i high[3];  // rows 4..7
        for (int c = 0; c < 3; ++c) {
            // Every window has at least 8 weights; the first 8 start the sums.
            const __m128i first = Load(weights);
            __m128i acc[kHorizontalRows];
            for (int r = 0; r < kHorizontalRows; ++r) {
                acc[r] = _mm_madd_epi16(Load(job.planes[r][c] + start), first);
            }
            for (std::int32_t k = 8; k < window.length; k += 8) {
                const __m128i w = Load(weights + k);
                for (int r = 0; r < kHorizontalRows; ++r) {
                    acc[r] = _mm_add_epi32(acc[r], _mm_madd_epi16(Load(job.planes[r][c] + start + k), w));
                }
            }
            low[c] = Divide(Reduce(acc[0], acc[1], acc[2], acc[3]), reciprocal, limit);
            high[c] = Divide(Reduce(acc[4], acc[5], acc[6], acc[7]), reciprocal, limit);
        }
        // Saturating packs clamp to 0..255: blue of rows 0..7, green, then red.
        alignas(16) std::uint8_t bytes[32];
        _mm_store_si128(reinterpret_cast<__m128i*>(bytes), _mm_packus_epi16(_mm_packs_epi32(low[0], high[0]),
                                                                            _mm_packs_epi32(low[1], high[1])));
        _mm_store_si128(reinterpret_cast<__m128i*>(bytes + 16),
                        _mm_packus_epi16(_mm_packs_epi32(low[2], high[2]), _mm_setzero_si128()));
        for (int r = 0; r < job.rows; ++r) {
            std::uint8_t* pixel = job.out[r] + 3 * x;
            pixel[0] = bytes[r];
            pixel[1] = bytes[8 + r];
            pixel[2] = bytes[16 + r];
        }
    }
}

void VerticalSse2(const VerticalJob& job)
{
    const __m128 reciprocal = _mm_set1_ps(job.window.reciprocal);
    const __m128i limit = _mm_set1_epi32(job.window.limit);
    const __m128i zero = _mm_setzero_si128();
    for (std::int32_t o = 0; o < job.bytes; o += 16) {
        __m128i acc0 = zero;
        __m128i acc1 = zero;
        __m128i acc2 = zero;
        __m128i acc3 = zero;
        for (std::int32_t k = 0; k < job.count; k += 2) {
            // Two rows' weights side by side, matching the interleaved bytes of the two rows.
            const auto pair = static_cast<std::uint32_t>(static_cast<std::uint16_t>(job.weights[k]))
                | (static_cast<std::uint32_t>(static_cast<std::uint16_t>(job.weights[k + 1])) << 16);
            const __m128i w = _mm_set1_epi32(static_cast<int>(pair));
            const __m128i a = Load(job.rows[k] + o);
            const __m128i b = Load(job.rows[k + 1] + o);
            const __m128i low = _mm_unpacklo_epi8(a, b);
            const __m128i high = _mm_unpackhi_epi8(a, b);
            acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_unpacklo_epi8(low, zero), w));
            acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_unpackhi_epi8(low, zero), w));
            acc2 = _mm_add_epi32(acc2, _mm_madd_epi16(_mm_unpacklo_epi8(high, zero), w));
            acc3 = _mm_add_epi32(acc3, _mm_madd_epi16(_mm_unpackhi_epi8(high, zero), w));
        }
        const __m128i bytes = _mm_packus_epi16(
            _mm_packs_epi32(Divide(acc0, reciprocal, limit), Divide(acc1, reciprocal, limit)),
            _mm_packs_epi32(Divide(acc2, reciprocal, limit), Divide(acc3, reciprocal, limit)));
        if (o + 16 <= job.bytes) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(job.out + o), bytes);
        } else {
            // The row's end: nothing past its bytes is written (the next row may lie there).
            alignas(16) std::uint8_t tail[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(tail), bytes);
            std::memcpy(job.out + o, tail, static_cast<std::size_t>(job.bytes - o));
        }
    }
}

}  // namespace picbatch
