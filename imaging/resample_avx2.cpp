// AVX2 kernels of the vectorised resampler. Compiled for AVX2 function by function, so the
// rest of the program stays runnable on any x86-64; called only when the processor has it.
#include "imaging/resample_vector.h"

#include <immintrin.h>

#include <cstring>

#define PICBATCH_AVX2 __attribute__((target("avx2")))

namespace {

// As in the SSE2 kernels: the float quotient, then one exact step up.
PICBATCH_AVX2 __m256i Divide(__m256i sum, __m256 reciprocal, __m256 divisor)
{
    const __m256 x = _mm256_cvtepi32_ps(sum);
    const __m256i q = _mm256_cvttps_epi32(_mm256_mul_ps(x, reciprocal));
    const __m256 next = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(q, _mm256_set1_epi32(1))), divisor);
    return _mm256_sub_epi32(q, _mm256_castps_si256(_mm256_cmp_ps(next, x, _CMP_LE_OQ)));
}

PICBATCH_AVX2 __m128i Divide(__m128i sum, __m128 reciprocal, __m128 divisor)
{
    const __m128 x = _mm_cvtepi32_ps(sum);
    const __m128i q = _mm_cvttps_epi32(_mm_mul_ps(x, reciprocal));
    const __m128 next = _mm_mul_ps(_mm_cvtepi32_ps(_mm_add_epi32(q, _mm_set1_epi32(1))), divisor);
    return _mm_sub_epi32(q, _mm_castps_si128(_mm_cmp_ps(next, x, _CMP_LE_OQ)));
}

// The four horizontal sums of a, b, c and d, in that order.
PICBATCH_AVX2 __m128i Reduce(__m256i a, __m256i b, __m256i c, __m256i d)
{
    const __m256i sums = _mm256_hadd_epi32(_mm256_hadd_epi32(a, b), _mm256_hadd_epi32(c, d));
    return _mm_add_epi32(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
}

PICBATCH_AVX2 __m256i Load(const void* p)
{
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

}  // namespace

PICBATCH_AVX2 void DeinterleaveAvx2(const std::uint8_t* bgr, std::int32_t count, std::int16_t* planes[3])
{
    std::int16_t* blue = planes[0];
    std::int16_t* green = planes[1];
    std::int16_t* red = planes[2];
    std::int32_t x = 0;
    // 16 pixels (48 bytes) at a time: each byte shuffle gathers one channel's bytes of one
    // 16-byte block (index -1 gives 0), and the three blocks are combined.
    const __m128i blue0 = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i blue1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
    const __m128i blue2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
    const __m128i green0 = _mm_setr_epi8(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i green1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1);
    const __m128i green2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14);
    const __m128i red0 = _mm_setr_epi8(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i red1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1);
    const __m128i red2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15);
    for (; x + 16 <= count; x += 16) {
        const std::uint8_t* p = bgr + 3 * x;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        const __m128i bl = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, blue0), _mm_shuffle_epi8(b, blue1)),
                                        _mm_shuffle_epi8(c, blue2));
        const __m128i gr = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, green0), _mm_shuffle_epi8(b, green1)),
                                        _mm_shuffle_epi8(c, green2));
        const __m128i rd = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, red0), _mm_shuffle_epi8(b, red1)),
                                        _mm_shuffle_epi8(c, red2));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(blue + x), _mm256_cvtepu8_epi16(bl));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(green + x), _mm256_cvtepu8_epi16(gr));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(red + x), _mm256_cvtepu8_epi16(rd));
    }
    for (; x < count; ++x) {
        blue[x] = bgr[3 * x];
        green[x] = bgr[3 * x + 1];
        red[x] = bgr[3 * x + 2];
    }
}

