// The kernel and the weight lists: the fast evaluation, on every Highway target compiled in
// that this processor runs, against the extended-precision definition, bit for bit, and the
// lists against a plain rebuild from that definition.
#include "imaging/lanczos_kernel.h"

#include <gtest/gtest.h>

#include "imaging/extended.h"
#include "imaging/lanczos_contributors.h"
#include "imaging/lanczos_shortcut.h"
#include "imaging/resample_path.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <utility>
#include <vector>

namespace picbatch {

namespace {

std::uint32_t Bits(float f)
{
    return std::bit_cast<std::uint32_t>(f);
}

// Every step-th float from 0 up to a little past 3, and special arguments, with both signs.
std::vector<float> Arguments(std::uint32_t step)
{
    std::vector<float> arguments = {0.0f, std::numeric_limits<float>::denorm_min(), 0x1p-126f, 0x1p-101f,
                                    0x1p-100f, 0x1.000002p-100f, 1.0f, 2.0f, std::nextafter(3.0f, 0.0f),
                                    3.0f, std::nextafter(3.0f, 4.0f), 1e30f, std::numeric_limits<float>::infinity()};
    // Arguments whose double-precision quotient lies so near a float rounding boundary that,
    // taken as it is, it would round the other way (found by checking every float).
    for (const float x : {0x1.1a47bap-13f, 0x1.e8ec82p-13f, 0x1.3b995cp-12f, 0x1.a76baap-12f, 0x1.6eb16ap-11f,
                          0x1.88eafp-11f}) {
        arguments.push_back(x);
    }
    for (std::uint32_t bits = 0; bits < Bits(3.0f) + 64; bits += step) {
        arguments.push_back(std::bit_cast<float>(bits));
    }
    const std::size_t count = arguments.size();
    for (std::size_t i = 0; i < count; ++i) {
        arguments.push_back(-arguments[i]);
    }
    return arguments;
}

// The shortcuts of every target compiled in that this processor runs.
std::vector<std::pair<ResamplePath, const KernelShortcut*>> Shortcuts()
{
    std::vector<std::pair<ResamplePath, const KernelShortcut*>> shortcuts;
    for (const ResamplePath path : VectorResamplePaths()) {
        if (const KernelShortcut* shortcut = ShortcutOf(path)) {
            shortcuts.emplace_back(path, shortcut);
        }
    }
    return shortcuts;
}

}  // namespace

TEST(LanczosKernel, EveryTargetWithDoublePrecisionVectorsHasTheShortcut)
{
    EXPECT_EQ(ShortcutOf(ResamplePath::Reference), nullptr);
    EXPECT_EQ(FastestShortcut(), ShortcutOf(FastestResamplePath()));
#if defined(__x86_64__) || defined(__aarch64__)
    // Every target there has vectors of doubles.
    EXPECT_EQ(Shortcuts().size(), VectorResamplePaths().size());
#endif
}

TEST(LanczosKernel, WorkedValues)
{
    EXPECT_EQ(LanczosKernel(0.0f), 1.0f);
    EXPECT_FLOAT_EQ(LanczosKernel(0.5f), 0.60792708f);
    EXPECT_FLOAT_EQ(LanczosKernel(-0.5f), 0.60792708f);
    EXPECT_FLOAT_EQ(LanczosKernel(1.5f), -0.13509491f);
    EXPECT_FLOAT_EQ(LanczosKernel(2.5f), 0.024317086f);
    EXPECT_EQ(LanczosKernel(3.0f), 0.0f);
    // pi rounded to float keeps whole arguments off the zeros of the sine.
    EXPECT_NEAR(LanczosKernel(1.0f), -2.3e-8f, 0.1e-8f);
    EXPECT_NEAR(LanczosKernel(2.0f), 1.2e-8f, 0.1e-8f);
    EXPECT_NEAR(NormalizedSinc(1.0f), -2.78e-8f, 0.01e-8f);
}

// A sample of about a million arguments, among them thousands whose double-precision
// quotient lies too near a float rounding boundary to be sure; a one-off check of every
// float in [0, 3] found no difference either.
TEST(LanczosKernel, FastEvaluationMatchesTheExtendedPrecisionDefinition)
{
    const std::vector<float> arguments = Arguments(2039);
    std::vector<float> values(arguments.size());
    LanczosKernels(arguments, values);
    // Three at a time: fewer than a vector holds, so that the rest of a batch is tried too.
    std::vector<float> inThrees(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(3, arguments.size() - i);
        LanczosKernels(std::span(arguments).subspan(i, count), std::span(inThrees).subspan(i, count));
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const float x = arguments[i];
        const std::uint32_t expected = Bits(ExtendedLanczosKernel(x));
        ASSERT_EQ(Bits(LanczosKernel(x)), expected) << x;
        ASSERT_EQ(Bits(values[i]), expected) << "many at once, " << x;
        ASSERT_EQ(Bits(inThrees[i]), expected) << "three at once, " << x;
        ASSERT_EQ(Bits(NormalizedSinc(x)), Bits(ExtendedNormalizedSinc(x))) << x;
    }
}

// The definition in software gives the native one's floats: on x86 the x87 sine's against
// SoftSine's, and every rounding of the soft arithmetic.
TEST(LanczosKernel, SoftExtendedDefinitionMatchesTheNativeOne)
{
    if (!PICBATCH_X87_EXTENDED) {
        GTEST_SKIP() << "the native definition is the software one here";
    }
    for (const float x : Arguments(2039)) {
        ASSERT_EQ(Bits(SoftExtendedLanczosKernel(x)), Bits(ExtendedLanczosKernel(x))) << x;
        if (std::fabs(x) < 3.0f) {
            ASSERT_EQ(Bits(SoftExtendedNormalizedSinc(x)), Bits(ExtendedNormalizedSinc(x))) << x;
        }
    }
}

// The same on every target, not only the one the dispatch picks.
TEST(LanczosKernel, EveryTargetMatchesTheExtendedPrecisionDefinition)
{
    const std::vector<float> arguments = Arguments(2039);
    for (const auto& [path, shortcut] : Shortcuts()) {
        std::vector<float> values(arguments.size());
        std::vector<float> sincs(arguments.size());
        shortcut->lanczosKernels(arguments.data(), values.data(), arguments.size());
        shortcut->normalizedSincs(arguments.data(), sincs.data(), arguments.size());
        std::vector<float> inThrees(arguments.size());
        std::vector<float> sincsInThrees(arguments.size());
        for (std::size_t i = 0; i < arguments.size(); i += 3) {
            const std::size_t count = std::min<std::size_t>(3, arguments.size() - i);
            shortcut->lanczosKernels(arguments.data() + i, inThrees.data() + i, count);
            shortcut->normalizedSincs(arguments.data() + i, sincsInThrees.data() + i, count);
        }
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            const float x = arguments[i];
            const std::uint32_t expected = Bits(ExtendedLanczosKernel(x));
            const std::uint32_t sinc = Bits(ExtendedNormalizedSinc(x));
            ASSERT_EQ(Bits(values[i]), expected) << ResamplePathName(path) << ", many at once, " << x;
            ASSERT_EQ(Bits(inThrees[i]), expected) << ResamplePathName(path) << ", three at once, " << x;
            ASSERT_EQ(Bits(sincs[i]), sinc) << ResamplePathName(path) << ", sincs, " << x;
            ASSERT_EQ(Bits(sincsInThrees[i]), sinc) << ResamplePathName(path) << ", sincs three at once, " << x;
        }
    }
}

