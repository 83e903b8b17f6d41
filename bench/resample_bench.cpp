// Resampling speed on generated photo-sized pictures, for each implementation (one thread):
// the reference, and the vector kernels of every Highway target compiled in that this
// processor runs (Resample/AVX3, Resample/AVX2, …; the fastest, which the product takes,
// comes first); and the cost of building and packing the weight lists of both axes:
//   resample_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// On a shared machine the CPU column is the figure to compare.
#include "imaging/lanczos_contributors.h"
#include "imaging/raster.h"
#include "imaging/resample_path.h"
#include "imaging/resample_vector.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <optional>
#include <utility>

namespace picbatch {

namespace {

// Shading, edges and high-frequency noise, so no path profits from flat areas.
Raster TexturedPicture(int width, int height)
{
    Raster picture;
    picture.SetPixelForm(PixelForm::Bgr24);
    picture.SetWidth(width);
    picture.SetHeight(height);
    std::uint32_t state = 12345;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = picture.Row(y).data();
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;  // a linear congruential generator
            const int noise = static_cast<int>(state >> 28);
            const bool edge = ((x / 37) + (y / 29)) % 3 == 0;
            row[3 * x] = static_cast<std::uint8_t>((x * 255 / width + noise) & 0xFF);
            row[3 * x + 1] = static_cast<std::uint8_t>(edge ? 230 - noise : y * 255 / height);
            row[3 * x + 2] = static_cast<std::uint8_t>(((x ^ y) & 0x3F) * 4 + noise);
        }
    }
    return picture;
}

Raster& Picture(int width, int height)
{
    static std::map<std::pair<int, int>, Raster> pictures;
    auto [it, added] = pictures.try_emplace({width, height});
    if (added) {
        it->second = TexturedPicture(width, height);
    }
    return it->second;
}

void Resample(benchmark::State& state, ResamplePath path)
{
    Raster& picture = Picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const int width = static_cast<int>(state.range(2));
    const int height = static_cast<int>(state.range(3));
    for (auto _ : state) {
        Raster result = ResampleLanczosOn(picture, width, height, path);
        benchmark::DoNotOptimize(result);
    }
}

void Sizes(benchmark::internal::Benchmark* bench)
{
    bench->ArgNames({"sw", "sh", "w", "h"});
    bench->Args({4272, 2848, 778, 502});
    bench->Args({4000, 3000, 778, 502});
    bench->Args({1920, 1080, 1600, 1200});
    bench->Unit(benchmark::kMillisecond);
}

// Both axes' lists, as every resampler builds them before its first row.
void BuildLists(benchmark::State& state)
{
    const auto sourceWidth = static_cast<std::int32_t>(state.range(0));
    const auto sourceHeight = static_cast<std::int32_t>(state.range(1));
    const auto width = static_cast<std::int32_t>(state.range(2));
    const auto height = static_cast<std::int32_t>(state.range(3));
    for (auto _ : state) {
        ContributionList horizontal = BuildContributors(sourceWidth, width, AxisScale(sourceWidth, width));
        ContributionList vertical = BuildContributors(sourceHeight, height, AxisScale(sourceHeight, height));
        benchmark::DoNotOptimize(horizontal);
        benchmark::DoNotOptimize(vertical);
    }
}

// The packings the vector paths make of those lists: rows aligned to pixel pairs, columns
// by 2.
void PackLists(benchmark::State& state)
{
    const auto sourceWidth = static_cast<std::int32_t>(state.range(0));
    const auto sourceHeight = static_cast<std::int32_t>(state.range(1));
    const auto width = static_cast<std::int32_t>(state.range(2));
    const auto height = static_cast<std::int32_t>(state.range(3));
    const ContributionList horizontal = BuildContributors(sourceWidth, width, AxisScale(sourceWidth, width));
    const ContributionList vertical = BuildContributors(sourceHeight, height, AxisScale(sourceHeight, height));
    for (auto _ : state) {
        std::optional<PackedAxis> single = PackAxis(horizontal, sourceWidth, 1);
        PackedAxis pairs = AlignToPairs(*single);
        std::optional<PackedAxis> columns = PackAxis(vertical, sourceHeight, 2);
        benchmark::DoNotOptimize(pairs);
        benchmark::DoNotOptimize(columns);
    }
}

// The sizes of the photos the process benchmarks convert (bench/compare W1b and W2).
void ListSizes(benchmark::internal::Benchmark* bench)
{
    bench->ArgNames({"sw", "sh", "w", "h"});
    bench->Args({6028, 3391, 778, 502});
    bench->Args({1680, 1050, 1600, 1200});
    bench->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK(BuildLists)->Apply(ListSizes);
BENCHMARK(PackLists)->Apply(ListSizes);
BENCHMARK_CAPTURE(Resample, Reference, ResamplePath::Reference)->Apply(Sizes);

}  // namespace picbatch

int main(int argc, char** argv)
{
    // One benchmark per vector path, named after its target.
    for (const picbatch::ResamplePath path : picbatch::VectorResamplePaths()) {
        benchmark::RegisterBenchmark(("Resample/" + picbatch::ResamplePathName(path)).c_str(), picbatch::Resample,
                                     path)
            ->Apply(picbatch::Sizes);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
