// The vectorised resampler against the reference: packed weights, the exact division, and
// byte-for-byte equal pictures with the kernels of every Highway target compiled in that
// this processor runs.
#include "imaging/resample_vector.h"

#include <gtest/gtest.h>

#include "imaging/lanczos_contributors.h"
#include "imaging/resample_line.h"
#include "imaging/resample_path.h"
#include "tests/imaging/resample_test_pictures.h"

#include <random>
#include <string>
#include <vector>

namespace picbatch {

namespace {

std::vector<ResamplePath> VectorPaths()
{
    return VectorResamplePaths();
}

// count weights of +w and -w in turn on pixels 0, 1, 2, ...: a small total, a large sum.
PixelContributions Alternating(std::int32_t count, std::int32_t w)
{
    PixelContributions entry{count, {}};
    for (std::int32_t i = 0; i < count; ++i) {
        entry.contributors.push_back({i % 2 == 0 ? w : -w, i});
    }
    return entry;
}

// Eight columns of the layout the horizontal kernels read, 32-byte aligned as they need.
struct alignas(32) Columns {
    std::int16_t values[8 * kColumnValues];
};

std::string Name(ResamplePath path)
{
    return ResamplePathName(path);
}

void ExpectSameAsReference(const Raster& source, int width, int height, const std::string& name)
{
    Raster picture = source;
    const Raster expected = ResampleLanczosOn(picture, width, height, ResamplePath::Reference);
    for (const ResamplePath path : VectorPaths()) {
        EXPECT_TRUE(SamePicture(ResampleLanczosOn(picture, width, height, path), expected))
            << name << " -> " << width << "x" << height << " on " << Name(path);
    }
}

}  // namespace

TEST(PackAxis, RefusesWhatTheKernelsCannotReproduce)
{
    const struct {
        const char* name;
        PixelContributions entry;
        bool packs;
    } cases[] = {
        {"ordinary", {2, {{200, 0}, {56, 1}}}, true},
        {"negative total", {2, {{-300, 0}, {100, 1}}}, true},
        {"weight beyond 16 bits", {2, {{40000, 0}, {-39744, 1}}}, false},
        {"mirrored weights beyond 16 bits", {2, {{20000, 1}, {20000, 1}}}, false},
        {"divisor above 2048", {1, {{2049, 0}}}, false},
        {"largest divisor", {2, {{2000, 0}, {48, 1}}}, true},
        {"sums beyond 32 bits", Alternating(300, 32767), false},
    };
    for (const auto& c : cases) {
        const ContributionList list = {c.entry};
        EXPECT_EQ(PackAxis(list, 300, 8).has_value(), c.packs) << c.name;
        // The rule on its own, as a plan asks it before any resampler is made.
        EXPECT_EQ(FitsVectorKernels(list, 300), c.packs) << c.name;
        EXPECT_EQ(PackAxis(list, 300, 1).has_value(), c.packs) << c.name;
    }
}

TEST(VectorPathTakes, EveryPictureTheListsAllow)
{
    // Photo-like sizes both ways, sides of one, and tiny scales: the lists always fit.
    const struct {
        int sw, sh, w, h;
    } cases[] = {{4272, 2848, 778, 502}, {640, 480, 1600, 1200}, {1, 1, 1, 1}, {2049, 3, 5, 2}, {9, 1, 1, 4}};
    for (const auto& c : cases) {
        EXPECT_TRUE(VectorPathTakes(c.sw, c.sh, c.w, c.h)) << c.sw << "x" << c.sh << " -> " << c.w << "x" << c.h;
        const bool horizontal = FitsVectorKernels(BuildContributors(c.sw, c.w, AxisScale(c.sw, c.w)), c.sw);
        const bool vertical = FitsVectorKernels(BuildContributors(c.sh, c.h, AxisScale(c.sh, c.h)), c.sh);
        EXPECT_EQ(VectorPathTakes(c.sw, c.sh, c.w, c.h), horizontal && vertical);
    }
}

TEST(DivideClamped, MatchesTruncatingDivisionForEveryTotal)
{
    std::mt19937 random(6);
    for (std::int64_t total = -2048; total <= 2048; ++total) {
        PackedWindow window;
        const std::int32_t sign = SetDivisor(window, total) ? -1 : 1;
        const std::int32_t divisor = total == 0 ? 256 : static_cast<std::int32_t>(total);
        std::vector<std::int32_t> sums = {0, 1, -1, INT32_MAX, INT32_MIN + 1};
        // Both sides of every quotient, where truncation or clamping could go wrong; the
        // division is monotonic, so these decide every sum in between.
        for (std::int32_t q = -2; q <= 257; ++q) {
            for (std::int32_t d : {-1, 0, 1}) {
                sums.push_back(q * divisor + d);
            }
        }
        for (int i = 0; i < 8; ++i) {
            sums.push_back(static_cast<std::int32_t>(random() % (512u * 2048u)) - 256 * 2048);
        }
        for (const std::int32_t sum : sums) {
            ASSERT_EQ(DivideClamped(sign * sum, window), ClampByte(sum / divisor))
                << sum << " / " << divisor;
        }
    }
}

TEST(VerticalKernels, NegativeTotalsAndSums)
{
    // Two rows weighted -300 and 100: the total -200 is made positive by negating the
    // weights; sums run from -76500 to 25500 and cross zero.
    const ContributionList list = {PixelContributions{2, {{-300, 0}, {100, 1}}}};
    const std::optional<PackedAxis> axis = PackAxis(list, 2, 2);
    ASSERT_TRUE(axis);
    constexpr int kBytes = 77;  // whole vectors of 16 and 32 bytes and a tail, or a tail of 64
    std::vector<std::uint8_t> a(2 * kVectorBytes);
    std::vector<std::uint8_t> b(2 * kVectorBytes);
    std::mt19937 random(7);
    for (int i = 0; i < kBytes; ++i) {
        a[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(random());
        b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(random());
    }
    const std::uint8_t* rows[2] = {a.data(), b.data()};
    static_assert(kBytes <= 2 * kVectorBytes, "rows must be readable to a whole vector");
    VerticalJob job;
    job.weights = axis->weights.data();
    job.rows = rows;
    job.count = 2;
    job.bytes = kBytes;
    job.window = axis->windows[0];
    for (const ResamplePath path : VectorPaths()) {
        std::vector<std::uint8_t> out(kBytes + 1, 0xAB);
        job.out = out.data();
        KernelsOf(path)->vertical(job);
        for (int i = 0; i < kBytes; ++i) {
            const std::int32_t sum = -300 * a[static_cast<std::size_t>(i)] + 100 * b[static_cast<std::size_t>(i)];
            ASSERT_EQ(out[static_cast<std::size_t>(i)], ClampByte(sum / -200)) << Name(path) << " byte " << i;
        }
        EXPECT_EQ(out[kBytes], 0xAB) << Name(path) << " wrote past the row";
    }
}

TEST(AlignToPairs, KeepsEveryWeightOnItsPixel)
{
    // Windows of both parities of first pixel and length, reflected at both ends.
    for (const auto& [n, m] : {std::pair{9, 14}, std::pair{40, 13}, std::pair{300, 31}, std::pair{1, 3}}) {
        const std::optional<PackedAxis> packed = PackAxis(BuildContributors(n, m, AxisScale(n, m)), n, 1);
        ASSERT_TRUE(packed);
        const PackedAxis aligned = AlignToPairs(*packed);
        for (std::size_t x = 0; x < packed->windows.size(); ++x) {
            const PackedWindow& before = packed->windows[x];
            const PackedWindow& after = aligned.windows[x];
            EXPECT_EQ(after.first % 2, 0) << n << " -> " << m << ", pixel " << x;
            EXPECT_EQ(after.length % 4, 0) << n << " -> " << m << ", pixel " << x;
            EXPECT_EQ(after.divisor, before.divisor);
            for (std::int32_t p = after.first; p < after.first + after.length; ++p) {
                const std::int32_t i = p - before.first;
                const std::int16_t expected
                    = i >= 0 && i < before.length ? packed->weights[static_cast<std::size_t>(before.offset + i)] : 0;
                EXPECT_EQ(aligned.weights[static_cast<std::size_t>(after.offset + p - after.first)], expected)
                    << n << " -> " << m << ", pixel " << x << ", source " << p;
            }
        }
    }
}

TEST(InterleaveRows, EachPairOfPixelsOfEveryRowInOneLane)
{
    std::mt19937 random(17);
    for (const ResamplePath path : VectorPaths()) {
    const VectorKernels& kernels = *KernelsOf(path);
    // Whole groups of 16 pixels, a tail, both; rows exactly as long as their pixels.
    for (const std::int32_t count : {1, 2, 15, 16, 17, 32, 45}) {
        std::vector<std::vector<std::uint8_t>> bgr(kHorizontalRows);
        const std::uint8_t* rows[kHorizontalRows];
        for (int r = 0; r < kHorizontalRows; ++r) {
            bgr[static_cast<std::size_t>(r)].resize(static_cast<std::size_t>(3 * count));
            for (std::uint8_t& byte : bgr[static_cast<std::size_t>(r)]) {
                byte = static_cast<std::uint8_t>(random());
            }
            rows[r] = bgr[static_cast<std::size_t>(r)].data();
        }
        std::vector<Columns> columns(static_cast<std::size_t>(count / 16 + 1));
        kernels.interleaveRows(rows, count, columns.front().values);
        const std::int16_t* values = columns.front().values;
        for (std::int32_t x = 0; x < count; ++x) {
            for (int r = 0; r < kHorizontalRows; ++r) {
                for (int c = 0; c < 3; ++c) {
                    ASSERT_EQ(values[ColumnIndex(x, r, c, kernels.rowsPerVector)], rows[r][3 * x + c])
                        << Name(path) << ", " << count << " pixels: pixel " << x << ", row " << r << ", channel "
                        << c;
                }
            }
        }
    }
    }
}

TEST(InterleaveRows, EightRowsAVectorIsTheLayoutOfOneVectorPerChannel)
{
    // Rows in one vector: the whole group, blue, green, red, each row a pair.
    for (int r = 0; r < kHorizontalRows; ++r) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(ColumnIndex(5, r, c, 8), kColumnValues * 2 + 2 * kHorizontalRows * c + 2 * r + 1);
            EXPECT_EQ(ColumnIndex(4, r, c, 4), kColumnValues * 2 + 3 * 8 * (r / 4) + 8 * c + 2 * (r % 4));
        }
    }
}

