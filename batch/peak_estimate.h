// The memory one conversion takes at its peak, estimated from its source's header before it
// starts, so that a run starts no more pictures at once than its memory budget holds.
#pragma once

#include <cstdint>
#include <string>

#include "pictures/picture_header.h"
#include "pictures/save_picture.h"

namespace picbatch {

// What a conversion costs whatever its picture (thread stack in use, libjpeg's pools, file
// buffers), and all that a file whose header cannot be read is estimated at: its conversion
// fails early with the file's own error.
inline constexpr std::int64_t kConversionBaseBytes = std::int64_t{2} << 20;

// The roads of a conversion (ConvertPicture) that decide what it holds.
struct ConversionRoad {
    bool bandDecoded = false;  // the source format hands its rows over in bands
    bool rowEncoded = false;   // target rows go straight into the encoder, never stored whole
    // What the encoded file holds in memory, in half bytes per target pixel (the output
    // format's PictureFormat::encodedHalfBytesPerPixel); 6 is a 24-bit picture's 3 bytes.
    std::int64_t encodedHalfBytesPerPixel = 6;
};

// The peak of converting a picture with header to width x height on road, in bytes: the
// decoder's share (PictureHeader), the resampler's rows, the target picture unless it is
// encoded row by row, the encoded file in memory, and kConversionBaseBytes.
std::int64_t ConversionPeak(const PictureHeader& header, int width, int height, ConversionRoad road);

// The peak of converting the file at sourcePath to width x height, written as ConvertPicture
// writes destinationPath in mode, from the header only. Never throws: a header that cannot
// be read, or a picture beyond the size limits (refused before anything is allocated), gives
// kConversionBaseBytes.
std::int64_t EstimateConversionPeak(const std::string& sourcePath, const std::string& destinationPath, int width,
                                    int height, OutputMode mode) noexcept;

}  // namespace picbatch
