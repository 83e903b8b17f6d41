// libFuzzer target for the PNG reader and writer (codec_fuzzing.h).
//
// A longer run than the CI's minute, once .ci/run has built the target and the tests have
// left their files in build/fuzz-seeds:
//   build-fuzz/tests/fuzz/fuzz_png -max_total_time=3600 -rss_limit_mb=2048 -timeout=10 \
//     build-fuzz/corpus-png build/fuzz-seeds/png
#include "pictures/png/png.h"
#include "tests/fuzz/codec_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace picbatch;
    FuzzCodec({data, size}, {ReadPngSize, ParsePng, {EncodePng}});
    return 0;
}
