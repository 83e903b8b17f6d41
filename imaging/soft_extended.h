// An extended-precision number computed in software: x87's format (a 64-bit significand), for
// processors whose long double is another one. Each operation rounds once, to nearest, ties
// to even, as the x87 unit does; see imaging/numerics.md, "The software extended type".
#pragma once

#include <bit>
#include <concepts>
#include <cstdint>

namespace picbatch {

// Finite values only, without a negative zero: the kernel's definition meets no infinity or
// NaN here (it handles them before), and the exponent stays far inside an int. Converting an
// infinity or a NaN, dividing by 0 or truncating a value beyond 64 bits throws
// std::domain_error.
class SoftExtended {
public:
    constexpr SoftExtended() = default;
    explicit SoftExtended(double value);
    explicit SoftExtended(float value) : SoftExtended(static_cast<double>(value)) {}
    template <std::integral Integer>
    explicit SoftExtended(Integer value) : SoftExtended(FromInteger(static_cast<std::int64_t>(value)))
    {
    }

    // (-1)^negative x significand x 2^exponent.
    static constexpr SoftExtended FromParts(bool negative, std::uint64_t significand, int exponent)
    {
        SoftExtended value;
        if (significand != 0) {
            const int shift = std::countl_zero(significand);
            value.m_negative = negative;
            value.m_significand = significand << shift;
            value.m_exponent = exponent - shift;
        }
        return value;
    }

    // Rounded to the nearest float (ties to even), subnormal floats included; beyond the
    // largest float, an infinity.
    explicit operator float() const;
    // Truncated toward zero; the value must fit.
    explicit operator std::int64_t() const;

    friend SoftExtended operator+(SoftExtended a, SoftExtended b);
    friend SoftExtended operator-(SoftExtended a, SoftExtended b);
    friend SoftExtended operator*(SoftExtended a, SoftExtended b);
    friend SoftExtended operator/(SoftExtended a, SoftExtended b);
    friend SoftExtended operator-(SoftExtended a) { return a.Negated(); }
    friend bool operator==(SoftExtended a, SoftExtended b);
    friend bool operator<(SoftExtended a, SoftExtended b);
    friend bool operator>(SoftExtended a, SoftExtended b) { return b < a; }
    friend bool operator<=(SoftExtended a, SoftExtended b) { return !(b < a); }
    friend bool operator>=(SoftExtended a, SoftExtended b) { return !(a < b); }
    friend SoftExtended Abs(SoftExtended a);
    // The whole numbers at or below and at or above a.
    friend SoftExtended Floor(SoftExtended a);
    friend SoftExtended Ceil(SoftExtended a);

    // The value is (-1)^Negative() x Significand() x 2^Exponent(); the significand has its top
    // bit set, or is 0 for zero.
    bool Negative() const { return m_negative; }
    std::uint64_t Significand() const { return m_significand; }
    int Exponent() const { return m_exponent; }

private:
    static SoftExtended FromInteger(std::int64_t value);
    SoftExtended Negated() const;
    bool IsZero() const { return m_significand == 0; }

    bool m_negative = false;
    std::uint64_t m_significand = 0;
    int m_exponent = 0;
};

}  // namespace picbatch
