// AVX2 kernels of the vectorised resampler. Compiled for AVX2 function by function, so the
// rest of the program stays runnable on any x86-64; called only when the processor has it.
#include "imaging/resample_vector.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace picbatch {

#define PICBATCH_AVX2 __attribute__((target("avx2")))

namespace {

// As in the SSE2 kernels: the sum clamped to 0..limit, times the reciprocal in single
// precision, truncated. Exact: see imaging/numerics.md, "Reciprocal division".
PICBATCH_AVX2 __m256i Divide(__m256i sum, __m256 reciprocal, __m256i limit)
{
    const __m256i x = _mm256_min_epi32(_mm256_max_epi32(sum, _mm256_setzero_si256()), limit);
    return _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(x), reciprocal));
}

PICBATCH_AVX2 __m256i Load(const void* p)
{
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

// Two 16-bit weights in every 32-bit lane, the first in the low half, as multiply-adds pair them.
PICBATCH_AVX2 inline __m256i BroadcastPair(const std::int16_t* weights)
{
    std::int32_t pair;
    std::memcpy(&pair, weights, sizeof pair);
    return _mm256_set1_epi32(pair);
}

// Byte-shuffle masks that gather one channel of 16 pixels (48 bytes) straight into 16-bit
// values, zero high bytes included (index -1 gives 0). The shuffle works within 128-bit
// halves, so it is fed X = bytes 0..31 and Y = bytes 16..47: the low half of the result,
// pixels 0..7, comes from bytes 0..15 (X) and 16..31 (Y); the high half, pixels 8..15,
// from bytes 16..31 (X) and 32..47 (Y).
struct ShuffleMasks {
    alignas(32) std::int8_t fromX[32];
    alignas(32) std::int8_t fromY[32];
};

constexpr ShuffleMasks MakeShuffleMasks(int channel)
{
    ShuffleMasks masks{};
    for (int p = 0; p < 16; ++p) {
        const int source = 3 * p + channel;  // byte of pixel p's channel in the 48 bytes
        const int lane = p / 8;
        const int out = 16 * lane + 2 * (p % 8);
        const int xBase = 16 * lane;       // X's half for this lane starts at this byte
        const int yBase = 16 * lane + 16;  // and Y's
        const bool inX = source >= xBase && source < xBase + 16;
        masks.fromX[out] = static_cast<std::int8_t>(inX ? source - xBase : -1);
        masks.fromY[out] = static_cast<std::int8_t>(inX ? -1 : source - yBase);
        masks.fromX[out + 1] = -1;
        masks.fromY[out + 1] = -1;
    }
    return masks;
}

constexpr ShuffleMasks kShuffleMasks[3] = {MakeShuffleMasks(0), MakeShuffleMasks(1), MakeShuffleMasks(2)};

}  // namespace

PICBATCH_AVX2 void VerticalAvx2(const VerticalJob& job)
{
    const __m256 reciprocal = _mm256_set1_ps(job.window.reciprocal);
    const __m256i limit = _mm256_set1_epi32(job.window.limit);
    const __m256i zero = _mm256_setzero_si256();
    for (std::int32_t o = 0; o < job.bytes; o += 32) {
        // Each 128-bit half works on its own 16 bytes: acc0 holds bytes 0..3 and 16..19,
        // acc1 4..7 and 20..23, acc2 8..11 and 24..27, acc3 12..15 and 28..31.
        __m256i acc0 = zero;
        __m256i acc1 = zero;
        __m256i acc2 = zero;
        __m256i acc3 = zero;
        const std::uint8_t* const* rows = job.rows;
        const std::int16_t* weights = job.weights;
        for (std::int32_t k = 0; k < job.count; k += 2, rows += 2, weights += 2) {
            const __m256i w = BroadcastPair(weights);
            const __m256i a = Load(rows[0] + o);
            const __m256i b = Load(rows[1] + o);
            const __m256i low = _mm256_unpacklo_epi8(a, b);
            const __m256i high = _mm256_unpackhi_epi8(a, b);
            // Products first, then the sums: GCC copies each sum between registers every
            // step when the sum comes first.
            const __m256i p0 = _mm256_madd_epi16(_mm256_unpacklo_epi8(low, zero), w);
            const __m256i p1 = _mm256_madd_epi16(_mm256_unpackhi_epi8(low, zero), w);
            const __m256i p2 = _mm256_madd_epi16(_mm256_unpacklo_epi8(high, zero), w);
            const __m256i p3 = _mm256_madd_epi16(_mm256_unpackhi_epi8(high, zero), w);
            acc0 = _mm256_add_epi32(p0, acc0);
            acc1 = _mm256_add_epi32(p1, acc1);
            acc2 = _mm256_add_epi32(p2, acc2);
            acc3 = _mm256_add_epi32(p3, acc3);
        }
        // The in-lane packs undo the in-lane unpacks, so the bytes come out in order.
        const __m256i bytes = _mm256_packus_epi16(
            _mm256_packs_epi32(Divide(acc0, reciprocal, limit), Divide(acc1, reciprocal, limit)),
            _mm256_packs_epi32(Divide(acc2, reciprocal, limit), Divide(acc3, reciprocal, limit)));
        if (o + 32 <= job.bytes) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(job.out + o), bytes);
        } else {
            alignas(32) std::uint8_t tail[32];
            _mm256_store_si256(reinterpret_cast<__m256i*>(tail), bytes);
            std::memcpy(job.out + o, tail, static_cast<std::size_t>(job.bytes - o));
        }
    }
}

