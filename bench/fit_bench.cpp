// What the fit modes cost against a plain stretch: contain and pad against a stretch to the
// same output size, cover (only its window decoded) against the whole picture's stretch to
// the box. Every conversion on one thread, as picbatch-cli carries out a plan. E.g.
//   build/bench/fit_bench panorama.jpg 800x600 --benchmark_repetitions=9
//   --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <stdlib.h>

#include "batch/convert_picture.h"
#include "batch/fitted_size.h"
#include "pictures/picture_format.h"

namespace picbatch {

namespace {

struct Job {
    std::string source;
    int width = 0;
    int height = 0;
    std::string scratch;
};

Job& TheJob()
{
    static Job job;
    return job;
}

ConversionRequest Request(FitMode fit, int width, int height)
{
    ConversionRequest request{width, height, OutputMode::Jpeg, {}};
    request.options.fit = fit;
    return request;
}

// The contain size of the job's picture in its box.
FittedSize Contained()
{
    const PictureHeader header = FormatOfName(TheJob().source)->readHeader(TheJob().source);
    return FitSize(header.width, header.height, Request(FitMode::Contain, TheJob().width, TheJob().height));
}

void Convert(benchmark::State& state, const ConversionRequest& request)
{
    const std::string output = TheJob().scratch + "/OUT.jpg";
    for (auto _ : state)
        CarryOut(PlanConversion(TheJob().source, output, request));
}

void BM_StretchToContainSize(benchmark::State& state)
{
    const FittedSize contained = Contained();
    Convert(state, Request(FitMode::Stretch, contained.width, contained.height));
}

void BM_Contain(benchmark::State& state)
{
    Convert(state, Request(FitMode::Contain, TheJob().width, TheJob().height));
}

void BM_StretchToBox(benchmark::State& state)
{
    Convert(state, Request(FitMode::Stretch, TheJob().width, TheJob().height));
}

void BM_Pad(benchmark::State& state)
{
    Convert(state, Request(FitMode::Pad, TheJob().width, TheJob().height));
}

void BM_Cover(benchmark::State& state)
{
    Convert(state, Request(FitMode::Cover, TheJob().width, TheJob().height));
}

BENCHMARK(BM_StretchToContainSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Contain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchToBox)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cover)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace picbatch

using namespace picbatch;

int main(int argc, char** argv)
{
    std::vector<std::string> plain;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-' && plain.size() < 2)
            plain.push_back(argv[i]);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    Job& job = TheJob();
    if (plain.size() == 2)
        job.source = plain[0];
    if (plain.size() != 2 || std::sscanf(plain[1].c_str(), "%dx%d", &job.width, &job.height) != 2
        || job.width < 1 || job.height < 1 || !std::filesystem::is_regular_file(job.source)
        || !FormatOfName(job.source) || !FormatOfName(job.source)->readHeader) {
        std::fprintf(stderr, "usage: fit_bench PICTURE WIDTHxHEIGHT [benchmark flags]\n");
        return 2;
    }
    std::string scratch = (std::filesystem::temp_directory_path() / "fit_bench-XXXXXX").string();
    if (!::mkdtemp(scratch.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    job.scratch = scratch;
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("file", job.source);
    benchmark::AddCustomContext("box", plain[1]);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(scratch);
    return 0;
}