// The one-off check imaging/numerics.md cites ("The sine in software"): every float in
// [0, 3], about 2^30 of them, a few minutes. Run with --gtest_also_run_disabled_tests.
TEST(LanczosKernel, DISABLED_SoftExtendedDefinitionMatchesForEveryFloat)
{
    if (!PICBATCH_X87_EXTENDED) {
        GTEST_SKIP() << "the native definition is the software one here";
    }
    std::uint64_t differences = 0;
    for (std::uint32_t bits = 0; bits <= Bits(3.0f); ++bits) {
        const float x = std::bit_cast<float>(bits);
        if (Bits(SoftExtendedNormalizedSinc(x)) != Bits(ExtendedNormalizedSinc(x))) {
            ++differences;
            ADD_FAILURE() << std::hexfloat << x;
        }
    }
    EXPECT_EQ(differences, 0U);
}

TEST(LanczosKernel, ManyAtOnceHandlesEveryCountAndOddArguments)
{
    // Windows of every length up to 9, where vectors mix ordinary arguments with those the
    // shortcut leaves alone (0, tiny, 3 and beyond, not a number).
    const std::vector<float> odd = {0.25f, 0.0f, -1.75f, 0x1p-120f, 3.0f, 2.999f, -7.5f,
                                    std::numeric_limits<float>::quiet_NaN(), 0.5f};
    for (std::size_t count = 0; count <= odd.size(); ++count) {
        for (std::size_t start = 0; start + count <= odd.size(); ++start) {
            const std::span<const float> arguments(odd.data() + start, count);
            std::vector<float> values(count, 123.0f);
            LanczosKernels(arguments, values);
            for (std::size_t i = 0; i < count; ++i) {
                EXPECT_EQ(Bits(values[i]), Bits(ExtendedLanczosKernel(arguments[i])))
                    << arguments[i] << " at " << i << " of " << count;
            }
            for (const auto& [path, shortcut] : Shortcuts()) {
                // One past the arguments' values must stay as it is.
                std::vector<float> ofPath(count + 1, 123.0f);
                shortcut->lanczosKernels(arguments.data(), ofPath.data(), count);
                for (std::size_t i = 0; i < count; ++i) {
                    EXPECT_EQ(Bits(ofPath[i]), Bits(ExtendedLanczosKernel(arguments[i])))
                        << ResamplePathName(path) << ", " << arguments[i] << " at " << i << " of " << count;
                }
                EXPECT_EQ(ofPath[count], 123.0f) << ResamplePathName(path) << ", " << count;
            }
        }
    }
}

