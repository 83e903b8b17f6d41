// The vectorised resampler against the reference: packed weights, the exact division, and
// byte-for-byte equal pictures on every path this processor runs.
#include "imaging/resample_vector.h"

#include <gtest/gtest.h>

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
    std::vector<ResamplePath> paths = {ResamplePath::Sse2};
    if (ResamplePathAvailable(ResamplePath::Avx2)) {
        paths.push_back(ResamplePath::Avx2);
    }
    return paths;
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

// Eight columns of the layout the AVX2 kernels read, 32-byte aligned as they need.
struct alignas(32) Columns {
    std::int16_t values[8 * kColumnValues];
};

const char* Name(ResamplePath path)
{
    return path == ResamplePath::Avx2 ? "avx2" : "sse2";
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
    constexpr int kBytes = 77;  // two whole vectors and a tail
    std::vector<std::uint8_t> a(96);
    std::vector<std::uint8_t> b(96);
    std::mt19937 random(7);
    for (int i = 0; i < kBytes; ++i) {
        a[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(random());
        b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(random());
    }
    const std::uint8_t* rows[2] = {a.data(), b.data()};
    VerticalJob job;
    job.weights = axis->weights.data();
    job.rows = rows;
    job.count = 2;
    job.bytes = kBytes;
    job.window = axis->windows[0];
    for (const ResamplePath path : VectorPaths()) {
        std::vector<std::uint8_t> out(kBytes + 1, 0xAB);
        job.out = out.data();
        (path == ResamplePath::Avx2 ? VerticalAvx2 : VerticalSse2)(job);
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
    if (!ResamplePathAvailable(ResamplePath::Avx2)) {
        GTEST_SKIP() << "no AVX2";
    }
    std::mt19937 random(17);
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
        InterleaveRowsAvx2(rows, count, columns.front().values);
        const std::int16_t* values = columns.front().values;
        for (std::int32_t x = 0; x < count; ++x) {
            for (int r = 0; r < kHorizontalRows; ++r) {
                for (int c = 0; c < 3; ++c) {
                    ASSERT_EQ(values[kColumnValues * (x / 2) + 2 * kHorizontalRows * c + 2 * r + x % 2],
                              rows[r][3 * x + c])
                        << count << " pixels: pixel " << x << ", row " << r << ", channel " << c;
                }
            }
        }
    }
}

TEST(HorizontalKernels, EveryKernelGivesTheReferencePixels)
{
    struct Kernel {
        const char* name;
        void (*filter)(const HorizontalJob&);
        std::int32_t multiple;
        bool avx2;  // reads columns split by InterleaveRowsAvx2, not planes
    };
    const Kernel kernels[] = {
        {"sse2", HorizontalSse2, 8, false},
        {"avx2", HorizontalColumnsAvx2, 1, true},
    };
    const bool avx2 = ResamplePathAvailable(ResamplePath::Avx2);
    std::mt19937 random(16);
    // Odd and even target counts, windows short and long, reflected at both ends.
    const struct {
        int n, m;
    } axes[] = {{1, 1}, {1, 6}, {5, 1}, {9, 14}, {40, 39}, {41, 20}, {100, 7}, {63, 64}, {300, 31}};
    for (const auto& a : axes) {
        const ContributionList list = BuildContributors(a.n, a.m, AxisScale(a.n, a.m));
        // Random rows of 0..255, as planes padded generously, and as the reference's buffers.
        const std::int64_t planeLength = a.n + 400;
        std::vector<std::int16_t> planes(static_cast<std::size_t>(planeLength * kHorizontalRows * 3));
        std::vector<ChannelBuffers> lines(kHorizontalRows);
        std::vector<std::vector<std::uint8_t>> bgr(kHorizontalRows, std::vector<std::uint8_t>(3 * static_cast<std::size_t>(a.n)));
        for (int r = 0; r < kHorizontalRows; ++r) {
            lines[static_cast<std::size_t>(r)].Resize(static_cast<std::size_t>(a.n));
            for (int x = 0; x < a.n; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const auto v = static_cast<std::int16_t>(random() & 0xFF);
                    planes[static_cast<std::size_t>((r * 3 + c) * planeLength + x)] = v;
                    bgr[static_cast<std::size_t>(r)][static_cast<std::size_t>(3 * x + c)] = static_cast<std::uint8_t>(v);
                    auto& line = lines[static_cast<std::size_t>(r)];
                    (c == 0 ? line.blue : c == 1 ? line.green : line.red)[static_cast<std::size_t>(x)] = v;
                }
            }
        }
        for (const Kernel& kernel : kernels) {
            if (kernel.avx2 && !avx2) {
                continue;
            }
            std::optional<PackedAxis> axis = PackAxis(list, a.n, kernel.multiple);
            ASSERT_TRUE(axis);
            if (kernel.avx2) {
                axis = AlignToPairs(*axis);
            }
            // All targets at once, or in two parts (split at an even target), each with planes
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
                    if (kernel.avx2) {
                        const std::uint8_t* sources[kHorizontalRows];
                        for (int r = 0; r < kHorizontalRows; ++r) {
                            sources[r] = bgr[static_cast<std::size_t>(r)].data() + 3 * job.origin;
                        }
                        InterleaveRowsAvx2(sources, a.n - job.origin, columns.front().values);
                    }
                    for (int r = 0; r < kHorizontalRows; ++r) {
                        for (int c = 0; c < 3; ++c) {
                            job.planes[r][c] = planes.data() + (r * 3 + c) * planeLength + job.origin;
                        }
                    }
                    kernel.filter(job);
                }
                for (int r = 0; r < kHorizontalRows; ++r) {
                    for (int x = 0; x < a.m; ++x) {
                        std::uint8_t expected[3] = {0xAB, 0xAB, 0xAB};
                        if (r < rows) {
                            WeightedPixel(list[static_cast<std::size_t>(x)], lines[static_cast<std::size_t>(r)], expected);
                        }
                        for (int c = 0; c < 3; ++c) {
                            ASSERT_EQ(job.out[r][3 * x + c], expected[c])
                                << kernel.name << (split ? " in parts" : "") << ", " << a.n << " -> " << a.m
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
