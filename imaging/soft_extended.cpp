// SoftExtended's arithmetic: each result is worked out exactly, or with a sticky bit for what
// lies below 128 bits, and rounded once to a 64-bit significand.
#include "imaging/soft_extended.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace picbatch {

namespace {

using Wide = unsigned __int128;

int CountLeadingZeros(Wide value)
{
    const auto high = static_cast<std::uint64_t>(value >> 64);
    return high != 0 ? std::countl_zero(high) : 64 + std::countl_zero(static_cast<std::uint64_t>(value));
}

// Whether dropping the low `drop` bits of value (1 to 127) rounds up, to nearest with ties to
// even; sticky says that non-zero bits lie below value's last one.
bool RoundsUp(Wide value, int drop, bool sticky)
{
    const Wide rest = value & ((Wide{1} << drop) - 1);
    const Wide half = Wide{1} << (drop - 1);
    return rest > half || (rest == half && (sticky || ((value >> drop) & 1) != 0));
}

// (-1)^negative x (wide + a fraction below 1 when sticky) x 2^exponent, rounded to 64 bits. A
// sticky value has more than 64 bits, so that the fraction lies below the rounding bit.
SoftExtended Rounded(bool negative, Wide wide, int exponent, bool sticky)
{
    if (wide == 0) {
        return {};
    }
    const int width = 128 - CountLeadingZeros(wide);
    if (width <= 64) {
        return SoftExtended::FromParts(negative, static_cast<std::uint64_t>(wide), exponent);
    }
    const int drop = width - 64;
    auto significand = static_cast<std::uint64_t>(wide >> drop);
    exponent += drop;
    if (RoundsUp(wide, drop, sticky)) {
        ++significand;
        if (significand == 0) {  // carried out of the top: 2^64
            significand = std::uint64_t{1} << 63;
            ++exponent;
        }
    }
    return SoftExtended::FromParts(negative, significand, exponent);
}

}  // namespace

SoftExtended::SoftExtended(double value)
{
    // Read from the bit pattern: sign, 11 exponent bits and 52 fraction bits.
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto field = static_cast<int>((bits >> 52) & 0x7FF);
    if (field == 0x7FF) {
        throw std::domain_error("SoftExtended: not a finite number");
    }
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const bool negative = (bits >> 63) != 0;
    // A subnormal double (field 0) is its fraction times 2^-1074; FromParts normalises.
    *this = field == 0 ? FromParts(negative, fraction, -1074)
                       : FromParts(negative, fraction | (std::uint64_t{1} << 52), field - 1075);
}

SoftExtended SoftExtended::FromInteger(std::int64_t value)
{
    // The magnitude in unsigned arithmetic, which also holds that of INT64_MIN.
    const auto magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    return FromParts(value < 0, magnitude, 0);
}

SoftExtended::operator float() const
{
    if (IsZero()) {
        return 0.0f;
    }
    // The value lies in [2^top, 2^(top + 1)); a float keeps 24 bits of it, or down to 2^-149
    // where it is subnormal.
    const int top = m_exponent + 63;
    if (top > 127) {
        return m_negative ? -HUGE_VALF : HUGE_VALF;
    }
    const int last = std::max(top - 23, -149);
    const int drop = last - m_exponent;
    // Below a quarter of the smallest subnormal float, the value rounds to 0.
    if (drop > 65) {
        return m_negative ? -0.0f : 0.0f;
    }
    const Wide wide = m_significand;
    const auto kept = static_cast<std::uint32_t>((wide >> drop) + (RoundsUp(wide, drop, false) ? 1 : 0));
    // kept x 2^last, kept at most 2^24, as a bit pattern: the biased exponent is last + 150 for
    // kept in [2^23, 2^24), and adding kept - 2^23 gives ((last + 149) << 23) + kept. The same
    // sum is right for a subnormal (last = -149, exponent field 0), for a carry into the next
    // power of two, and for one into 2^128, whose pattern is the infinity.
    const auto bits = (static_cast<std::uint32_t>(last + 149) << 23) + kept;
    return std::bit_cast<float>(bits | (m_negative ? 0x80000000U : 0U));
}