namespace {

// Sixteen pixels of each of eight rows, Bgr24, into eight columns (see kColumnValues). Each
// row is first split into channels, which leaves in every 32-bit lane the two values of one
// pair; then each channel's 8 x 8 lanes are transposed so that the lanes become rows. The
// split rows go through scratch, whose 16-byte halves load straight into the transpose's
// inputs: rows r and r + 4 of four pairs share one register.
PICBATCH_AVX2 void InterleaveSixteen(const std::uint8_t* const (&rows)[kHorizontalRows], std::int32_t x,
                                     const __m256i (&fromX)[3], const __m256i (&fromY)[3], std::int16_t* columns)
{
    alignas(32) std::int16_t scratch[3][kHorizontalRows][16];
    for (int r = 0; r < kHorizontalRows; ++r) {
        const __m256i first = Load(rows[r] + 3 * x);
        const __m256i second = Load(rows[r] + 3 * x + 16);
        for (int c = 0; c < 3; ++c) {
            const __m256i values
                = _mm256_or_si256(_mm256_shuffle_epi8(first, fromX[c]), _mm256_shuffle_epi8(second, fromY[c]));
            _mm256_store_si256(reinterpret_cast<__m256i*>(scratch[c][r]), values);
        }
    }
    const auto half = [](const std::int16_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); };
    for (int c = 0; c < 3; ++c) {
        for (int h = 0; h < 2; ++h) {
            // Pairs 4h..4h + 3: register i holds rows i and i + 4.
            __m256i in[4];
            for (int i = 0; i < 4; ++i) {
                in[i] = _mm256_inserti128_si256(_mm256_castsi128_si256(half(scratch[c][i] + 8 * h)),
                                                half(scratch[c][i + 4] + 8 * h), 1);
            }
            const __m256i t0 = _mm256_unpacklo_epi32(in[0], in[1]);
            const __m256i t1 = _mm256_unpackhi_epi32(in[0], in[1]);
            const __m256i t2 = _mm256_unpacklo_epi32(in[2], in[3]);
            const __m256i t3 = _mm256_unpackhi_epi32(in[2], in[3]);
            const __m256i out[4] = {_mm256_unpacklo_epi64(t0, t2), _mm256_unpackhi_epi64(t0, t2),
                                    _mm256_unpacklo_epi64(t1, t3), _mm256_unpackhi_epi64(t1, t3)};
            for (int i = 0; i < 4; ++i) {
                _mm256_store_si256(reinterpret_cast<__m256i*>(columns + kColumnValues * (4 * h + i) + 16 * c), out[i]);
            }
        }
    }
}

}  // namespace

PICBATCH_AVX2 void InterleaveRowsAvx2(const std::uint8_t* const (&rows)[kHorizontalRows], std::int32_t count,
                                      std::int16_t* columns)
{
    __m256i fromX[3];
    __m256i fromY[3];
    for (int c = 0; c < 3; ++c) {
        fromX[c] = Load(kShuffleMasks[c].fromX);
        fromY[c] = Load(kShuffleMasks[c].fromY);
    }
    std::int32_t x = 0;
    for (; x + 16 <= count; x += 16) {
        InterleaveSixteen(rows, x, fromX, fromY, columns + kColumnValues * (x / 2));
    }
    if (x < count) {
        // The last pixels, copied so that the 48-byte loads stay within the rows.
        alignas(32) std::uint8_t tail[kHorizontalRows][48] = {};
        const std::uint8_t* tailRows[kHorizontalRows];
        for (int r = 0; r < kHorizontalRows; ++r) {
            std::memcpy(tail[r], rows[r] + 3 * x, 3 * static_cast<std::size_t>(count - x));
            tailRows[r] = tail[r];
        }
        InterleaveSixteen(tailRows, 0, fromX, fromY, columns + kColumnValues * (x / 2));
    }
}

namespace {

// Target pixels finished together: their results are gathered into whole rows of 12 bytes.
constexpr int kGroupPixels = 4;

// Byte-shuffle masks that gather, from the packed results of a group (channel c of pixel p
// and row r at byte 4p + r of each 128-bit half; see HorizontalColumnsAvx2), the 12 bytes of
// row r (r + 4 in the high half) in blue, green, red order, one mask per channel and row.
struct RowMasks {
    alignas(32) std::int8_t mask[3][4][32];
};

constexpr RowMasks MakeRowMasks()
{
    RowMasks masks{};
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 4; ++r) {
            for (int i = 0; i < 32; ++i) {
                const int byte = i % 16;
                const int p = byte / 3;
                const bool mine = byte < 3 * kGroupPixels && byte % 3 == c;
                masks.mask[c][r][i] = static_cast<std::int8_t>(mine ? 4 * p + r : -1);
            }
        }
    }
    return masks;
}

