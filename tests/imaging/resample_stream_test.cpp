// The resampler fed in bands of rows against the reference on the whole picture: the same
// bytes on every path, in bands of any height, and the same errors.
#include "imaging/resample_stream.h"

#include <gtest/gtest.h>

#include "imaging/error.h"
#include "imaging/resample.h"
#include "tests/imaging/band_feeding.h"
#include "tests/imaging/error_text.h"
#include "tests/imaging/resample_test_pictures.h"

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace picbatch {

namespace {

// Feeds source to a stream in bands of band rows (FedInBands).
Raster Streamed(const Raster& source, int width, int height, int band, ResamplePath path, bool viaSink = false)
{
    return FedInBands(source, width, height, band, viaSink, [&](const TargetRowSink& sink) {
        return ResampleStream(source.Width(), source.Height(), width, height, sink, path);
    });
}

void ExpectStreamsLikeReference(const Raster& source, int width, int height, const std::string& name)
{
    Raster picture = source;
    const Raster expected = ResampleLanczosOn(picture, width, height, ResamplePath::Reference);
    for (const ResamplePath path : AllPaths()) {
        for (const int band : {1, 3, 5, 16, source.Height()}) {
            EXPECT_TRUE(SamePicture(Streamed(source, width, height, band, path), expected))
                << name << " -> " << width << "x" << height << ", bands of " << band << ", path "
                << ResamplePathName(path);
        }
        EXPECT_TRUE(SamePicture(Streamed(source, width, height, 5, path, true), expected))
            << name << " -> " << width << "x" << height << " through a row sink, path " << ResamplePathName(path);
    }
}

}  // namespace

TEST(ResampleStream, SameBytesAsTheReferenceInBandsOfAnyHeight)
{
    const struct {
        int sw, sh, w, h;
    } cases[] = {
        {1, 1, 1, 1}, {1, 1, 5, 4}, {1, 30, 1, 7}, {30, 1, 4, 1}, {7, 9, 40, 33}, {64, 48, 9, 5},
        {5, 300, 4, 290}, {3, 100, 2, 250}, {7, 257, 3, 31}, {2, 999, 5, 1}, {600, 7, 2, 3},
        // Wide rows, filtered a few hundred source pixels at a time.
        {1500, 21, 97, 10}, {1501, 9, 1499, 12}, {700, 11, 1401, 5}, {2000, 9, 13, 3},
    };
    for (const auto& c : cases) {
        ExpectStreamsLikeReference(NoisePicture(c.sw, c.sh, 11), c.w, c.h,
                                   std::to_string(c.sw) + "x" + std::to_string(c.sh));
    }
    std::mt19937 random(12);
    for (int i = 0; i < 12; ++i) {
        const int sw = 1 + static_cast<int>(random() % 60);
        const int sh = 1 + static_cast<int>(random() % 60);
        const int w = 1 + static_cast<int>(random() % 70);
        const int h = 1 + static_cast<int>(random() % 70);
        ExpectStreamsLikeReference(NoisePicture(sw, sh, random()), w, h, std::to_string(sw) + "x" + std::to_string(sh));
    }
    ExpectStreamsLikeReference(PhotoLikePicture(320, 240, 13), 97, 61, "photo");
    ExpectStreamsLikeReference(PhotoLikePicture(320, 240, 13), 400, 300, "photo");
}

TEST(ResampleStream, RowsPastTheSourceAreIgnored)
{
    const Raster source = NoisePicture(20, 10, 14);
    Raster picture = source;
    const Raster expected = ResampleLanczos(picture, 7, 5);
    const Raster taller = NoisePicture(20, 25, 14);  // the same first 10 rows, then more
    for (const ResamplePath path : AllPaths()) {
        ResampleStream stream(20, 10, 7, 5, path);
        stream.AddRows(taller.Row(0).data(), taller.RowStep(), 25);
        stream.AddRows(taller.Row(0).data(), taller.RowStep(), 3);
        EXPECT_TRUE(SamePicture(stream.Finish(), expected)) << ResamplePathName(path);
    }
}

TEST(ResampleStream, RefusesWhatResampleLanczosRefuses)
{
    const struct {
        const char* name;
        int sw, sh, w, h;
        const char* message;
    } cases[] = {
        {"no target width", 4, 4, 0, 3, kInvalidTargetSize},
        {"no target height", 4, 4, 3, -1, kInvalidTargetSize},
        {"target checked first", 0, 0, 0, 3, kInvalidTargetSize},
        {"no source rows", 4, 0, 3, 3, kEmptySourcePicture},
        {"no source columns", 0, 4, 3, 3, kEmptySourcePicture},
        {"intermediate too large", 1, 65535, 65535, 1, kOutOfSystemResources},
        {"result too large", 2, 2, 65535, 65535, kOutOfSystemResources},
    };
    for (const auto& c : cases) {
        for (const ResamplePath path : AllPaths()) {
            EXPECT_EQ(ErrorText([&] { ResampleStream(c.sw, c.sh, c.w, c.h, path); }), c.message)
                << c.name << ", path " << ResamplePathName(path);
        }
    }
}

TEST(ResampleStream, NoResultBeforeEveryRowArrived)
{
    const Raster source = NoisePicture(9, 12, 15);
    for (const ResamplePath path : AllPaths()) {
        ResampleStream stream(9, 12, 4, 4, path);
        stream.AddRows(source.Row(0).data(), source.RowStep(), 11);
        EXPECT_THROW(stream.Finish(), std::logic_error) << ResamplePathName(path);
    }
}

}  // namespace picbatch

namespace picbatch {

// Runs of one row handed over with a step of 0 (a file's missing rows), at every position
// against the resampler's groups of eight rows and mixed with single rows, give the bytes of
// the whole picture resampled by the reference.
TEST(ResampleStream, RepeatedRowsGiveTheBytesOfTheWholePicture)
{
    std::mt19937 random(17);
    const auto below = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int trial = 0; trial < 40; ++trial) {
        const int sourceWidth = 3 + below(70);
        const int sourceHeight = 1 + below(120);
        const int width = 1 + below(90);
        const int height = 1 + below(trial % 2 == 0 ? 40 : 200);
        Raster source;
        source.SetPixelForm(PixelForm::Bgr24);
        source.SetSizeForWriting(sourceWidth, sourceHeight);
        std::vector<std::pair<int, int>> runs;  // first row and rows of each run
        for (int y = 0; y < sourceHeight;) {
            const int count = std::min(sourceHeight - y, 1 + below(trial % 3 == 0 ? 3 : 30));
            std::vector<std::uint8_t> row(static_cast<std::size_t>(sourceWidth) * 3);
            for (std::uint8_t& byte : row)
                byte = static_cast<std::uint8_t>(random());
            for (int i = 0; i < count; ++i)
                std::copy(row.begin(), row.end(), source.Row(y + i).begin());
            runs.emplace_back(y, count);
            y += count;
        }
        Raster copy = source;
        const Raster expected = ResampleLanczosOn(copy, width, height, ResamplePath::Reference);
        for (const ResamplePath path : AllPaths()) {
            ResampleStream stream(sourceWidth, sourceHeight, width, height, path);
            for (const auto& [first, count] : runs) {
                if (below(4) == 0)
                    stream.AddRows(source.Row(first).data(), source.RowStep(), count);
                else
                    stream.AddRows(source.Row(first).data(), 0, count);
            }
            EXPECT_TRUE(SamePicture(stream.Finish(), expected))
                << sourceWidth << "x" << sourceHeight << " -> " << width << "x" << height << ", path "
                << ResamplePathName(path);
        }
    }
}

}  // namespace picbatch
