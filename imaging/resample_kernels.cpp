// The vector kernels of the resampler, written once with Highway and compiled for each
// target it offers (SSSE3, SSE4, AVX2 and AVX-512 on x86-64, NEON and SVE on aarch64); the
// best one this processor runs is chosen once at run time (HWY_DYNAMIC_DISPATCH). Highway's
// scalar fallback has no kernels: the reference stands in for it. The arithmetic is integer
// (a single-precision product only in the exact division), so every target gives the
// reference's bytes: imaging/numerics.md, "Reciprocal division" and "Integer ranges of the
// vector kernels".
//
// The horizontal pass reads eight source rows as columns (interleaveRows): per pair of source
// pixels, each channel's rows in one vector, a row a 32-bit lane with the pair's two values,
// so that a broadcast pair of weights serves all rows, the loads are aligned and the sums
// need no reduction. A vector holds 8 rows where the target has 256-bit vectors of a fixed
// size (AVX2; AVX-512 keeps to 256 bits here, as 512 measured slower, bench/README.md), else
// 4, and the 8 rows are then filtered as two groups. The vertical pass interleaves the bytes
// of two rows with zeros and multiplies them with a broadcast pair of weights, a full vector
// of target bytes at a time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "imaging/resample_kernels.cpp"  // NOLINT(bugprone-suspicious-include)
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "imaging/resample_vector.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

