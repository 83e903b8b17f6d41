// The peak memory of one conversion, from its source's header and the roads it will take.
// Calibrated against the peak resident size of picbatch-cli converting one picture at a time
// (docs/architecture.md, "Memory budget", has the figures).
#include "batch/peak_estimate.h"

#include <algorithm>

#include "batch/convert_picture.h"
#include "imaging/limits.h"
#include "pictures/picture_format.h"

namespace picbatch {

namespace {

// A 24-bit picture's bytes per pixel: the target picture and the resampler's rows.
constexpr std::int64_t kBgrBytes = 3;
// The Lanczos-3 window spans 3 source rows on either side of a target row, times the
// reduction; the resampler's ring holds one window and two groups of 8 rows besides.
constexpr std::int64_t kWindowRowsPerReduction = 6;
constexpr std::int64_t kRingSpareRows = 16;
// Bytes of ring row beyond the target row's pixels: alignment to 32 bytes and spare bytes.
constexpr std::int64_t kRingRowSlack = 36;
// Source rows the resampler filters together, copied when a band ends inside a group.
constexpr std::int64_t kPendingRows = 8;

// What the vectorised resampler keeps. Its weights took every pair of sides tried, from 2 to
// 65535 source pixels onto 1 to 65535; the reference, which keeps the whole picture, would
// be taken only for weights it refuses.
std::int64_t ResamplerBytes(std::int64_t sourceWidth, std::int64_t sourceHeight, std::int64_t width,
                            std::int64_t height)
{
    const std::int64_t reduction = (sourceHeight + height - 1) / height;
    const std::int64_t depth = std::min(sourceHeight, kWindowRowsPerReduction * reduction + kRingSpareRows);
    return (kBgrBytes * width + kRingRowSlack) * depth + kPendingRows * kBgrBytes * sourceWidth;
}

}  // namespace

std::int64_t ConversionPeak(const PictureHeader& header, int width, int height, ConversionRoad road)
{
    // Sides are at most 65535 and pixel counts at most 2^28 (imaging/limits.h): every
    // product below stays under 2^40.
    const std::int64_t resampler = ResamplerBytes(header.width, header.height, width, height);
    const std::int64_t target = kBgrBytes * width * height;
    const std::int64_t encoded = road.encodedHalfBytesPerPixel * width * height / 2;
    if (road.bandDecoded && road.rowEncoded)
        return kConversionBaseBytes + header.streamedBytes + resampler + encoded;
    // The target picture is made whole, then encoded whole once the source is gone.
    const std::int64_t resampling = road.bandDecoded
        ? header.streamedBytes + resampler + target
        : std::max(header.wholeReadBytes, header.wholePictureBytes + resampler + target);
    return kConversionBaseBytes + std::max(resampling, target + encoded);
}

std::int64_t EstimateConversionPeak(const std::string& sourcePath, const std::string& destinationPath, int width,
                                    int height, OutputMode mode) noexcept
{
    try {
        const PictureFormat* source = FormatOfName(sourcePath);
        if (!source || !source->readHeader || width < 1 || height < 1
            || !PictureSizeAllowed(width, height))
            return kConversionBaseBytes;
        const PictureHeader header = source->readHeader(sourcePath);
        if (header.width < 1 || header.height < 1 || !PictureSizeAllowed(header.width, header.height))
            return kConversionBaseBytes;
        const PictureFormat* output = OutputFormatFor(destinationPath, mode);
        ConversionRoad road;
        road.bandDecoded = source->decodeRows != nullptr;
        road.rowEncoded = road.bandDecoded && OutputPathFor(destinationPath, mode) && EncodesRows(output, width, height);
        if (output)
            road.encodedHalfBytesPerPixel = output->encodedHalfBytesPerPixel;
        return ConversionPeak(header, width, height, road);
    } catch (...) {
        // Whatever reading the header met, the conversion meets again and reports.
        return kConversionBaseBytes;
    }
}

}  // namespace picbatch