SoftExtended::operator std::int64_t() const
{
    if (IsZero()) {
        return 0;
    }
    if (m_exponent > 0) {
        throw std::domain_error("SoftExtended: beyond a 64-bit integer");
    }
    const std::uint64_t magnitude = m_exponent <= -64 ? 0 : m_significand >> -m_exponent;
    if (magnitude > (m_negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1)) {
        throw std::domain_error("SoftExtended: beyond a 64-bit integer");
    }
    // Two's complement wrap-around of the magnitude gives the negative value, INT64_MIN too.
    return m_negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

SoftExtended SoftExtended::Negated() const
{
    SoftExtended negated = *this;
    negated.m_negative = !m_negative && !IsZero();
    return negated;
}

SoftExtended operator+(SoftExtended a, SoftExtended b)
{
    if (a.IsZero()) {
        return b;
    }
    if (b.IsZero()) {
        return a;
    }
    if (Abs(a) < Abs(b)) {
        std::swap(a, b);
    }
    // a's significand at bits 62..125, leaving room for a carry; b's below it by the
    // difference of the exponents, which its significand's top bit makes the order of
    // magnitude. Bits of b shifted out only set the sticky bit.
    const int shift = a.m_exponent - b.m_exponent;
    const Wide wideA = Wide{a.m_significand} << 62;
    const Wide fullB = Wide{b.m_significand} << 62;
    const Wide wideB = shift >= 126 ? 0 : fullB >> shift;
    const bool sticky = shift >= 126 || (wideB << shift) != fullB;
    const int exponent = a.m_exponent - 62;
    if (a.m_negative == b.m_negative) {
        return Rounded(a.m_negative, wideA + wideB, exponent, sticky);
    }
    // a - (wideB + f) with 0 < f < 1 is (a - wideB - 1) + (1 - f). Bits are lost only for a
    // shift of 63 or more, which leaves more than 64 bits.
    return Rounded(a.m_negative, wideA - wideB - (sticky ? 1 : 0), exponent, sticky);
}

SoftExtended operator-(SoftExtended a, SoftExtended b)
{
    return a + b.Negated();
}

SoftExtended operator*(SoftExtended a, SoftExtended b)
{
    return Rounded(a.m_negative != b.m_negative, Wide{a.m_significand} * b.m_significand,
                   a.m_exponent + b.m_exponent, false);
}

SoftExtended operator/(SoftExtended a, SoftExtended b)
{
    if (b.IsZero()) {
        throw std::domain_error("SoftExtended: division by zero");
    }
    // Both significands in [2^63, 2^64): the quotient of a's times 2^65 by b's has 65 or 66
    // bits, one more than the rounding bit, and the remainder gives the sticky bit. The last
    // bit comes from the remainder, as a's times 2^65 does not fit in 128 bits.
    const Wide numerator = Wide{a.m_significand} << 64;
    const Wide divisor = b.m_significand;
    const Wide first = numerator / divisor;
    const Wide remainder = (numerator - first * divisor) << 1;
    const bool next = remainder >= divisor;
    const Wide quotient = (first << 1) | (next ? 1 : 0);
    const bool sticky = remainder != (next ? divisor : 0);
    return Rounded(a.m_negative != b.m_negative, quotient, a.m_exponent - b.m_exponent - 65, sticky);
}

bool operator==(SoftExtended a, SoftExtended b)
{
    return a.m_negative == b.m_negative && a.m_significand == b.m_significand
           && (a.IsZero() || a.m_exponent == b.m_exponent);
}

bool operator<(SoftExtended a, SoftExtended b)
{
    if (a.m_negative != b.m_negative) {
        return a.m_negative;
    }
    // Zero is positive here and below every other magnitude; otherwise the top bits make the
    // exponent decide first.
    const auto magnitudeBelow = [](const SoftExtended& x, const SoftExtended& y) {
        if (x.IsZero() || y.IsZero()) {
            return x.IsZero() && !y.IsZero();
        }
        return x.m_exponent != y.m_exponent ? x.m_exponent < y.m_exponent : x.m_significand < y.m_significand;
    };
    return a.m_negative ? magnitudeBelow(b, a) : magnitudeBelow(a, b);
}

SoftExtended Abs(SoftExtended a)
{
    a.m_negative = false;
    return a;
}

SoftExtended Floor(SoftExtended a)
{
    if (a.m_exponent >= 0 || a.IsZero()) {
        return a;
    }
    if (a.m_exponent <= -64) {  // 0 < |a| < 1
        return a.m_negative ? SoftExtended(-1) : SoftExtended();
    }
    const std::uint64_t fraction = (std::uint64_t{1} << -a.m_exponent) - 1;
    if ((a.m_significand & fraction) == 0) {
        return a;
    }
    const SoftExtended truncated = SoftExtended::FromParts(a.m_negative, a.m_significand & ~fraction, a.m_exponent);
    return a.m_negative ? truncated - SoftExtended(1) : truncated;
}

SoftExtended Ceil(SoftExtended a)
{
    return -Floor(-a);
}

}  // namespace picbatch
