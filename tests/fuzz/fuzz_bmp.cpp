// libFuzzer target for the BMP reader: any bytes must give a picture or an Error, never a
// crash, a hang or an access outside the buffers. The pictures read are converted to
// 24 bits, as a batch run does, to exercise every pixel conversion.
//
// A longer run than the CI's minute, once .ci/run has built the target and the tests have
// left their files in build/fuzz-seeds:
//   build-fuzz/tests/fuzz/fuzz_bmp -max_total_time=3600 -rss_limit_mb=2048 -timeout=10 \
//     build-fuzz/corpus-bmp build/fuzz-seeds/bmp
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/bmp.h"
#include "pictures/bmp_colour_space.h"
#include "pictures/bmp_layout.h"

namespace picbatch {

namespace {

// Headers may declare pictures of up to 2^28 pixels from a few bytes; making and converting
// such stores is correct but takes seconds, which only slows the search for faults. Every
// code path is reached with small pictures.
constexpr std::int64_t kMaxFuzzPixels = std::int64_t{1} << 18;

}  // namespace

}  // namespace picbatch

using namespace picbatch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    // The colour-space fields are read from the same first bytes, outside the reader.
    BmpProfilePlace place;
    (void)EmbeddedBmpProfile(bytes, place);
    (void)CalibratedBmpProfile(bytes);
    try {
        if (!bytes.empty()) {
            const BmpLayout layout = ReadBmpLayout(bytes);
            if (std::int64_t{layout.width} * layout.height > kMaxFuzzPixels)
                return 0;
        }
        Raster raster;
        ParseBmp(bytes, raster);
        if (!raster.Empty())
            raster.SetPixelForm(PixelForm::Bgr24);
    } catch (const Error&) {
        // Refusing a file is a correct outcome.
    }
    return 0;
}
