// libFuzzer target for the BMP readers: any bytes must give a picture or an Error, never a
// crash, a hang or an access outside the buffers. The pictures read are converted to
// 24 bits, as a batch run does, to exercise every pixel conversion, and the band reader must
// give the same rows, notes and error as the whole-picture reader.
//
// A longer run than the CI's minute, once .ci/run has built the target and the tests have
// left their files in build/fuzz-seeds:
//   build-fuzz/tests/fuzz/fuzz_bmp -max_total_time=3600 -rss_limit_mb=2048 -timeout=10 \
//     build-fuzz/corpus-bmp build/fuzz-seeds/bmp
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp.h"
#include "pictures/bmp/bmp_colour_space.h"
#include "pictures/bmp/bmp_layout.h"
#include "pictures/bmp/bmp_stream.h"
#include "pictures/files/positional_input.h"

namespace picbatch {

namespace {

// Headers may declare pictures of up to 2^28 pixels from a few bytes; making and converting
// such stores is correct but takes seconds, which only slows the search for faults. Every
// code path is reached with small pictures.
constexpr std::int64_t kMaxFuzzPixels = std::int64_t{1} << 18;

// What a reader made of the bytes: the error, or the notes and the rows top first.
struct Outcome {
    std::string error;
    bool incomplete = false;
    std::vector<std::uint8_t> rows;
    bool operator==(const Outcome&) const = default;
};

Outcome BandOutcome(std::span<const std::uint8_t> bytes)
{
    Outcome outcome;
    try {
        MemoryInput input(bytes);
        int width = 0;
        outcome.incomplete = DecodeBmpRows(
            input, [&](int w, int) { width = w; },
            [&](const std::uint8_t* first, std::int64_t step, int count) {
                for (int i = 0; i < count; ++i)
                    outcome.rows.insert(outcome.rows.end(), first + step * i, first + step * i + 3 * std::int64_t{width});
            }).incomplete;
    } catch (const Error& error) {
        outcome = {error.what(), false, {}};
    }
    return outcome;
}

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
    } catch (const Error&) {
        // Refusing a file is a correct outcome, and the readers' outcomes are compared below.
    }
    Outcome whole;
    try {
        Raster raster;
        whole.incomplete = ParseBmp(bytes, raster).incomplete;
        if (!raster.Empty())
            raster.SetPixelForm(PixelForm::Bgr24);
        for (int y = 0; y < raster.Height(); ++y)
            whole.rows.insert(whole.rows.end(), raster.Row(y).begin(), raster.Row(y).begin() + 3 * raster.Width());
    } catch (const Error& error) {
        whole = {error.what(), false, {}};
    }
    if (!(BandOutcome(bytes) == whole))
        __builtin_trap();
    return 0;
}