TEST(HorizontalKernels, EveryKernelGivesTheReferencePixels)
{
    std::mt19937 random(16);
    // Odd and even target counts, windows short and long, reflected at both ends.
    const struct {
        int n, m;
    } axes[] = {{1, 1}, {1, 6}, {5, 1}, {9, 14}, {40, 39}, {41, 20}, {100, 7}, {63, 64}, {300, 31}};
    for (const auto& a : axes) {
        const ContributionList list = BuildContributors(a.n, a.m, AxisScale(a.n, a.m));
        // Random rows of 0..255, as rows of pixels, and as the reference's buffers.
        const std::int64_t planeLength = a.n + 400;
        std::vector<ChannelBuffers> lines(kHorizontalRows);
        std::vector<std::vector<std::uint8_t>> bgr(kHorizontalRows, std::vector<std::uint8_t>(3 * static_cast<std::size_t>(a.n)));
        for (int r = 0; r < kHorizontalRows; ++r) {
            lines[static_cast<std::size_t>(r)].Resize(static_cast<std::size_t>(a.n));
            for (int x = 0; x < a.n; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const auto v = static_cast<std::int16_t>(random() & 0xFF);
                    bgr[static_cast<std::size_t>(r)][static_cast<std::size_t>(3 * x + c)] = static_cast<std::uint8_t>(v);
                    auto& line = lines[static_cast<std::size_t>(r)];
                    (c == 0 ? line.blue : c == 1 ? line.green : line.red)[static_cast<std::size_t>(x)] = v;
                }
            }
        }
        for (const ResamplePath path : VectorPaths()) {
            const VectorKernels& kernels = *KernelsOf(path);
            std::optional<PackedAxis> axis = PackAxis(list, a.n, 1);
            ASSERT_TRUE(axis);
            axis = AlignToPairs(*axis);
            // All targets at once, or in two parts (split at an even target), each with columns
            // that start at the part's first source pixel.
            for (const bool split : {false, true}) for (const int rows : {kHorizontalRows, 3}) {
                HorizontalJob job;
                job.axis = &*axis;
                job.rows = rows;
                const std::size_t rowBytes = static_cast<std::size_t>(3 * a.m + kSpareBytes);
                std::vector<std::uint8_t> out(rowBytes * kHorizontalRows, 0xAB);
                for (int r = 0; r < kHorizontalRows; ++r) {
                    job.out[r] = out.data() + static_cast<std::size_t>(r) * rowBytes;
                }
                const std::int32_t middle = split ? a.m / 4 * 2 : 0;
                for (const auto& [begin, end] : {std::pair{0, middle}, std::pair{middle, a.m}}) {
                    job.firstTarget = begin;
                    job.endTarget = end;
                    job.origin = a.n;
                    for (std::int32_t x = begin; x < end; ++x) {
                        job.origin = std::min(job.origin, axis->windows[static_cast<std::size_t>(x)].first);
                    }
                    // Whole groups of 8 columns, past the rows' ends too, written over older ones.
                    std::vector<Columns> columns(static_cast<std::size_t>(planeLength / 16 + 1));
                    job.columns = columns.front().values;
                    const std::uint8_t* sources[kHorizontalRows];
                    for (int r = 0; r < kHorizontalRows; ++r) {
                        sources[r] = bgr[static_cast<std::size_t>(r)].data() + 3 * job.origin;
                    }
                    kernels.interleaveRows(sources, a.n - job.origin, columns.front().values);
                    kernels.horizontal(job);
                }
                for (int r = 0; r < kHorizontalRows; ++r) {
                    for (int x = 0; x < a.m; ++x) {
                        std::uint8_t expected[3] = {0xAB, 0xAB, 0xAB};
                        if (r < rows) {
                            WeightedPixel(list[static_cast<std::size_t>(x)], lines[static_cast<std::size_t>(r)], expected);
                        }
                        for (int c = 0; c < 3; ++c) {
                            ASSERT_EQ(job.out[r][3 * x + c], expected[c])
                                << Name(path) << (split ? " in parts" : "") << ", " << a.n << " -> " << a.m
                                << ", row " << r << " of " << rows
                                << ", pixel " << x << ", channel " << c;
                        }
                    }
                }
            }
        }
    }
}

