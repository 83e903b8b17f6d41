// The vectorised resampler: the reference's weights combined per source pixel into dense
// 16-bit windows, applied with multiply-add instructions, with the same bytes as a result.
#pragma once

#include "imaging/lanczos_contributors.h"
#include "imaging/resample_path.h"

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

// The refusal rule: true when the vector kernels reproduce the reference exactly with the
// weights of a list built for a line of n pixels; false for a weight that does not fit 16
// bits (after the weights of a pixel reached twice are added up), a sum that could overflow
// 32 bits, or a divisor above 2048 (imaging/numerics.md, "Integer ranges of the vector
// kernels" and "Reciprocal division"). The reference then makes the picture.
bool FitsVectorKernels(const ContributionList& list, std::int32_t n);

// Packs a list built for a line of n pixels, window lengths rounded up to multiple. Returns
// nothing exactly when FitsVectorKernels is false.
std::optional<PackedAxis> PackAxis(const ContributionList& list, std::int32_t n, std::int32_t multiple);

// The same windows starting at even source pixels and with lengths a multiple of 4 (a zero
// weight put before an odd first pixel, zeros after the end), for the horizontal kernel,
// which reads source pixels two at a time from the column layout, two pairs a step.
PackedAxis AlignToPairs(const PackedAxis& axis);

// Sets the window's divisor, reciprocal and limit for a list's total; true when the
// window's weights must be negated to make the divisor positive.
bool SetDivisor(PackedWindow& window, std::int64_t total);

// The exact quotient of the reference, trunc(sum / total) clamped to 0..255, as the kernels
// compute it from a packed window (sums of the window's weights, which may be negated).
std::uint8_t DivideClamped(std::int32_t sum, const PackedWindow& window);

// The kernels, written once with Highway (resample_kernels.cpp) and compiled for every target.
inline constexpr int kHorizontalRows = 8;  // source rows filtered per horizontal call
inline constexpr int kSpareBytes = 4;      // writable past a target row's pixels
// The widest vector the kernels use, in bytes: the vertical kernel reads rows in steps of it.
inline constexpr std::int32_t kVectorBytes = 64;

struct HorizontalJob {
    const PackedAxis* axis = nullptr;  // made by AlignToPairs
    // The target pixels made.
    std::int32_t firstTarget = 0;
    std::int32_t endTarget = 0;
    // The source pixel whose values start the columns, even: a window's first pixel pair is
    // pair (window.first - origin) / 2 of the columns, all of its pixels within them.
    std::int32_t origin = 0;
    // Source pixels origin + 2j and origin + 2j + 1 of all rows at columns + kColumnValues * j,
    // 32-byte aligned, laid out by the same target's interleaveRows.
    const std::int16_t* columns = nullptr;
    // Bgr24 target rows, each writable kSpareBytes past its pixels (stores are wider than pixels)
    std::uint8_t* out[kHorizontalRows] = {};
    int rows = 0;                             // valid rows, 1..kHorizontalRows
};

struct VerticalJob {
    const std::int16_t* weights = nullptr;  // even count, zero-padded
    const std::uint8_t* const* rows = nullptr;  // one source row per weight, readable to a
                                                // multiple of kVectorBytes past bytes
    std::int32_t count = 0;
    std::int32_t bytes = 0;
    PackedWindow window;
    std::uint8_t* out = nullptr;  // bytes are written, nothing past them
};

// The column layout: per pair of source pixels kColumnValues 16-bit values, each of the
// pair's values of every row and channel once. A target keeps rowsPerVector rows in one
// vector, each row one 32-bit lane holding the pair's two values, so that a pair of weights
// applies to all of them at once: within a pair, the groups of rowsPerVector rows in turn,
// within a group blue, green, red, each as rows 0..rowsPerVector - 1 of the group.
inline constexpr std::int32_t kColumnValues = 3 * kHorizontalRows * 2;

// The index in the columns of the value of source pixel x (counted from the origin) of row r
// and channel c (0 blue, 1 green, 2 red), for a target of rowsPerVector rows a vector.
constexpr std::int32_t ColumnIndex(std::int32_t x, int r, int c, int rowsPerVector)
{
    return kColumnValues * (x / 2) + 3 * 2 * rowsPerVector * (r / rowsPerVector) + 2 * rowsPerVector * c
        + 2 * (r % rowsPerVector) + x % 2;
}

// The kernels of one Highway target, looked up once per resampler.
struct VectorKernels {
    std::int64_t target = 0;  // the HWY_* bit they were compiled for
    int rowsPerVector = 0;    // of the column layout: 8 for 256-bit vectors, else 4
    // Splits count Bgr24 pixels of each of the rows into columns (32-byte aligned), writing
    // whole steps of 2 x rowsPerVector pixels: at most RoundUp(count, 16) / 2 pairs. Reads the
    // rows' 3 x count bytes only.
    void (*interleaveRows)(const std::uint8_t* const (&rows)[kHorizontalRows], std::int32_t count,
                           std::int16_t* columns) = nullptr;
    // The horizontal pass on columns: lanes are rows, so the sums need no reduction and the
    // loads are aligned.
    void (*horizontal)(const HorizontalJob& job) = nullptr;
    // One target row of the vertical pass.
    void (*vertical)(const VerticalJob& job) = nullptr;
};

// The kernels of path, or null for the reference and for a target that is not compiled in
// or that this processor does not run (resample_kernels.cpp).
const VectorKernels* KernelsOf(ResamplePath path);

}  // namespace picbatch