constexpr RowMasks kRowMasks = MakeRowMasks();

PICBATCH_AVX2 inline __m256i LoadColumn(const std::int16_t* p)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}

// Target pixel x of the eight rows, one quotient per row (lane) in blue, green, red.
PICBATCH_AVX2 inline __attribute__((always_inline)) void FilterPixel(const HorizontalJob& job, std::int32_t x,
                                                                     __m256i (&q)[3])
{
    const PackedWindow& window = job.axis->windows[static_cast<std::size_t>(x)];
    const std::int16_t* weights = job.axis->weights.data() + window.offset;
    const std::int16_t* column = job.columns + kColumnValues * ((window.first - job.origin) / 2);
    const std::int16_t* end = column + kColumnValues * (window.length / 2);
    // Two pairs of weights a step (AlignToPairs pads windows to whole steps): half the loop's
    // own instructions, which count here. A padding pair of zeros measured faster than a
    // branch for an odd pair (W2's windows have four or five pairs, in no regular order).
    __m256i blue = _mm256_setzero_si256();
    __m256i green = _mm256_setzero_si256();
    __m256i red = _mm256_setzero_si256();
    for (; column < end; column += 2 * kColumnValues, weights += 4) {
        const __m256i w0 = BroadcastPair(weights);
        const __m256i w1 = BroadcastPair(weights + 2);
        const std::int16_t* next = column + kColumnValues;
        blue = _mm256_add_epi32(blue, _mm256_add_epi32(_mm256_madd_epi16(LoadColumn(column), w0),
                                                       _mm256_madd_epi16(LoadColumn(next), w1)));
        green = _mm256_add_epi32(green, _mm256_add_epi32(_mm256_madd_epi16(LoadColumn(column + 16), w0),
                                                         _mm256_madd_epi16(LoadColumn(next + 16), w1)));
        red = _mm256_add_epi32(red, _mm256_add_epi32(_mm256_madd_epi16(LoadColumn(column + 32), w0),
                                                     _mm256_madd_epi16(LoadColumn(next + 32), w1)));
    }
    const __m256 reciprocal = _mm256_set1_ps(window.reciprocal);
    const __m256i limit = _mm256_set1_epi32(window.limit);
    q[0] = Divide(blue, reciprocal, limit);
    q[1] = Divide(green, reciprocal, limit);
    q[2] = Divide(red, reciprocal, limit);
}

}  // namespace

PICBATCH_AVX2 void HorizontalColumnsAvx2(const HorizontalJob& job)
{
    for (std::int32_t x = job.firstTarget; x < job.endTarget; x += kGroupPixels) {
        // A short last group repeats its last pixel; the copies are not stored.
        const std::int32_t count = std::min(job.endTarget - x, kGroupPixels);
        __m256i words[2][3];
        for (int half = 0; half < 2; ++half) {
            __m256i a[3];
            __m256i b[3];
            FilterPixel(job, x + std::min(2 * half, count - 1), a);
            FilterPixel(job, x + std::min(2 * half + 1, count - 1), b);
            for (int c = 0; c < 3; ++c) {
                words[half][c] = _mm256_packs_epi32(a[c], b[c]);
            }
        }
        // Quotients are 0..255, so the packs keep them. Per channel, each 128-bit half then
        // holds pixel p's rows 0..3 (4..7) at bytes 4p..4p + 3.
        __m256i channels[3];
        for (int c = 0; c < 3; ++c) {
            channels[c] = _mm256_packus_epi16(words[0][c], words[1][c]);
        }
        for (int r = 0; r < 4; ++r) {
            const __m256i bytes
                = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(channels[0], Load(kRowMasks.mask[0][r])),
                                                  _mm256_shuffle_epi8(channels[1], Load(kRowMasks.mask[1][r]))),
                                  _mm256_shuffle_epi8(channels[2], Load(kRowMasks.mask[2][r])));
            for (const int row : {r, r + 4}) {
                if (row >= job.rows) {
                    continue;
                }
                const __m128i line = row < 4 ? _mm256_castsi256_si128(bytes) : _mm256_extracti128_si256(bytes, 1);
                std::uint8_t* out = job.out[row] + 3 * x;
                if (count == kGroupPixels) {
                    // 12 bytes and 4 more, overwritten by the next group or in the row's spare bytes.
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), line);
                } else {
                    alignas(16) std::uint8_t tail[16];
                    _mm_store_si128(reinterpret_cast<__m128i*>(tail), line);
                    std::memcpy(out, tail, 3 * static_cast<std::size_t>(count));
                }
            }
        }
    }
}

}  // namespace picbatch