TEST(ResampleVectorised, RandomSizesBothWays)
{
    std::mt19937 random(8);
    for (int i = 0; i < 40; ++i) {
        const int sw = 1 + static_cast<int>(random() % 70);
        const int sh = 1 + static_cast<int>(random() % 40);
        const int w = 1 + static_cast<int>(random() % 90);
        const int h = 1 + static_cast<int>(random() % 50);
        ExpectSameAsReference(NoisePicture(sw, sh, random()), w, h, std::to_string(sw) + "x" + std::to_string(sh));
    }
}

TEST(ResampleVectorised, EdgeSizes)
{
    const struct {
        int sw, sh, w, h;
    } cases[] = {
        {1, 1, 1, 1},     {1, 1, 7, 5},     {1, 9, 3, 1},      {9, 1, 1, 4},     {2, 2, 33, 1},
        {3, 1, 3, 1},     {1, 2, 1, 70},    {5, 3, 3, 2},      {600, 7, 2, 3},   {2049, 3, 5, 2},
        {1201, 4, 5, 1},  {5000, 2, 3, 2},  {4, 700, 3, 9},    {17, 3, 16, 3},   {33, 5, 32, 6},
        // Tall sources: only a ring of intermediate rows is kept, and it wraps many times.
        {5, 300, 4, 290}, {3, 100, 2, 250}, {7, 257, 3, 31},   {2, 999, 5, 1},   {9, 64, 9, 17},
    };
    for (const auto& c : cases) {
        ExpectSameAsReference(NoisePicture(c.sw, c.sh, 9), c.w, c.h, std::to_string(c.sw) + "x" + std::to_string(c.sh));
    }
}

TEST(ResampleVectorised, PhotoLikePicture)
{
    const Raster photo = PhotoLikePicture(320, 240, 10);
    ExpectSameAsReference(photo, 97, 61, "photo");
    ExpectSameAsReference(photo, 500, 333, "photo");
    ExpectSameAsReference(photo, 64, 400, "photo");
}

}  // namespace picbatch
