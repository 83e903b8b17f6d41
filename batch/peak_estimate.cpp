// The peak memory of one conversion, from its plan: the road it takes and what each part of
// that road holds at once. Checked against the peak measured in a child process for every
// road (tests/batch/plan_peak_test.cpp; docs/architecture.md, "Memory budget").
#include "batch/peak_estimate.h"

#include <algorithm>

#include "batch/conversion_plan.h"
#include "imaging/oriented_resample_stream.h"
#include "pictures/picture_format.h"

namespace picbatch {

namespace {

// Bytes per pixel of a 24-bit picture, and of one with alpha.
constexpr std::int64_t kBgrBytes = 3;
constexpr std::int64_t kBgraBytes = 4;
// The Lanczos-3 window spans 3 source rows on either side of a target row, times the
// reduction; the vectorised resampler's ring holds one window and two groups of 8 rows
// besides.
constexpr std::int64_t kWindowRowsPerReduction = 6;
constexpr std::int64_t kRingSpareRows = 16;
// Bytes of ring row beyond the target row's pixels: alignment to 32 bytes and spare bytes.
constexpr std::int64_t kRingRowSlack = 36;
// Source rows the resampler filters together, copied when a band ends inside a group.
constexpr std::int64_t kPendingRows = 8;
// A row encoder's own rows and buffers (libjpeg's component rows and output buffer), per
// target column.
constexpr std::int64_t kRowEncoderBytesPerColumn = 256;
// The weight lists of an axis, per source pixel: every source pixel feeds about 6 target
// pixels' windows (more where they overlap while enlarging), at 8 bytes a contribution in
// the lists and 2 in the packed weights, with the lists' spare capacity.
constexpr std::int64_t kListBytesPerSourcePixel = 64;
// The premultiplied resampler keeps 4 channels of 32 bits per ring pixel, and per target
// row 64-bit sums and 32-bit values of 4 channels.
constexpr std::int64_t kAlphaRingPixelBytes = 16;
constexpr std::int64_t kAlphaRowPixelBytes = 48;
// The source rows one target row reaches, for the ring of a resampler fed in rows.
std::int64_t WindowRows(std::int64_t sourceLength, std::int64_t length)
{
    const std::int64_t reduction = (sourceLength + length - 1) / length;
    return std::min(sourceLength, kWindowRowsPerReduction * reduction + kRingSpareRows);
}

std::int64_t ListBytes(std::int64_t sourceWidth, std::int64_t sourceHeight)
{
    return kListBytesPerSourcePixel * (sourceWidth + sourceHeight);
}

// What one ResampleStream from a sourceWidth x sourceHeight picture to width x height keeps
// besides its result (a whole target made without a sink): the vectorised path its ring of
// rows and a group of pending source rows; the reference the whole source, the intermediate
// picture, and with a sink the result it makes before handing it on.
std::int64_t StreamBytes(ResamplePath path, std::int64_t sourceWidth, std::int64_t sourceHeight, std::int64_t width,
                         std::int64_t height, bool toSink)
{
    const std::int64_t lists = ListBytes(sourceWidth, sourceHeight);
    if (path == ResamplePath::Reference) {
        return lists + kBgrBytes * (sourceWidth * sourceHeight + width * sourceHeight)
            + (toSink ? kBgrBytes * width * height : 0);
    }
    return lists + (kBgrBytes * width + kRingRowSlack) * WindowRows(sourceHeight, height)
        + kPendingRows * kBgrBytes * sourceWidth;
}

// What OrientedResampleStream keeps besides its result, for the stored picture of header.
std::int64_t OrientedStreamBytes(const ConversionPlan& plan, bool toSink)
{
    // The stream sees the stored window (the whole picture but for a cover).
    const std::int64_t storedWidth = plan.storedWindow.width;
    const std::int64_t storedHeight = plan.storedWindow.height;
    const std::int64_t width = plan.width;
    const std::int64_t height = plan.height;
    std::int64_t bytes = 0;
    if (SwapsSides(plan.orientation)) {
        // The stored columns first, to the target's height, then the rows to its width.
        bytes += StreamBytes(plan.resamplePath, storedWidth, storedHeight, storedWidth, width, true);
        bytes += StreamBytes(plan.resamplePath, storedWidth, width, height, width, true);
    } else {
        bytes += StreamBytes(plan.resamplePath, storedWidth, storedHeight, width, height, toSink);
    }
    if (plan.targetKeptWhole)
        bytes += kBgrBytes * width * height;
    const bool mirrored =
        SwapsSides(plan.orientation) ? ReversesLineOrder(plan.orientation) : ReversesLines(plan.orientation);
    if (mirrored)
        bytes += kBgrBytes * storedWidth;  // a stored row reversed
    return bytes;
}

// What a row encoder of a width x height picture holds: a few rows, and what its format keeps
// for the whole picture at the plan's settings (a progressive JPEG's coefficients).
std::int64_t RowEncoderBytes(const PictureFormat* output, const ConversionPlan& plan, std::int64_t width,
                             std::int64_t height)
{
    const std::int64_t whole = output && output->rowEncodingBytes
        ? output->rowEncodingBytes(static_cast<int>(width), static_cast<int>(height), plan.encoding)
        : 0;
    return kRowEncoderBytesPerColumn * width + whole;
}

// What encoding the plan's whole output picture of width x height (with alpha or not) holds
// besides it.
std::int64_t WholeEncodingBytes(const PictureFormat* output, const ConversionPlan& plan, std::int64_t width,
                                std::int64_t height, bool alpha)
{
    if (!output)
        return 0;
    const std::int64_t pixels = width * height;
    if (!output->encode)  // a row encoder, fed from a 24-bit copy of a picture with alpha
        return (alpha ? kBgrBytes * pixels : 0) + RowEncoderBytes(output, plan, width, height);
    return output->encodeBytes ? output->encodeBytes(pixels) : 0;
}

}  // namespace

std::int64_t EstimatePeak(const ConversionPlan& plan)
{
    if (!plan.header)
        return kConversionBaseBytes;
    const PictureHeader& header = *plan.header;
    // Sides are at most 65535 and pixel counts at most 2^28 (imaging/limits.h): every
    // product below stays under 2^40.
    const std::int64_t resampled = std::int64_t{plan.width} * plan.height;
    // The output picture: a pad's canvas, otherwise the resampled picture.
    const std::int64_t pixels = std::int64_t{plan.canvasWidth} * plan.canvasHeight;
    const bool padded = pixels != resampled || plan.canvasWidth != plan.width;
    const std::int64_t window = std::int64_t{plan.window.width} * plan.window.height;
    const bool cut = window != std::int64_t{plan.uprightWidth} * plan.uprightHeight;
    const std::int64_t metadata = static_cast<std::int64_t>(plan.iccProfile.size() + plan.exif.size());
    const PictureFormat* output = plan.output.path ? plan.output.format : nullptr;
    std::int64_t peak = 0;
    switch (plan.road) {
    case ConversionRoad::Streamed:
        // Encoders fed row by row keep a few rows (a progressive JPEG's every coefficient, and
        // a pad's two canvas rows); the file is written as it is made.
        peak = header.streamedBytes + OrientedStreamBytes(plan, true)
            + RowEncoderBytes(output, plan, plan.canvasWidth, plan.canvasHeight)
            + (padded ? 2 * kBgrBytes * plan.canvasWidth : 0);
        break;
    case ConversionRoad::BandsIntoTarget: {
        const std::int64_t target = kBgrBytes * resampled;
        const std::int64_t canvas = padded ? kBgraBytes * pixels : 0;  // with the result it is made of
        peak = std::max({header.streamedBytes + OrientedStreamBytes(plan, false) + target, target + canvas,
                         (padded ? canvas : target)
                             + WholeEncodingBytes(output, plan, plan.canvasWidth, plan.canvasHeight, false)});
        break;
    }
    case ConversionRoad::Whole: {
        // A reader that keeps 4 bytes a pixel may keep alpha, resampled premultiplied into a
        // target with alpha.
        const std::int64_t storedPixels = std::int64_t{header.width} * header.height;
        const bool alpha = header.wholePictureBytes >= kBgraBytes * storedPixels;
        const std::int64_t target = (alpha ? kBgraBytes : kBgrBytes) * resampled;
        // Turned upright, the read picture and its upright copy are held together; a cover's
        // window is cut out of them besides.
        const std::int64_t pictures = header.wholePictureBytes * (plan.orientation == Orientation::Normal ? 1 : 2)
            + (cut ? kBgraBytes * window : 0);
        const std::int64_t sourceWidth = plan.window.width;
        const std::int64_t sourceHeight = plan.window.height;
        const std::int64_t resampler = alpha
            ? ListBytes(sourceWidth, sourceHeight)
                + kAlphaRingPixelBytes * plan.width * (WindowRows(sourceHeight, plan.height) + 1)
                + kAlphaRowPixelBytes * plan.width + kAlphaRingPixelBytes * sourceWidth
            : plan.resamplePath == ResamplePath::Reference
            // The picture is there already: the intermediate picture besides.
            ? ListBytes(sourceWidth, sourceHeight) + kBgrBytes * plan.width * sourceHeight
            : StreamBytes(plan.resamplePath, sourceWidth, sourceHeight, plan.width, plan.height, false);
        // A pad's canvas (with alpha, the costlier) is made while the result is held.
        const std::int64_t canvas = padded ? kBgraBytes * pixels : 0;
        peak = std::max({header.wholeReadBytes, pictures + resampler + target, target + canvas,
                         (padded ? canvas : target)
                             + WholeEncodingBytes(output, plan, plan.canvasWidth, plan.canvasHeight, alpha || padded)});
        break;
    }
    }
    return kConversionBaseBytes + metadata + peak;
}

}  // namespace picbatch