PICBATCH_AVX2 void HorizontalAvx2(const HorizontalJob& job)
{
    const PackedAxis& axis = *job.axis;
    const std::size_t targets = axis.windows.size();
    for (std::size_t x = 0; x < targets; ++x) {
        const PackedWindow& window = axis.windows[x];
        const std::int16_t* weights = axis.weights.data() + window.offset;
        __m256i acc[4][3];
        for (auto& row : acc) {
            for (auto& channel : row) {
                channel = _mm256_setzero_si256();
            }
        }
        for (std::int32_t k = 0; k < window.length; k += 16) {
            const __m256i w = Load(weights + k);
            for (int r = 0; r < 4; ++r) {
                for (int c = 0; c < 3; ++c) {
                    const __m256i pixels = Load(job.planes[r][c] + window.first + k);
                    acc[r][c] = _mm256_add_epi32(acc[r][c], _mm256_madd_epi16(pixels, w));
                }
            }
        }
        const __m128 reciprocal = _mm_set1_ps(window.reciprocal);
        const __m128 divisor = _mm_set1_ps(static_cast<float>(window.divisor));
        const __m128i q0 = Divide(Reduce(acc[0][0], acc[0][1], acc[0][2], acc[1][0]), reciprocal, divisor);
        const __m128i q1 = Divide(Reduce(acc[1][1], acc[1][2], acc[2][0], acc[2][1]), reciprocal, divisor);
        const __m128i q2 = Divide(Reduce(acc[2][2], acc[3][0], acc[3][1], acc[3][2]), reciprocal, divisor);
        alignas(16) std::uint8_t bytes[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(bytes),
                        _mm_packus_epi16(_mm_packs_epi32(q0, q1), _mm_packs_epi32(q2, q2)));
        for (int r = 0; r < job.rows; ++r) {
            std::memcpy(job.out[r] + 3 * x, bytes + 3 * r, 3);
        }
    }
}

PICBATCH_AVX2 void VerticalAvx2(const VerticalJob& job)
{
    const __m256 reciprocal = _mm256_set1_ps(job.window.reciprocal);
    const __m256 divisor = _mm256_set1_ps(static_cast<float>(job.window.divisor));
    const __m256i zero = _mm256_setzero_si256();
    for (std::int32_t o = 0; o < job.bytes; o += 32) {
        // Each 128-bit half works on its own 16 bytes: acc0 holds bytes 0..3 and 16..19,
        // acc1 4..7 and 20..23, acc2 8..11 and 24..27, acc3 12..15 and 28..31.
        __m256i acc0 = zero;
        __m256i acc1 = zero;
        __m256i acc2 = zero;
        __m256i acc3 = zero;
        for (std::int32_t k = 0; k < job.count; k += 2) {
            const auto pair = static_cast<std::uint32_t>(static_cast<std::uint16_t>(job.weights[k]))
                | (static_cast<std::uint32_t>(static_cast<std::uint16_t>(job.weights[k + 1])) << 16);
            const __m256i w = _mm256_set1_epi32(static_cast<int>(pair));
            const __m256i a = Load(job.rows[k] + o);
            const __m256i b = Load(job.rows[k + 1] + o);
            const __m256i low = _mm256_unpacklo_epi8(a, b);
            const __m256i high = _mm256_unpackhi_epi8(a, b);
            acc0 = _mm256_add_epi32(acc0, _mm256_madd_epi16(_mm256_unpacklo_epi8(low, zero), w));
            acc1 = _mm256_add_epi32(acc1, _mm256_madd_epi16(_mm256_unpackhi_epi8(low, zero), w));
            acc2 = _mm256_add_epi32(acc2, _mm256_madd_epi16(_mm256_unpacklo_epi8(high, zero), w));
            acc3 = _mm256_add_epi32(acc3, _mm256_madd_epi16(_mm256_unpackhi_epi8(high, zero), w));
        }
        // The in-lane packs undo the in-lane unpacks, so the bytes come out in order.
        const __m256i bytes = _mm256_packus_epi16(
            _mm256_packs_epi32(Divide(acc0, reciprocal, divisor), Divide(acc1, reciprocal, divisor)),
            _mm256_packs_epi32(Divide(acc2, reciprocal, divisor), Divide(acc3, reciprocal, divisor)));
        if (o + 32 <= job.bytes) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(job.out + o), bytes);
        } else {
            alignas(32) std::uint8_t tail[32];
            _mm256_store_si256(reinterpret_cast<__m256i*>(tail), bytes);
            std::memcpy(job.out + o, tail, static_cast<std::size_t>(job.bytes - o));
        }
    }
}
