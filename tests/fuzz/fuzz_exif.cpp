// libFuzzer target for the EXIF block as a source may carry it: any bytes must give an
// orientation and a rewritten block (or none), never a crash or an access outside the buffers.
//   build-fuzz/tests/fuzz/fuzz_exif -max_total_time=600 build-fuzz/corpus-exif
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pictures/exif_block.h"

using namespace picbatch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    (void)ExifOrientation(bytes);
    const std::vector<std::uint8_t> rewritten = ExifForOutput(bytes, 640, 480, size % 2 == 0, size % 3 == 0);
    // What the program writes it must read back.
    if (!rewritten.empty())
        (void)ExifOrientation(rewritten);
    return 0;
}