HWY_BEFORE_NAMESPACE();
namespace picbatch {
namespace HWY_NAMESPACE {

#if HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128

// One lane at a time: the reference does that already.
const VectorKernels* GetVectorKernels()
{
    return nullptr;
}

#else

namespace hn = hwy::HWY_NAMESPACE;

// Rows in one vector of the column layout (resample_vector.h, kColumnValues).
constexpr int kRows = (HWY_HAVE_SCALABLE || HWY_MAX_BYTES < 32) ? 4 : 8;
constexpr int kGroups = kHorizontalRows / kRows;
// Source pixels split into columns per step: a pair per row of a vector.
constexpr std::int32_t kStepPixels = 2 * kRows;

using D8 = hn::FixedTag<std::uint8_t, 4 * kRows>;
using D16 = hn::FixedTag<std::int16_t, 2 * kRows>;
using D32 = hn::FixedTag<std::int32_t, kRows>;  // a lane per row
using DU32 = hn::FixedTag<std::uint32_t, kRows>;
using DU64 = hn::FixedTag<std::uint64_t, kRows / 2>;

// trunc(sum / divisor) clamped to 0..255, exactly: the sum clamped to 0..limit, times the
// reciprocal in single precision, truncated (imaging/numerics.md, "Reciprocal division").
// The quotient is the low byte of each lane; the bits above it may be set.
template <class D>
HWY_INLINE hn::Vec<hn::RebindToUnsigned<D>> Divide(D d, hn::Vec<D> sum, hn::Vec<hn::Rebind<float, D>> reciprocal,
                                                   hn::Vec<D> limit)
{
    const hn::Rebind<float, D> df;
    const hn::RebindToUnsigned<D> du;
    const hn::Vec<D> clamped = hn::Min(hn::Max(sum, hn::Zero(d)), limit);
    const hn::Vec<decltype(df)> product = hn::Mul(hn::ConvertTo(df, clamped), reciprocal);
#if HWY_TARGET == HWY_SSSE3
    // No rounding instruction: the conversion, with Highway's care for overflow.
    return hn::BitCast(du, hn::ConvertTo(d, product));
#else
    // Truncated, the product is a whole number below 256; adding 2^23 puts it into the low
    // bits of the sum's significand, exactly, under the exponent's bits.
    return hn::BitCast(du, hn::Add(hn::Trunc(product), hn::Set(df, 0x1p23f)));
#endif
}

// Two 16-bit weights in every 32-bit lane, the first in the low half, as the multiply-adds
// pair them with two values.
template <class D>
HWY_INLINE hn::Vec<D> BroadcastPair(D d, const std::int16_t* weights)
{
    std::int32_t pair = 0;
    std::memcpy(&pair, weights, sizeof pair);
    return hn::BitCast(d, hn::Set(hn::RepartitionToWide<D>(), pair));
}

// a + the products of the pairs of 16-bit lanes of v and w, summed pairwise, with the
// order of the lanes left to the target until RearrangeToOddPlusEven(a, odd) (then: lane i
// holds v[2i] w[2i] + v[2i + 1] w[2i + 1]).
template <class D>
HWY_INLINE hn::Vec<D> MultiplyAdd(D d, hn::Vec<hn::Repartition<std::int16_t, D>> v,
                                  hn::Vec<hn::Repartition<std::int16_t, D>> w, hn::Vec<D> a, hn::Vec<D>& odd)
{
    return hn::ReorderWidenMulAccumulate(d, v, w, a, odd);
}

// ------------------------------------------------------------------ the split into columns

// Byte-shuffle masks that gather one channel of 2 x kRows pixels straight into 16-bit values,
// zero high bytes included (0x80 gives 0). The shuffle works within 128-bit blocks, so it
// is fed X = bytes 0.. and Y = bytes 16..: block b of the result, pixels 8b..8b + 7, comes
// from bytes 16b..16b + 15 (X) and 16b + 16..16b + 31 (Y), which hold bytes 24b..24b + 23
// for b = 0 and 1. A 128-bit target uses block 0's masks.
struct ShuffleMasks {
    alignas(32) std::uint8_t fromX[32];
    alignas(32) std::uint8_t fromY[32];
};

constexpr ShuffleMasks MakeShuffleMasks(int channel)
{
    ShuffleMasks masks{};
    for (int p = 0; p < 16; ++p) {
        const int source = 3 * p + channel;  // byte of pixel p's channel in the 48 bytes
        const int block = p / 8;
        const int out = 16 * block + 2 * (p % 8);
        const int xBase = 16 * block;       // X's block starts at this byte
        const int yBase = 16 * block + 16;  // and Y's
        const bool inX = source >= xBase && source < xBase + 16;
        masks.fromX[out] = static_cast<std::uint8_t>(inX ? source - xBase : 0x80);
        masks.fromY[out] = static_cast<std::uint8_t>(inX ? 0x80 : source - yBase);
        masks.fromX[out + 1] = 0x80;
        masks.fromY[out + 1] = 0x80;
    }
    return masks;
}

constexpr ShuffleMasks kShuffleMasks[3] = {MakeShuffleMasks(0), MakeShuffleMasks(1), MakeShuffleMasks(2)};

// One channel's values of the step's pixels of one row, 16-bit, into scratch.
HWY_INLINE void SplitChannel(hn::Vec<D8> x, hn::Vec<D8> y, int channel, std::uint32_t* scratch)
{
    const D8 d8;
    const DU32 du32;
    const hn::Vec<D8> values = hn::Or(hn::TableLookupBytesOr0(x, hn::Load(d8, kShuffleMasks[channel].fromX)),
                                      hn::TableLookupBytesOr0(y, hn::Load(d8, kShuffleMasks[channel].fromY)));
    hn::Store(hn::BitCast(du32, values), du32, scratch);
}

// Transposes four vectors of 32-bit lanes within each 128-bit block: lane j of block b of
// the result i is lane i of block b of input j.
HWY_INLINE void Transpose4(hn::Vec<DU32>& v0, hn::Vec<DU32>& v1, hn::Vec<DU32>& v2, hn::Vec<DU32>& v3)
{
    const DU32 d;
    const DU64 d64;
    const hn::Vec<DU64> t0 = hn::BitCast(d64, hn::InterleaveLower(d, v0, v1));
    const hn::Vec<DU64> t1 = hn::BitCast(d64, hn::InterleaveUpper(d, v0, v1));
    const hn::Vec<DU64> t2 = hn::BitCast(d64, hn::InterleaveLower(d, v2, v3));
    const hn::Vec<DU64> t3 = hn::BitCast(d64, hn::InterleaveUpper(d, v2, v3));
    v0 = hn::BitCast(d, hn::InterleaveLower(d64, t0, t2));
    v1 = hn::BitCast(d, hn::InterleaveUpper(d64, t0, t2));
    v2 = hn::BitCast(d, hn::InterleaveLower(d64, t1, t3));
    v3 = hn::BitCast(d, hn::InterleaveUpper(d64, t1, t3));
}

// The four rows (of each block) that make transposed vectors: with 8 rows a vector, rows i
// and i + 4 of pairs 4s..4s + 3, so that the transpose leaves rows 0..3 in block 0 and 4..7
// in block 1; with 4, rows 4s + i of the step's four pairs, which make group s.
template <int kR = kRows>  // a template, so that only the branch taken is instantiated
HWY_INLINE hn::Vec<hn::FixedTag<std::uint32_t, kR>> TransposeInput(const std::uint32_t (&scratch)[kHorizontalRows][kR],
                                                                   int s, int i)
{
    const hn::FixedTag<std::uint32_t, kR> d;
    if constexpr (kR == 8) {
        const hn::FixedTag<std::uint32_t, kR / 2> half;
        return hn::Combine(d, hn::Load(half, &scratch[i + 4][4 * s]), hn::Load(half, &scratch[i][4 * s]));
    } else {
        return hn::Load(d, scratch[4 * s + i]);
    }
}

// Pixels x..x + kStepPixels - 1 of the rows (read from x's bytes up to 16 bytes past a
// vector's end) into the columns of their pairs.
HWY_INLINE void InterleaveStep(const std::uint8_t* const (&rows)[kHorizontalRows], std::int32_t x,
                               std::int16_t* columns)
{
    const D8 d8;
    const D16 d16;
    alignas(32) std::uint32_t scratch[3][kHorizontalRows][kRows];
    for (int r = 0; r < kHorizontalRows; ++r) {
        const std::uint8_t* bytes = rows[r] + 3 * x;
        const hn::Vec<D8> first = hn::LoadU(d8, bytes);
        const hn::Vec<D8> second = hn::LoadU(d8, bytes + 16);
        for (int c = 0; c < 3; ++c) {
            SplitChannel(first, second, c, scratch[c][r]);
        }
    }
    for (int c = 0; c < 3; ++c) {
        for (int s = 0; s < 2; ++s) {
            hn::Vec<DU32> v0 = TransposeInput(scratch[c], s, 0);
            hn::Vec<DU32> v1 = TransposeInput(scratch[c], s, 1);
            hn::Vec<DU32> v2 = TransposeInput(scratch[c], s, 2);
            hn::Vec<DU32> v3 = TransposeInput(scratch[c], s, 3);
            Transpose4(v0, v1, v2, v3);
            // Pairs and group of the results (kColumnValues' layout).
            const std::int32_t pair = x / 2 + (kRows == 8 ? 4 * s : 0);
            const int group = kRows == 8 ? 0 : s;
            std::int16_t* out = columns + kColumnValues * pair + 3 * 2 * kRows * group + 2 * kRows * c;
            hn::Store(hn::BitCast(d16, v0), d16, out);
            hn::Store(hn::BitCast(d16, v1), d16, out + kColumnValues);
            hn::Store(hn::BitCast(d16, v2), d16, out + 2 * kColumnValues);
            hn::Store(hn::BitCast(d16, v3), d16, out + 3 * kColumnValues);
        }
    }
}

void InterleaveRows(const std::uint8_t* const (&rows)[kHorizontalRows], std::int32_t count, std::int16_t* columns)
{
    // A step reads 16 bytes past the start of its last vector.
    constexpr std::int32_t kReach = 16 + 4 * kRows;
    std::int32_t x = 0;
    for (; 3 * x + kReach <= 3 * count; x += kStepPixels) {
        InterleaveStep(rows, x, columns);
    }
    if (x < count) {
        // The last pixels, copied so that the loads stay within the rows: fewer than two
        // steps' worth.
        constexpr std::int32_t kTailBytes = 3 * 2 * kStepPixels + kReach;
        alignas(32) std::uint8_t tail[kHorizontalRows][kTailBytes] = {};
        const std::uint8_t* tailRows[kHorizontalRows];
        for (int r = 0; r < kHorizontalRows; ++r) {
            std::memcpy(tail[r], rows[r] + 3 * x, 3 * static_cast<std::size_t>(count - x));
            tailRows[r] = tail[r];
        }
        for (std::int32_t t = 0; x + t < count; t += kStepPixels) {
            InterleaveStep(tailRows, t, columns + kColumnValues * (x / 2));
        }
    }
}

// ------------------------------------------------------------------ the horizontal pass

// Target pixel x of one group's rows, one quotient per row (lane) in blue, green, red.
HWY_INLINE void FilterPixel(const HorizontalJob& job, const std::int16_t* columns, std::int32_t x,
                            hn::Vec<DU32>& blue, hn::Vec<DU32>& green, hn::Vec<DU32>& red)
{
    const D16 d16;
    const D32 d32;
    const PackedWindow& window = job.axis->windows[static_cast<std::size_t>(x)];
    const std::int16_t* weights = job.axis->weights.data() + window.offset;
    const std::int16_t* column = columns + kColumnValues * ((window.first - job.origin) / 2);
    const std::int16_t* end = column + kColumnValues * (window.length / 2);
    // Two pairs of weights a step (AlignToPairs pads windows to whole steps), the two
    // products added before the sum.
    const hn::Vec<D32> zero = hn::Zero(d32);
    hn::Vec<D32> b = zero;
    hn::Vec<D32> g = zero;
    hn::Vec<D32> r = zero;
    hn::Vec<D32> bOdd = zero;
    hn::Vec<D32> gOdd = zero;
    hn::Vec<D32> rOdd = zero;
    for (; column < end; column += 2 * kColumnValues, weights += 4) {
        const hn::Vec<D16> w0 = BroadcastPair(d16, weights);
        const hn::Vec<D16> w1 = BroadcastPair(d16, weights + 2);
        const std::int16_t* next = column + kColumnValues;
        const hn::Vec<D32> b0 = MultiplyAdd(d32, hn::Load(d16, column), w0, zero, bOdd);
        const hn::Vec<D32> b1 = MultiplyAdd(d32, hn::Load(d16, next), w1, zero, bOdd);
        const hn::Vec<D32> g0 = MultiplyAdd(d32, hn::Load(d16, column + 2 * kRows), w0, zero, gOdd);
        const hn::Vec<D32> g1 = MultiplyAdd(d32, hn::Load(d16, next + 2 * kRows), w1, zero, gOdd);
        const hn::Vec<D32> r0 = MultiplyAdd(d32, hn::Load(d16, column + 4 * kRows), w0, zero, rOdd);
        const hn::Vec<D32> r1 = MultiplyAdd(d32, hn::Load(d16, next + 4 * kRows), w1, zero, rOdd);
        b = hn::Add(hn::Add(b0, b1), b);
        g = hn::Add(hn::Add(g0, g1), g);
        r = hn::Add(hn::Add(r0, r1), r);
    }
    const hn::Vec<hn::Rebind<float, D32>> reciprocal = hn::Set(hn::Rebind<float, D32>(), window.reciprocal);
    const hn::Vec<D32> limit = hn::Set(d32, window.limit);
    blue = Divide(d32, hn::RearrangeToOddPlusEven(b, bOdd), reciprocal, limit);
    green = Divide(d32, hn::RearrangeToOddPlusEven(g, gOdd), reciprocal, limit);
    red = Divide(d32, hn::RearrangeToOddPlusEven(r, rOdd), reciprocal, limit);
}

// Four quotients (Divide's) as the bytes of each 32-bit lane, a's first: the shifts drop the
// bits above b's, c's and d's bytes.
template <class V>
HWY_INLINE V Bytes(V a, V b, V c, V d)
{
    const hn::DFromV<V> du;
    return hn::Or(hn::Or(hn::And(a, hn::Set(du, 0xFFu)), hn::ShiftLeft<8>(b)),
                  hn::Or(hn::ShiftLeft<16>(c), hn::ShiftLeft<24>(d)));
}

// Target pixels finished together: their results make runs of 12 bytes a row.
constexpr std::int32_t kGroupPixels = 4;

// The run of count pixels from target pixel x of one row: the first 3 x count bytes of run
// (16 bytes for a whole group, the last 4 overwritten by the next group or in the row's spare
// bytes).
HWY_INLINE void StoreRun(const HorizontalJob& job, int row, std::int32_t x, std::int32_t count,
                         hn::Vec<hn::FixedTag<std::uint32_t, 4>> run)
{
    if (row >= job.rows) {
        return;
    }
    const hn::FixedTag<std::uint8_t, 16> d8;
    std::uint8_t* out = job.out[row] + 3 * x;
    if (count == kGroupPixels) {
        hn::StoreU(hn::BitCast(d8, run), d8, out);
    } else {
        alignas(16) std::uint8_t tail[16];
        hn::Store(hn::BitCast(d8, run), d8, tail);
        std::memcpy(out, tail, 3 * static_cast<std::size_t>(count));
    }
}

// The runs of a group's rows: lane i of each 128-bit block of run j is row 4 (block) + j's.
template <int kR = kRows>  // a template, so that only the branch taken is instantiated
HWY_INLINE void StoreRuns(const HorizontalJob& job, int group, int j, std::int32_t x, std::int32_t count,
                          hn::Vec<hn::FixedTag<std::uint32_t, kR>> run)
{
    const int row = kR * group + j;
    if constexpr (kR == 8) {
        const hn::FixedTag<std::uint32_t, kR / 2> half;
        StoreRun(job, row, x, count, hn::LowerHalf(half, run));
        StoreRun(job, row + 4, x, count, hn::UpperHalf(half, run));
    } else {
        StoreRun(job, row, x, count, run);
    }
}

void HorizontalColumns(const HorizontalJob& job)
{
    for (int group = 0; group < kGroups; ++group) {
        const std::int16_t* columns = job.columns + 3 * 2 * kRows * group;
        for (std::int32_t x = job.firstTarget; x < job.endTarget; x += kGroupPixels) {
            // A short last group repeats its last pixel; the copies are not stored.
            const std::int32_t count = std::min(job.endTarget - x, kGroupPixels);
            hn::Vec<DU32> b0, g0, r0, b1, g1, r1;
            FilterPixel(job, columns, x, b0, g0, r0);
            FilterPixel(job, columns, x + std::min(1, count - 1), b1, g1, r1);
            // Each row's 12 bytes as three 32-bit words: blue, green, red of pixel 0, blue
            // of pixel 1; green, red of pixel 1, blue, green of pixel 2; red of 2, pixel 3.
            hn::Vec<DU32> w0 = Bytes(b0, g0, r0, b1);
            hn::Vec<DU32> b2, g2, r2;
            FilterPixel(job, columns, x + std::min(2, count - 1), b2, g2, r2);
            hn::Vec<DU32> w1 = Bytes(g1, r1, b2, g2);
            hn::Vec<DU32> b3, g3, r3;
            FilterPixel(job, columns, x + std::min(3, count - 1), b3, g3, r3);
            hn::Vec<DU32> w2 = Bytes(r2, b3, g3, r3);
            // Transposed, each row's three words lie together in one 128-bit block.
            hn::Vec<DU32> w3 = w2;
            Transpose4(w0, w1, w2, w3);
            StoreRuns(job, group, 0, x, count, w0);
            StoreRuns(job, group, 1, x, count, w1);
            StoreRuns(job, group, 2, x, count, w2);
            StoreRuns(job, group, 3, x, count, w3);
        }
    }
}

// ------------------------------------------------------------------ the vertical pass

// The bytes of each 128-bit block transposed as a 4 x 4 matrix.
alignas(16) constexpr std::uint8_t kTransposeBytes[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};

// Bytes o.. of the target row from words of four quotients (Bytes), in the row's order.
template <class D8V>
HWY_INLINE void StoreBytes(D8V d8, const VerticalJob& job, std::int32_t o, hn::Vec<D8V> transpose,
                           hn::Vec<hn::Repartition<std::uint32_t, D8V>> words)
{
    const auto step = static_cast<std::int32_t>(hn::Lanes(d8));
    const hn::Vec<D8V> bytes = hn::TableLookupBytes(hn::BitCast(d8, words), transpose);
    if (o + step <= job.bytes) {
        hn::StoreU(bytes, d8, job.out + o);
    } else {
        // The row's end: nothing past its bytes is written (the next row may lie there).
        alignas(64) std::uint8_t tail[kVectorBytes];
        hn::StoreU(bytes, d8, tail);
        std::memcpy(job.out + o, tail, static_cast<std::size_t>(job.bytes - o));
    }
}

// The sums of one vector of target bytes for a pair of rows: two rows' bytes side by side,
// as 16-bit values, times a pair of weights. In each 128-bit block, acc0 gathers bytes 0..3,
// acc1 4..7, acc2 8..11, acc3 12..15.
template <class D8V, class V32 = hn::Vec<hn::Repartition<std::int32_t, D8V>>>
HWY_INLINE void AddRowPair(D8V d8, const std::uint8_t* first, const std::uint8_t* second,
                           hn::Vec<hn::Repartition<std::int16_t, D8V>> w, V32& acc0, V32& acc1, V32& acc2,
                           V32& acc3, V32& odd0, V32& odd1, V32& odd2, V32& odd3)
{
    const hn::Repartition<std::uint16_t, D8V> du16;
    const hn::Repartition<std::int16_t, D8V> d16;
    const hn::Repartition<std::int32_t, D8V> d32;
    const hn::Vec<D8V> zero = hn::Zero(d8);
    const V32 none = hn::Zero(d32);
    const hn::Vec<D8V> a = hn::LoadU(d8, first);
    const hn::Vec<D8V> b = hn::LoadU(d8, second);
    const hn::Vec<D8V> low = hn::InterleaveLower(d8, a, b);
    const hn::Vec<D8V> high = hn::InterleaveUpper(d8, a, b);
    acc0 = hn::Add(acc0, MultiplyAdd(d32, hn::BitCast(d16, hn::ZipLower(du16, low, zero)), w, none, odd0));
    acc1 = hn::Add(acc1, MultiplyAdd(d32, hn::BitCast(d16, hn::ZipUpper(du16, low, zero)), w, none, odd1));
    acc2 = hn::Add(acc2, MultiplyAdd(d32, hn::BitCast(d16, hn::ZipLower(du16, high, zero)), w, none, odd2));
    acc3 = hn::Add(acc3, MultiplyAdd(d32, hn::BitCast(d16, hn::ZipUpper(du16, high, zero)), w, none, odd3));
}

// The quotients of those sums (AddRowPair's), four to a 32-bit lane (Bytes).
template <class D8V, class V32 = hn::Vec<hn::Repartition<std::int32_t, D8V>>>
HWY_INLINE hn::Vec<hn::Repartition<std::uint32_t, D8V>> Quotients(D8V /* d8 */, const VerticalJob& job, V32 acc0,
                                                                  V32 acc1, V32 acc2, V32 acc3, V32 odd0, V32 odd1,
                                                                  V32 odd2, V32 odd3)
{
    const hn::Repartition<std::int32_t, D8V> d32;
    const hn::Repartition<float, D8V> df;
    const hn::Vec<decltype(df)> reciprocal = hn::Set(df, job.window.reciprocal);
    const V32 limit = hn::Set(d32, job.window.limit);
    return Bytes(Divide(d32, hn::RearrangeToOddPlusEven(acc0, odd0), reciprocal, limit),
                 Divide(d32, hn::RearrangeToOddPlusEven(acc1, odd1), reciprocal, limit),
                 Divide(d32, hn::RearrangeToOddPlusEven(acc2, odd2), reciprocal, limit),
                 Divide(d32, hn::RearrangeToOddPlusEven(acc3, odd3), reciprocal, limit));
}

// Target bytes o..o + Lanes(d8) - 1, and with kTwo the next Lanes(d8) as well: the pairs
// of weights and the rows' addresses are then read once for both.
template <bool kTwo, class D8V>
HWY_INLINE void VerticalStep(D8V d8, const VerticalJob& job, std::int32_t o, hn::Vec<D8V> transpose)
{
    const hn::Repartition<std::int16_t, D8V> d16;
    const hn::Repartition<std::int32_t, D8V> d32;
    const auto step = static_cast<std::int32_t>(hn::Lanes(d8));
    using V32 = hn::Vec<decltype(d32)>;
    V32 acc0 = hn::Zero(d32);
    V32 acc1 = acc0, acc2 = acc0, acc3 = acc0, acc4 = acc0, acc5 = acc0, acc6 = acc0, acc7 = acc0;
    V32 odd0 = acc0, odd1 = acc0, odd2 = acc0, odd3 = acc0, odd4 = acc0, odd5 = acc0, odd6 = acc0, odd7 = acc0;
    const std::uint8_t* const* rows = job.rows;
    const std::int16_t* weights = job.weights;
    // Two steps an iteration: GCC then keeps the sums in their registers instead of copying
    // them each step.
#pragma GCC unroll 2
    for (std::int32_t k = 0; k < job.count; k += 2, rows += 2, weights += 2) {
        const hn::Vec<decltype(d16)> w = BroadcastPair(d16, weights);
        AddRowPair(d8, rows[0] + o, rows[1] + o, w, acc0, acc1, acc2, acc3, odd0, odd1, odd2, odd3);
        if constexpr (kTwo) {
            AddRowPair(d8, rows[0] + o + step, rows[1] + o + step, w, acc4, acc5, acc6, acc7, odd4, odd5, odd6,
                       odd7);
        }
    }
    StoreBytes(d8, job, o, transpose, Quotients(d8, job, acc0, acc1, acc2, acc3, odd0, odd1, odd2, odd3));
    if constexpr (kTwo) {
        StoreBytes(d8, job, o + step, transpose, Quotients(d8, job, acc4, acc5, acc6, acc7, odd4, odd5, odd6, odd7));
    }
}

void Vertical(const VerticalJob& job)
{
    const hn::CappedTag<std::uint8_t, kVectorBytes> d8;
    const auto step = static_cast<std::int32_t>(hn::Lanes(d8));
    const hn::Vec<decltype(d8)> transpose = hn::LoadDup128(d8, kTransposeBytes);
    std::int32_t o = 0;
    // Two vectors a step where both lie within the bytes the rows are readable to.
    if (2 * step <= kVectorBytes) {
        for (; o + step < job.bytes; o += 2 * step) {
            VerticalStep<true>(d8, job, o, transpose);
        }
    }
    for (; o < job.bytes; o += step) {
        VerticalStep<false>(d8, job, o, transpose);
    }
}

const VectorKernels* GetVectorKernels()
{
    static constexpr VectorKernels kKernels = {HWY_TARGET, kRows, &InterleaveRows, &HorizontalColumns, &Vertical};
    return &kKernels;
}

#endif  // HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128

}  // namespace HWY_NAMESPACE
}  // namespace picbatch
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include <vector>

