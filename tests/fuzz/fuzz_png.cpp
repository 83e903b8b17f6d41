// libFuzzer target for the PNG reader: any bytes must give a picture or an Error, never a
// crash, a hang or an access outside the buffers. Small pictures are also written back and
// resampled, as a batch run does, to exercise the writer and the road of pictures with alpha.
//
// A longer run than the CI's minute, once .ci/run has built the target and the tests have
// left their files in build/fuzz-seeds:
//   build-fuzz/tests/fuzz/fuzz_png -max_total_time=3600 -rss_limit_mb=2048 -timeout=10 \
//     build-fuzz/corpus-png build/fuzz-seeds/png
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "imaging/resample.h"
#include "pictures/png.h"

namespace picbatch {

namespace {

// A few bytes of compressed data may declare pictures of up to 2^28 pixels; decoding those is
// correct but slow, which only slows the search for faults. Every code path is reached with
// small pictures.
constexpr std::int64_t kMaxFuzzPixels = std::int64_t{1} << 18;
// Pictures up to this size are also written back and resampled.
constexpr std::int64_t kMaxRoundTripPixels = std::int64_t{64} * 64;

}  // namespace

}  // namespace picbatch

using namespace picbatch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    try {
        const PictureSize declared = ReadPngSize(bytes);
        const std::int64_t pixels = std::int64_t{declared.width} * declared.height;
        if (pixels > kMaxFuzzPixels)
            return 0;
        Raster picture;
        ParsePng(bytes, picture);
        if (pixels > kMaxRoundTripPixels)
            return 0;
        Raster back;
        ParsePng(EncodePng(picture), back);
        ResampleLanczos(back, 7, 5);
    } catch (const Error&) {
        // Refusing a file is a correct outcome.
    }
    return 0;
}
