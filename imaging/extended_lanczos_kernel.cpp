// The Lanczos-3 kernel's definition. Every intermediate is an extended-precision number with
// a 64-bit significand (imaging/extended.h); the values named in the interface are rounded to
// float where they are computed, so the weights do not depend on how the compiler keeps
// temporaries. Written once for both forms of the number: x87's long double, with the x87
// sine, and SoftExtended, with SoftSine.
#include "imaging/lanczos_kernel.h"

#include "imaging/extended.h"
#include "imaging/lanczos_shortcut.h"
#include "imaging/soft_sine.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace picbatch {

namespace {

// The extended-precision value nearest to pi, significand C90FDAA22168C235.
template <typename Real>
Real Pi();

template <>
SoftExtended Pi<SoftExtended>()
{
    return SoftExtended::FromParts(false, 0xC90FDAA22168C235, -62);
}

// The sine of s in extended precision.
template <typename Real>
Real Sine(float s);

template <>
SoftExtended Sine<SoftExtended>(float s)
{
    return SoftSine(s);
}

#if PICBATCH_X87_EXTENDED
constexpr long double kPi = 3.14159265358979323851L;
static_assert(static_cast<long double>(kPiHigh) + kPiMiddle + kPiLast == kPi);

template <>
long double Pi<long double>()
{
    return kPi;
}

// The x87 instruction: its error for the arguments here (|s| < 3 pi) is far below what
// survives the rounding to float, and it is many times faster than the library's sinl,
// whose argument reduction dominated building the weight lists.
template <>
long double Sine<long double>(float s)
{
    long double result;
    asm("fsin" : "=t"(result) : "0"(static_cast<long double>(s)));
    return result;
}
#endif

// The float next to f (finite, not 0) toward +infinity or -infinity: one step of the
// magnitude in the bit pattern, without the library call.
float Neighbour(float f, bool up)
{
    const auto bits = std::bit_cast<std::uint32_t>(f);
    return std::bit_cast<float>((f > 0.0f) == up ? bits + 1 : bits - 1);
}

// sin(s) / s for a finite s != 0, the quotient in extended precision rounded to float. The
// library's double-precision sine, several times faster, decides where its quotient lies
// more than 2^-32 of itself from a float rounding boundary, the extended sine elsewhere:
// the same float either way (imaging/numerics.md, "The sine quotient").
template <typename Real>
float ExtendedQuotient(float s)
{
    const Real quick = static_cast<Real>(std::sin(static_cast<double>(s))) / static_cast<Real>(s);
    const float rounded = static_cast<float>(quick);
    if (rounded != 0.0f) {
        const Real half(0.5f);
        const Real above = (static_cast<Real>(rounded) + static_cast<Real>(Neighbour(rounded, true))) * half;
        const Real below = (static_cast<Real>(rounded) + static_cast<Real>(Neighbour(rounded, false))) * half;
        const Real margin = Abs(quick) * static_cast<Real>(0x1p-32f);
        if (above - quick > margin && quick - below > margin) {
            return rounded;
        }
    }
    return static_cast<float>(Sine<Real>(s) / static_cast<Real>(s));
}

template <typename Real>
float NormalizedSincIn(float x)
{
    if (x == 0.0f) {
        return 1.0f;
    }
    // The sine of an infinity is not a number.
    if (!std::isfinite(x)) {
        return std::numeric_limits<float>::quiet_NaN();
    }
    // sin of the rounded s, not of x * pi: this keeps the tiny non-zero values at whole x.
    const auto s = static_cast<float>(static_cast<Real>(x) * Pi<Real>());
    return std::isfinite(s) ? ExtendedQuotient<Real>(s) : std::numeric_limits<float>::quiet_NaN();
}

template <typename Real>
float LanczosKernelIn(float x)
{
    x = std::fabs(x);
    if (std::isnan(x)) {
        return x;
    }
    if (x >= kRadius) {
        return 0.0f;
    }
    const float a = NormalizedSincIn<Real>(x);
    const auto t = static_cast<float>(static_cast<Real>(x) / static_cast<Real>(kRadius));
    return static_cast<float>(static_cast<Real>(NormalizedSincIn<Real>(t)) * static_cast<Real>(a));
}

}  // namespace

float ExtendedNormalizedSinc(float x)
{
    return NormalizedSincIn<Extended>(x);
}

float ExtendedLanczosKernel(float x)
{
    return LanczosKernelIn<Extended>(x);
}

float SoftExtendedNormalizedSinc(float x)
{
    return NormalizedSincIn<SoftExtended>(x);
}

float SoftExtendedLanczosKernel(float x)
{
    return LanczosKernelIn<SoftExtended>(x);
}

}  // namespace picbatch
