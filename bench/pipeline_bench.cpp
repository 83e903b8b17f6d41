// Where the time of one conversion goes: reading the file, decoding, resampling, encoding
// and writing, each timed alone, and the whole conversion as picbatch-cli does it. E.g.
//   build-*/bench/pipeline_bench ../shared/corpus/photos/Kleiber_by_Lukas_Baubkus.jpg 778x502
//   --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// The CPU column counts user and system time of the thread (page faults included), the
// figure to compare on a shared machine.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <stdlib.h>

#include "batch/convert_picture.h"
#include "imaging/raster.h"
#include "imaging/resample.h"
#include "pictures/files/file_io.h"
#include "pictures/files/replace_file.h"
#include "pictures/jpeg/jpeg_image.h"
#include "pictures/jpeg/jpeg_segments.h"
#include "pictures/save_picture.h"

#include <lcms2.h>

namespace picbatch {

namespace {

struct Job {
    std::string source;
    int width = 0;
    int height = 0;
    std::string scratch;  // a folder for the written files
};

Job& TheJob()
{
    static Job job;
    return job;
}

Raster Decoded()
{
    JpegImage jpeg;
    jpeg.LoadJpegData(ReadFileBytes(TheJob().source));
    return jpeg.TakePicture();
}

Raster Resampled()
{
    Raster picture = Decoded();
    return ResampleLanczos(picture, TheJob().width, TheJob().height);
}

std::vector<std::uint8_t> Encoded(const Raster& picture)
{
    JpegImage jpeg;
    jpeg.AssignPicture(picture);
    std::vector<std::uint8_t> bytes;
    jpeg.SaveJpegData(bytes);
    return bytes;
}

void BM_Read(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadFileBytes(TheJob().source).data());
}

// Header and decoding from bytes already in memory, as the loader does after reading.
void BM_Decode(benchmark::State& state)
{
    const std::vector<std::uint8_t> bytes = ReadFileBytes(TheJob().source);
    for (auto _ : state) {
        JpegImage jpeg;
        jpeg.LoadJpegData(bytes);
        Raster picture = jpeg.TakePicture();
        benchmark::DoNotOptimize(picture.Bits().data());
    }
}

void BM_Resample(benchmark::State& state)
{
    Raster picture = Decoded();
    for (auto _ : state) {
        Raster result = ResampleLanczos(picture, TheJob().width, TheJob().height);
        benchmark::DoNotOptimize(result.Bits().data());
    }
}

void BM_Encode(benchmark::State& state)
{
    const Raster picture = Resampled();
    for (auto _ : state)
        benchmark::DoNotOptimize(Encoded(picture).data());
}

void BM_Write(benchmark::State& state)
{
    const std::vector<std::uint8_t> bytes = Encoded(Resampled());
    const std::string path = TheJob().scratch + "/OUT.jpg";
    for (auto _ : state)
        ReplaceFile(path, bytes);
}

// Reading, decoding and resampling as a run does them: a JPEG file is resampled band by
// band while it is decoded, so this is less than read + decode + resample above.
void BM_LoadAndResample(benchmark::State& state)
{
    Raster working;
    for (auto _ : state) {
        LoadAndResample(TheJob().source, TheJob().width, TheJob().height, working);
        benchmark::DoNotOptimize(working.Bits().data());
    }
}

// Everything one picture costs as the command-line program converts it to JPEG: decoded,
// resampled and encoded row by row, then written; on one thread, or (the argument 2) with
// the rows resampled and encoded on a second thread while the next are decoded. With two
// threads only the wall time tells: the CPU column counts the decoding thread alone.
void BM_Whole(benchmark::State& state)
{
    const std::string output = TheJob().scratch + "/OUT.jpg";
    const Threads threads = state.range(0) == 2 ? Threads::TwoAtAnySize : Threads::One;
    const ConversionRequest request{TheJob().width, TheJob().height, OutputMode::Jpeg, {}};
    for (auto _ : state)
        CarryOut(PlanConversion(TheJob().source, output, request, threads));
}

// An EXIF block holding only an orientation tag: a little-endian TIFF header, one IFD of one
// entry (tag 0x0112, type SHORT, count 1, the value), no next IFD.
std::vector<std::uint8_t> OrientationBlock(int tag)
{
    return {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0,
            static_cast<std::uint8_t>(tag), 0, 0, 0, 0, 0, 0, 0};
}

// LittleCMS's sRGB profile, a few kilobytes.
std::vector<std::uint8_t> SrgbProfile()
{
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    std::vector<std::uint8_t> bytes(std::size_t{1} << 16);
    auto length = static_cast<cmsUInt32Number>(bytes.size());
    if (!cmsSaveProfileToMem(profile, bytes.data(), &length))
        length = 0;
    cmsCloseProfile(profile);
    bytes.resize(length);
    return bytes;
}

// BM_Whole on a copy of the source with metadata: the argument 0 is the copy without any (the
// source's own bytes, to compare with on equal terms), 1..8 an orientation tag, 9 the sRGB
// profile of LittleCMS. The second argument is the number of threads, as for BM_Whole.
void BM_Tagged(benchmark::State& state)
{
    const int kind = static_cast<int>(state.range(0));
    const std::vector<std::uint8_t> source = ReadFileBytes(TheJob().source);
    const std::string copy = TheJob().scratch + "/tagged.jpg";
    ReplaceFile(copy, kind == 0 ? source
                                  : WithJpegSegments(source, kind <= 8 ? OrientationBlock(kind) : std::vector<std::uint8_t>{},
                                                     kind == 9 ? SrgbProfile() : std::vector<std::uint8_t>{}));
    const std::string output = TheJob().scratch + "/OUT.jpg";
    const Threads threads = state.range(1) == 2 ? Threads::TwoAtAnySize : Threads::One;
    const ConversionRequest request{TheJob().width, TheJob().height, OutputMode::Jpeg, {}};
    for (auto _ : state)
        CarryOut(PlanConversion(copy, output, request, threads));
}

BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndResample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Whole)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Whole)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Tagged)->ArgsProduct({{0, 3, 6, 9}, {1, 2}})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

}  // namespace picbatch

using namespace picbatch;

int main(int argc, char** argv)
{
    // The first two arguments that are not benchmark flags: the JPEG file and the size.
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
        || job.width < 1 || job.height < 1 || !std::filesystem::is_regular_file(job.source)) {
        std::fprintf(stderr, "usage: pipeline_bench FILE.jpg WIDTHxHEIGHT [benchmark flags]\n");
        return 2;
    }
    std::string scratch = (std::filesystem::temp_directory_path() / "pipeline_bench-XXXXXX").string();
    if (!::mkdtemp(scratch.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    job.scratch = scratch;

    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("file", job.source);
    benchmark::AddCustomContext("size", plain[1]);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(scratch);
    return 0;
}