// The lists rebuilt plainly from the definition: every argument in extended precision, one
// kernel value at a time; the weight's product is exact in double.
TEST(BuildContributors, MatchesAPlainRebuildForManySizes)
{
    const std::int32_t sizes[] = {1, 2, 3, 5, 8, 13, 100, 257, 778, 1050, 1200, 3391};
    for (const std::int32_t n : sizes) {
        for (const std::int32_t m : sizes) {
            const float scale = AxisScale(n, m);
            const ContributionList list = BuildContributors(n, m, scale);
            ASSERT_EQ(list.size(), static_cast<std::size_t>(m));
            const float factor = scale >= 1.0f ? 1.0f : scale;
            const float halfWidth
                = scale >= 1.0f ? 3.0f : static_cast<float>(static_cast<Extended>(3) / static_cast<Extended>(scale));
            for (std::int32_t i = 0; i < m; ++i) {
                const auto centre = static_cast<float>(static_cast<Extended>(i) / static_cast<Extended>(scale));
                const auto exactCentre = static_cast<Extended>(centre);
                std::vector<Contribution> expected;
                for (auto j = static_cast<std::int64_t>(Floor(exactCentre - static_cast<Extended>(halfWidth)));
                     j <= static_cast<std::int64_t>(Ceil(exactCentre + static_cast<Extended>(halfWidth))); ++j) {
                    const auto argument = static_cast<float>((exactCentre - static_cast<Extended>(j))
                                                             * static_cast<Extended>(factor));
                    const auto w = std::llrint(static_cast<double>(ExtendedLanczosKernel(argument))
                                               * static_cast<double>(factor) * 256.0);
                    if (w != 0) {
                        expected.push_back({static_cast<std::int32_t>(w), Reflect(j, n)});
                    }
                }
                if (expected.empty()) {
                    expected.push_back({256, Reflect(std::llrint(centre), n)});
                }
                const PixelContributions& entry = list[static_cast<std::size_t>(i)];
                const std::vector<Contribution> built(entry.contributors.begin(),
                                                       entry.contributors.begin() + entry.count);
                ASSERT_EQ(built, expected) << n << " -> " << m << ", target " << i;
            }
        }
    }
}

}  // namespace picbatch
