// The Lanczos-3 resampler: kernel values, the worked weight lists, line examples, invariants
// and the behaviour at the edges (one-pixel lines, tiny scales, empty pictures).
#include "imaging/resample.h"

#include <gtest/gtest.h>

#include "imaging/error.h"
#include "imaging/lanczos_contributors.h"
#include "imaging/resample_path.h"
#include "tests/imaging/error_text.h"
#include "tests/imaging/resample_test_pictures.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace picbatch {

namespace {

using List = std::vector<Contribution>;

List Filled(const PixelContributions& entry)
{
    return {entry.contributors.begin(), entry.contributors.begin() + entry.count};
}

std::int32_t Total(const PixelContributions& entry)
{
    std::int32_t total = 0;
    for (const Contribution& c : Filled(entry)) {
        total += c.weight;
    }
    return total;
}

}  // namespace

TEST(BuildContributors, WorkedLists)
{
    EXPECT_EQ(AxisScale(3, 5), 2.0f);
    EXPECT_EQ(AxisScale(4, 8), 7.0f / 3.0f);
    EXPECT_EQ(AxisScale(8, 4), 3.0f / 7.0f);
    EXPECT_EQ(AxisScale(8, 1), 0.125f);  // a one-pixel target: m / n, like a one-pixel source
    EXPECT_EQ(AxisScale(1, 5), 5.0f);
    const struct {
        const char* name;
        std::int32_t n;
        std::int32_t m;
        std::size_t target;
        List expected;
    } cases[] = {
        {"3->5 #0", 3, 5, 0, {{256, 0}}},
        {"3->5 #1", 3, 5, 1, {{6, 2}, {-35, 1}, {156, 0}, {156, 1}, {-35, 2}, {6, 2}}},
        {"3->5 #2", 3, 5, 2, {{256, 1}}},
        {"3->5 #3", 3, 5, 3, {{6, 1}, {-35, 0}, {156, 1}, {156, 2}, {-35, 2}, {6, 1}}},
        {"3->5 #4", 3, 5, 4, {{256, 2}}},
        {"4->8 #0", 4, 8, 0, {{256, 0}}},
        {"4->8 #1", 4, 8, 1, {{7, 2}, {-37, 1}, {179, 0}, {131, 1}, {-31, 2}, {5, 3}}},
        {"4->8 #2", 4, 8, 2, {{1, 2}, {-9, 1}, {36, 0}, {247, 1}, {-24, 2}, {6, 3}}},
        {"8->4 #0", 8, 4, 0,
         {{2, 6}, {2, 5}, {-9, 4}, {-15, 3}, {15, 2}, {77, 1}, {110, 0}, {77, 1}, {15, 2}, {-15, 3}, {-9, 4},
          {2, 5}, {2, 6}}},
        {"8->4 #1", 8, 4, 1,
         {{1, 4}, {3, 3}, {-4, 2}, {-16, 1}, {56, 1}, {106, 2}, {94, 3}, {35, 4}, {-10, 5}, {-13, 6}, {3, 7}}},
    };
    for (const auto& c : cases) {
        const ContributionList list = BuildContributors(c.n, c.m, AxisScale(c.n, c.m));
        ASSERT_EQ(list.size(), static_cast<std::size_t>(c.m)) << c.name;
        EXPECT_EQ(Filled(list[c.target]), c.expected) << c.name;
    }
    // Reducing 8 -> 4 allocates 2h + 1 = 15 (half-width 7).
    EXPECT_EQ(BuildContributors(8, 4, AxisScale(8, 4))[0].contributors.size(), 15u);
}

TEST(BuildContributors, StrongReductionTotalsDrift)
{
    const ContributionList list = BuildContributors(1201, 5, AxisScale(1201, 5));
    for (const PixelContributions& entry : list) {
        EXPECT_EQ(Total(entry), 309);
    }
}

TEST(BuildContributors, EveryContributionReadsTheLine)
{
    // Small lines fold windows more than once; long ones stress capacities.
    for (std::int32_t n : {1, 2, 3, 4, 5, 7, 16, 61}) {
        for (std::int32_t m : {1, 2, 3, 4, 5, 9, 64, 150}) {
            const ContributionList list = BuildContributors(n, m, AxisScale(n, m));
            for (const PixelContributions& entry : list) {
                ASSERT_GT(entry.count, 0) << n << "->" << m;
                ASSERT_LE(static_cast<std::size_t>(entry.count), entry.contributors.size()) << n << "->" << m;
                for (const Contribution& c : Filled(entry)) {
                    ASSERT_GE(c.pixel, 0) << n << "->" << m;
                    ASSERT_LT(c.pixel, n) << n << "->" << m;
                }
            }
        }
    }
}

