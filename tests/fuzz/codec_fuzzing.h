// The work of the fuzz targets of the PNG and WebP readers: any bytes must give a picture or
// an Error, never a crash, a hang or an access outside the buffers. Small pictures are also
// written back with each of the format's writers and resampled, as a batch run does.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "imaging/resample.h"
#include "pictures/picture_size.h"
#include "pictures/read_notes.h"

namespace picbatch {

struct FuzzedCodec {
    PictureSize (*readSize)(std::span<const std::uint8_t> bytes);
    ReadNotes (*parse)(std::span<const std::uint8_t> bytes, Raster& raster);
    std::initializer_list<std::vector<std::uint8_t> (*)(const Raster& raster)> encoders;
};

// A few bytes may declare pictures of up to 2^28 pixels; decoding those is correct but slow,
// which only slows the search for faults. Every code path is reached with small pictures.
inline constexpr std::int64_t kMaxFuzzPixels = std::int64_t{1} << 18;
// Pictures up to this size are also written back and resampled.
inline constexpr std::int64_t kMaxRoundTripPixels = std::int64_t{64} * 64;

inline void FuzzCodec(std::span<const std::uint8_t> bytes, const FuzzedCodec& codec)
{
    try {
        const PictureSize declared = codec.readSize(bytes);
        const std::int64_t pixels = std::int64_t{declared.width} * declared.height;
        if (pixels > kMaxFuzzPixels)
            return;
        Raster picture;
        codec.parse(bytes, picture);
        if (pixels > kMaxRoundTripPixels)
            return;
        Raster back;
        for (const auto encode : codec.encoders)
            codec.parse(encode(picture), back);
        ResampleLanczos(back, 7, 5);
    } catch (const Error&) {
        // Refusing a file is a correct outcome.
    }
}

}  // namespace picbatch