namespace picbatch {

HWY_EXPORT(GetVectorKernels);

namespace {

struct CompiledKernels {
    std::int64_t target;
    const VectorKernels* kernels;
};

// The kernels of every target compiled in that this processor runs, the best first, from
// Highway's dispatch table: the entry HWY_DYNAMIC_DISPATCH would take if the target were
// the only one supported. Looked up once.
const std::vector<CompiledKernels>& Compiled()
{
    static const std::vector<CompiledKernels> compiled = [] {
        std::vector<CompiledKernels> list;
        for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
#if (HWY_TARGETS & (HWY_TARGETS - 1)) == 0
            const VectorKernels* kernels = HWY_DISPATCH_TABLE(GetVectorKernels)[0]();
#else
            hwy::ChosenTarget chosen;
            chosen.Update(target);
            const VectorKernels* kernels = HWY_DISPATCH_TABLE(GetVectorKernels)[chosen.GetIndex()]();
#endif
            if (kernels != nullptr) {
                list.push_back({target, kernels});
            }
        }
        return list;
    }();
    return compiled;
}

}  // namespace

const VectorKernels* KernelsOf(ResamplePath path)
{
    for (const CompiledKernels& compiled : Compiled()) {
        if (compiled.target == path.target) {
            return compiled.kernels;
        }
    }
    return nullptr;
}

ResamplePath FastestResamplePath()
{
    static const ResamplePath fastest = [] {
        // Highway's fallback where no target is supported is its static target (on aarch64
        // NEON, which Highway 1.0.3 names supported only with AES): the reference then.
        const VectorKernels* kernels = HWY_DYNAMIC_DISPATCH(GetVectorKernels)();
        return kernels != nullptr && KernelsOf({kernels->target}) == kernels ? ResamplePath{kernels->target}
                                                                              : ResamplePath::Reference;
    }();
    return fastest;
}

bool ResamplePathAvailable(ResamplePath path)
{
    return path == ResamplePath::Reference || KernelsOf(path) != nullptr;
}

std::vector<ResamplePath> VectorResamplePaths()
{
    std::vector<ResamplePath> paths;
    for (const CompiledKernels& compiled : Compiled()) {
        paths.push_back({compiled.target});
    }
    return paths;
}

std::string ResamplePathName(ResamplePath path)
{
    return path == ResamplePath::Reference ? "Reference" : hwy::TargetName(path.target);
}

}  // namespace picbatch

#endif  // HWY_ONCE
