// JPEG decoding and encoding speed on a real photo, as the loader and the saver use the
// binding, and encoding at a run's quality and progression (BM_EncodeAt/quality/progressive,
// as the format row's encoder takes them). The file is the first argument or
// PICBATCH_BENCH_JPEG, e.g. (from the repository)
//   build-*/bench/codec_bench ../shared/corpus/photos/sunset_by_Aitzol_Berasategi.jpg
//   --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/raster.h"
#include "pictures/encode_settings.h"
#include "pictures/jpeg/jpeg_encoder.h"
#include "pictures/jpeg/jpeg_image.h"
#include "pictures/jpeg/jpeg_settings.h"

namespace picbatch {

namespace {

std::vector<std::uint8_t>& JpegFile()
{
    static std::vector<std::uint8_t> bytes;
    return bytes;
}

Raster DecodeFile()
{
    JpegImage jpeg;
    jpeg.LoadJpegData(JpegFile());
    return jpeg.TakePicture();
}

void BM_Decode(benchmark::State& state)
{
    for (auto _ : state) {
        Raster picture = DecodeFile();
        benchmark::DoNotOptimize(picture.Bits().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(JpegFile().size()));
}

void BM_Encode(benchmark::State& state)
{
    const Raster picture = DecodeFile();
    std::size_t size = 0;
    for (auto _ : state) {
        JpegImage jpeg;
        jpeg.AssignPicture(picture);
        std::vector<std::uint8_t> out;
        jpeg.SaveJpegData(out);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["out_bytes"] = static_cast<double>(size);
}

// The photo encoded at quality state.range(0), progressive when state.range(1) is 1.
void BM_EncodeAt(benchmark::State& state)
{
    const Raster picture = DecodeFile();
    const JpegSettings settings =
        JpegSettingsFor(EncodeSettings{static_cast<int>(state.range(0)), state.range(1) != 0});
    std::size_t size = 0;
    for (auto _ : state) {
        std::vector<std::uint8_t> out;
        EncodeJpegPicture(picture, settings, out);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["out_bytes"] = static_cast<double>(size);
}

BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodeAt)
    ->ArgNames({"quality", "progressive"})
    ->ArgsProduct({{90, 50, 75, 100, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

}  // namespace picbatch

using namespace picbatch;

int main(int argc, char** argv)
{
    // A first argument that is not a benchmark flag names the file.
    std::string path;
    if (argc > 1 && argv[1][0] != '-') {
        path = argv[1];
        for (int i = 1; i + 1 < argc; ++i)
            argv[i] = argv[i + 1];
        --argc;
    } else if (const char* env = std::getenv("PICBATCH_BENCH_JPEG")) {
        path = env;
    }
    std::ifstream in(path, std::ios::binary);
    JpegFile().assign(std::istreambuf_iterator<char>(in), {});
    if (path.empty() || JpegFile().empty()) {
        std::fprintf(stderr, "usage: codec_bench FILE.jpg [benchmark flags] (or set PICBATCH_BENCH_JPEG)\n");
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("file", path);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
