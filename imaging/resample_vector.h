// The vectorised resampler: the reference's weights combined per source pixel into dense
// 16-bit windows, applied with multiply-add instructions, with the same bytes as a result.
#pragma once

#include "imaging/lanczos_contributors.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace picbatch {

// One target pixel's weights as a dense window of source pixels.
struct PackedWindow {
    std::int32_t first = 0;   // first source index of the window
    std::int32_t length = 0;  // padded with zero weights to the kernel's multiple
    std::int64_t offset = 0;  // of the first weight in PackedAxis::weights
    std::int32_t divisor = 1; // the list's total, made positive (256 for a zero total)
    // Exact division: for 0 <= s <= limit, s / divisor truncated is the single-precision
    // product s * reciprocal truncated (the float just above 1 / divisor; see SetDivisor and
    // imaging/numerics.md, "Reciprocal division").
    float reciprocal = 1.0f;
    std::int32_t limit = 255;  // 256 * divisor - 1: every larger sum gives 255 anyway
};

// The windows of every target pixel along one axis, their weights stored back to back.
struct PackedAxis {
    std::vector<PackedWindow> windows;
    std::vector<std::int16_t> weights;
};

// Packs a list built for a line of n pixels, window lengths rounded up to multiple. Returns
// nothing when the vector kernels could not reproduce the reference exactly: a weight that
// does not fit 16 bits, a sum that could overflow 32 bits, or a divisor above 2048.
std::optional<PackedAxis> PackAxis(const ContributionList& list, std::int32_t n, std::int32_t multiple);

// The same windows starting at even source pixels and with lengths a multiple of 4 (a zero
// weight put before an odd first pixel, zeros after the end), for kernels that read source
// pixels two at a time from a column layout (InterleaveRowsAvx2), two pairs a step.
PackedAxis AlignToPairs(const PackedAxis& axis);

// Sets the window's divisor, reciprocal and limit for a list's total; true when the
// window's weights must be negated to make the divisor positive.
bool SetDivisor(PackedWindow& window, std::int64_t total);

// The exact quotient of the reference, trunc(sum / total) clamped to 0..255, as the kernels
// compute it from a packed window (sums of the window's weights, which may be negated).
std::uint8_t DivideClamped(std::int32_t sum, const PackedWindow& window);

// Kernels of one instruction set. Planes are 16-bit channel values of one source row each.
inline constexpr int kHorizontalRows = 8;  // source rows filtered per horizontal call
inline constexpr int kSpareBytes = 4;      // writable past a target row's pixels

struct HorizontalJob {
    const PackedAxis* axis = nullptr;
    // The target pixels made, firstTarget even for the paired kernel (the pairs start there).
    std::int32_t firstTarget = 0;
    std::int32_t endTarget = 0;
    // The source pixel whose values start the planes: a window's first value is at
    // window.first - origin, all of its pixels within the planes.
    std::int32_t origin = 0;
    // [row][blue, green, red], readable to the end of each target's window (at least 16 values
    // past the last row value); all readable, also past rows
    const std::int16_t* planes[kHorizontalRows][3] = {};
    // For the column kernel instead of planes: source pixels origin + 2j and origin + 2j + 1 of
    // all rows at columns + kColumnValues * j, 32-byte aligned, laid out by InterleaveRowsAvx2.
    const std::int16_t* columns = nullptr;
    // Bgr24 target rows, each writable kSpareBytes past its pixels (stores are wider than pixels)
    std::uint8_t* out[kHorizontalRows] = {};
    int rows = 0;                             // valid rows, 1..kHorizontalRows
};

struct VerticalJob {
    const std::int16_t* weights = nullptr;  // even count, zero-padded
    const std::uint8_t* const* rows = nullptr;  // one source row per weight, readable to a
                                                // multiple of 32 bytes past bytes
    std::int32_t count = 0;
    std::int32_t bytes = 0;
    PackedWindow window;
    std::uint8_t* out = nullptr;  // bytes are written, nothing past them
};

void DeinterleaveSse2(const std::uint8_t* bgr, std::int32_t count, std::int16_t* planes[3]);
void HorizontalSse2(const HorizontalJob& job);
void VerticalSse2(const VerticalJob& job);
void VerticalAvx2(const VerticalJob& job);

// The column layout: per pair of source pixels, for blue, green, red in turn, rows 0..7 each
// as the pair's two 16-bit values, so that one 32-bit lane is one row and a pair of weights
// applies to all rows at once.
inline constexpr std::int32_t kColumnValues = 3 * kHorizontalRows * 2;
// Splits count Bgr24 pixels of each of the rows into columns (32-byte aligned), writing whole
// groups of 8 columns: RoundUp(count, 16) / 2 of them. Reads the rows' 3 x count bytes only.
void InterleaveRowsAvx2(const std::uint8_t* const (&rows)[kHorizontalRows], std::int32_t count,
                        std::int16_t* columns);
// The horizontal pass on columns, for an axis made by AlignToPairs (origin even): lanes are
// rows, so the sums need no reduction and the loads are aligned.
void HorizontalColumnsAvx2(const HorizontalJob& job);

}  // namespace picbatch