TEST(BuildContributors, TinyScaleTakesTheNearestPixel)
{
    // At scale 1/512 every weight rounds to 0; each list keeps the pixel under its centre.
    const ContributionList list = BuildContributors(2049, 5, AxisScale(2049, 5));
    for (std::int32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(Filled(list[static_cast<std::size_t>(i)]), (List{{256, 512 * i}}));
    }
}

// Test listings show the path by name instead of as raw bytes.
void PrintTo(ResamplePath path, std::ostream* out) { *out << ResamplePathName(path); }

class ResampleOnPath : public ::testing::TestWithParam<ResamplePath> {
protected:
    Raster Resample(Raster& picture, int width, int height)
    {
        return ResampleLanczosOn(picture, width, height, GetParam());
    }
};

TEST_P(ResampleOnPath, LineExamplesAlongBothAxes)
{
    const struct {
        const char* name;
        std::vector<int> line;
        std::vector<int> expected;
    } cases[] = {
        {"4->8 ramp", {10, 20, 30, 40}, {10, 12, 18, 23, 27, 31, 36, 40}},
        {"4->8 step", {0, 0, 255, 255}, {0, 0, 0, 63, 192, 255, 255, 255}},
        {"8->4 ramp", {0, 10, 20, 30, 40, 50, 60, 70}, {3, 22, 47, 69}},
    };
    for (const auto& c : cases) {
        const int n = static_cast<int>(c.line.size());
        const int m = static_cast<int>(c.expected.size());
        // Blue and red carry the line, green a constant that must stay.
        auto paint = [&](int i, int channel) { return channel == 1 ? 99 : c.line[static_cast<std::size_t>(i)]; };
        Raster rows = PaintedPicture(n, 2, [&](int x, int, int channel) { return paint(x, channel); });
        Raster columns = PaintedPicture(2, n, [&](int, int y, int channel) { return paint(y, channel); });
        const Raster wide = Resample(rows, m, 2);
        const Raster tall = Resample(columns, 2, m);
        for (int i = 0; i < m; ++i) {
            const int e = c.expected[static_cast<std::size_t>(i)];
            for (int other = 0; other < 2; ++other) {
                const std::uint8_t* a = wide.Row(other).data() + 3 * i;
                const std::uint8_t* b = tall.Row(i).data() + 3 * other;
                EXPECT_EQ((std::vector<int>{a[0], a[1], a[2]}), (std::vector<int>{e, 99, e})) << c.name << " row " << i;
                EXPECT_EQ((std::vector<int>{b[0], b[1], b[2]}), (std::vector<int>{e, 99, e})) << c.name << " column " << i;
            }
        }
    }
}

TEST_P(ResampleOnPath, SameSizeIsACopy)
{
    Raster picture = NoisePicture(13, 7, 1);
    EXPECT_TRUE(SamePicture(Resample(picture, 13, 7), picture));
}

TEST_P(ResampleOnPath, UniformColourStays)
{
    const std::pair<int, int> sources[] = {{1, 1}, {1, 6}, {6, 1}, {5, 3}, {40, 30}, {2049, 2}};
    const std::pair<int, int> targets[] = {{1, 1}, {3, 1}, {1, 4}, {2, 2}, {7, 5}, {64, 3}};
    for (const auto& [sw, sh] : sources) {
        Raster picture = PaintedPicture(sw, sh, [](int, int, int c) { return 17 + 100 * c; });
        for (const auto& [w, h] : targets) {
            const Raster expected = PaintedPicture(w, h, [](int, int, int c) { return 17 + 100 * c; });
            EXPECT_TRUE(SamePicture(Resample(picture, w, h), expected)) << sw << "x" << sh << " -> " << w << "x" << h;
        }
    }
}

TEST_P(ResampleOnPath, OneRowSourceResamplesLikeAnyOther)
{
    Raster row = PaintedPicture(4, 1, [](int x, int, int) { return 10 + 10 * x; });
    const Raster wide = Resample(row, 8, 1);
    const std::vector<int> expected = {10, 12, 18, 23, 27, 31, 36, 40};
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(wide.Row(0)[static_cast<std::size_t>(3 * x)], expected[static_cast<std::size_t>(x)]);
    }
    // Every target row of a one-row source is that row.
    const Raster tall = Resample(row, 4, 3);
    for (int y = 0; y < 3; ++y) {
        EXPECT_TRUE(std::equal(tall.Row(y).begin(), tall.Row(y).end(), row.Row(0).begin())) << y;
    }
}

TEST_P(ResampleOnPath, OnePixelTargets)
{
    Raster picture = NoisePicture(9, 6, 2);
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{1, 6}, std::pair{9, 1}, std::pair{1, 20}}) {
        const Raster result = Resample(picture, w, h);
        EXPECT_EQ(result.Width(), w);
        EXPECT_EQ(result.Height(), h);
    }
    // A one-pixel-wide picture keeps its columns when the width stays 1.
    Raster column = NoisePicture(1, 5, 3);
    EXPECT_TRUE(SamePicture(Resample(column, 1, 5), column));
}

