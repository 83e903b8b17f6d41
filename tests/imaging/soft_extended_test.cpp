// SoftExtended against x87's long double, operation by operation, where the processor has
// one; worked values everywhere.
#include "imaging/soft_extended.h"

#include <gtest/gtest.h>

#include "imaging/extended.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

namespace picbatch {

namespace {

SoftExtended Parts(std::uint64_t significand, int exponent, bool negative = false)
{
    return SoftExtended::FromParts(negative, significand, exponent);
}

#if PICBATCH_X87_EXTENDED
long double Native(SoftExtended v)
{
    const long double magnitude = std::ldexp(static_cast<long double>(v.Significand()), v.Exponent());
    return v.Negative() ? -magnitude : magnitude;
}

// Operands that meet every rounding case: random significands, and ones just above and below
// powers of two and half-way points, at exponents from equal to far apart.
std::vector<SoftExtended> Operands()
{
    std::mt19937_64 random(21);
    std::vector<SoftExtended> operands;
    const std::uint64_t top = std::uint64_t{1} << 63;
    for (const std::uint64_t significand :
         {top, top + 1, ~std::uint64_t{0}, ~std::uint64_t{0} - 1, top | (top >> 1), top | 1 | (top >> 1), top + 3,
          0xC90FDAA22168C235, 0xAAAAAAAAAAAAAAAB}) {
        for (const int exponent : {-63, -62, -64, -1, -127, -128, -200, 0, 2}) {
            operands.push_back(Parts(significand, exponent));
            operands.push_back(Parts(significand, exponent, true));
        }
    }
    std::uniform_int_distribution<int> exponents(-80, -40);
    for (int i = 0; i < 300; ++i) {
        operands.push_back(Parts(random() | top, exponents(random), (random() & 1) != 0));
        // A short significand, as floats and small integers have.
        operands.push_back(Parts((random() | top) & ~((std::uint64_t{1} << 40) - 1), exponents(random)));
    }
    operands.push_back(SoftExtended());
    return operands;
}
#endif

}  // namespace

TEST(SoftExtended, WorkedValues)
{
    // 1/3 rounds up in its last place, 2/3 too; 1 - 2^-64 is the largest value below 1.
    const SoftExtended third = SoftExtended(1) / SoftExtended(3);
    EXPECT_EQ(third.Significand(), 0xAAAAAAAAAAAAAAAB);
    EXPECT_EQ(third.Exponent(), -65);
    EXPECT_EQ((SoftExtended(2) / SoftExtended(3)).Significand(), 0xAAAAAAAAAAAAAAAB);
    const SoftExtended belowOne = Parts(~std::uint64_t{0}, -64);
    EXPECT_LT(belowOne, SoftExtended(1));
    // Ties to even: 2^64 + 1 and 2^64 + 3 lie half-way between neighbours.
    const SoftExtended big = Parts(std::uint64_t{1} << 63, 1);
    EXPECT_EQ(big + SoftExtended(1), big);
    EXPECT_EQ((big + SoftExtended(3)).Significand(), (std::uint64_t{1} << 63) + 2);
    // A difference that cancels the leading bits is exact.
    EXPECT_EQ(Parts(0xC90FDAA22168C235, -62) - SoftExtended(3.0), Parts(0x90FDAA22168C235, -62));
    EXPECT_EQ(SoftExtended(5) - SoftExtended(5), SoftExtended());
    EXPECT_EQ(static_cast<float>(SoftExtended(1) / SoftExtended(3)), 1.0f / 3.0f);
    EXPECT_EQ(static_cast<std::int64_t>(SoftExtended(std::numeric_limits<std::int64_t>::min())),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(static_cast<std::int64_t>(SoftExtended(-7.75)), -7);
    EXPECT_EQ(static_cast<std::int64_t>(Floor(SoftExtended(-7.25))), -8);
    EXPECT_EQ(static_cast<std::int64_t>(Ceil(SoftExtended(-7.25))), -7);
    EXPECT_EQ(static_cast<std::int64_t>(Ceil(SoftExtended(0.001))), 1);
    EXPECT_THROW((void)(SoftExtended(1) / SoftExtended()), std::domain_error);
    EXPECT_THROW((void)SoftExtended(std::numeric_limits<double>::infinity()), std::domain_error);
    EXPECT_THROW((void)static_cast<std::int64_t>(SoftExtended(0x1p63)), std::domain_error);
}

TEST(SoftExtended, FloatsRoundTripAndRoundAsTheHardwareDoes)
{
    // The smallest subnormal and the largest float, half of the smallest (a tie, to 0), and a
    // value rounding up into the normal range.
    for (const float f : {std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::max(), 0x1p-126f,
                          -1.5f, 3.0f, 0x1.fffffep-127f}) {
        EXPECT_EQ(static_cast<float>(SoftExtended(f)), f) << f;
    }
    EXPECT_EQ(static_cast<float>(SoftExtended(0x1p-150)), 0.0f);
    EXPECT_EQ(static_cast<float>(SoftExtended(0x1.8p-150)), 0x1p-149f);
    EXPECT_EQ(static_cast<float>(SoftExtended(0x1.fffffffp-127)), 0x1p-126f);
    EXPECT_EQ(static_cast<float>(SoftExtended(0x1.ffffffp127)), std::numeric_limits<float>::infinity());
    EXPECT_EQ(static_cast<float>(SoftExtended(0x1.fffffefp127)), std::numeric_limits<float>::max());
}

#if PICBATCH_X87_EXTENDED
TEST(SoftExtended, EveryOperationRoundsAsX87Does)
{
    const std::vector<SoftExtended> operands = Operands();
    for (const SoftExtended& a : operands) {
        const long double x = Native(a);
        ASSERT_EQ(static_cast<float>(a), static_cast<float>(x)) << x;
        ASSERT_EQ(Native(Floor(a)), std::floor(x)) << x;
        ASSERT_EQ(Native(Ceil(a)), std::ceil(x)) << x;
        if (std::fabs(x) < 0x1p63L) {
            ASSERT_EQ(static_cast<std::int64_t>(a), static_cast<std::int64_t>(x)) << x;
        }
        for (const SoftExtended& b : operands) {
            const long double y = Native(b);
            ASSERT_EQ(Native(a + b), x + y) << x << " + " << y;
            ASSERT_EQ(Native(a - b), x - y) << x << " - " << y;
            ASSERT_EQ(Native(a * b), x * y) << x << " * " << y;
            if (y != 0.0L) {
                ASSERT_EQ(Native(a / b), x / y) << x << " / " << y;
            }
            ASSERT_EQ(a < b, x < y) << x << " < " << y;
            ASSERT_EQ(a == b, x == y) << x << " == " << y;
        }
    }
}

TEST(SoftExtended, ConversionsAreExact)
{
    std::mt19937_64 random(3);
    for (int i = 0; i < 10000; ++i) {
        const auto bits = random();
        const auto integer = static_cast<std::int64_t>(bits) >> (bits % 64);
        ASSERT_EQ(Native(SoftExtended(integer)), static_cast<long double>(integer)) << integer;
        const double d = std::ldexp(static_cast<double>(bits >> 11) - 0x1p52, static_cast<int>(bits % 2000) - 1100);
        ASSERT_EQ(Native(SoftExtended(d)), static_cast<long double>(d)) << d;
    }
}
#endif

}  // namespace picbatch