TEST_P(ResampleOnPath, TinyScaleSamplesInsteadOfGoingBlack)
{
    Raster picture = PaintedPicture(2049, 2, [](int x, int y, int c) { return (x / 7 + y + 3 * c) % 256; });
    const Raster result = Resample(picture, 5, 2);
    for (int i = 0; i < 5; ++i) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(result.Row(1)[static_cast<std::size_t>(3 * i + c)], (512 * i / 7 + 1 + 3 * c) % 256);
        }
    }
}

namespace {

std::string PathName(const ::testing::TestParamInfo<ResamplePath>& info)
{
    return ResamplePathName(info.param);
}

// The reference and every Highway target compiled in that this processor runs.
std::vector<ResamplePath> PathsToTest()
{
    std::vector<ResamplePath> paths = {ResamplePath::Reference};
    for (const ResamplePath path : VectorResamplePaths()) {
        paths.push_back(path);
    }
    return paths;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Paths, ResampleOnPath, ::testing::ValuesIn(PathsToTest()), PathName);

TEST(ResamplePath, TheFastestIsHighwaysChoiceAndEveryVectorPathRuns)
{
    const std::vector<ResamplePath> paths = VectorResamplePaths();
    EXPECT_EQ(FastestResamplePath(), paths.empty() ? ResamplePath::Reference : paths.front());
    EXPECT_TRUE(ResamplePathAvailable(ResamplePath::Reference));
    EXPECT_EQ(ResamplePathName(ResamplePath::Reference), "Reference");
    for (const ResamplePath path : paths) {
        EXPECT_NE(path, ResamplePath::Reference);
        EXPECT_TRUE(ResamplePathAvailable(path)) << ResamplePathName(path);
    }
    // A target that is not compiled in, or that this processor lacks, runs the reference.
    EXPECT_FALSE(ResamplePathAvailable(ResamplePath{std::int64_t{1} << 40}));
    Raster picture = NoisePicture(9, 7, 5);
    Raster copy = picture;
    EXPECT_TRUE(SamePicture(ResampleLanczosOn(picture, 5, 4, ResamplePath{std::int64_t{1} << 40}),
                            ResampleLanczosOn(copy, 5, 4, ResamplePath::Reference)));
}

TEST(ResampleLanczos, RejectsEmptySourcesAndTargetsBelowOne)
{
    Raster picture = NoisePicture(4, 3, 4);
    for (const auto& [w, h] : {std::pair{0, 3}, std::pair{3, 0}, std::pair{-1, 5}, std::pair{5, -7}}) {
        EXPECT_EQ(ErrorText([&, w = w, h = h] { ResampleLanczos(picture, w, h); }), kInvalidTargetSize);
    }
    Raster empty;
    EXPECT_EQ(ErrorText([&] { ResampleLanczos(empty, 3, 3); }), kEmptySourcePicture);
    Raster noRows;
    noRows.SetPixelForm(PixelForm::Bgr24);
    noRows.SetWidth(5);
    EXPECT_EQ(ErrorText([&] { ResampleLanczos(noRows, 3, 3); }), kEmptySourcePicture);
}

TEST(ResampleLanczos, ConvertsThePictureInPlace)
{
    Raster picture;
    picture.SetPixelForm(PixelForm::Paletted8);
    picture.SetWidth(3);
    picture.SetHeight(2);
    const ColorEntry table[] = {{10, 20, 30, 0}};
    picture.SetColorTable(table);
    for (int y = 0; y < 2; ++y) {
        std::fill(picture.Row(y).begin(), picture.Row(y).begin() + 3, 0);
    }
    const Raster result = ResampleLanczos(picture, 5, 4);
    EXPECT_EQ(picture.Form(), PixelForm::Bgr24);
    EXPECT_EQ(result.Form(), PixelForm::Bgr24);
    EXPECT_EQ((std::vector<int>{result.Row(3)[12], result.Row(3)[13], result.Row(3)[14]}),
              (std::vector<int>{10, 20, 30}));
}

TEST(ResampleLanczos, ReadsASharedStoreWithoutCopyingIt)
{
    Raster picture = NoisePicture(30, 20, 5);
    const Raster other = picture;
    ResampleLanczos(picture, 10, 10);
    EXPECT_EQ(std::as_const(picture).Bits().data(), other.Bits().data());
}

TEST(ResampleLanczos, IntermediateAboveThePictureLimitFails)
{
    // 65535 x 1 is a valid source and target, but the rows-first intermediate would hold
    // 65535 x 65535 pixels.
    Raster column = PaintedPicture(1, 65535, [](int, int, int) { return 0; });
    EXPECT_EQ(ErrorText([&] { ResampleLanczos(column, 65535, 1); }), kOutOfSystemResources);
}

}  // namespace picbatch
