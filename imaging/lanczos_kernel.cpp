// The Lanczos-3 kernel. Every intermediate is a long double with a 64-bit significand; the
// values named in the interface are rounded to float where they are computed, so the
// weights do not depend on how the compiler keeps temporaries. A double-precision shortcut,
// written once with Highway (lanczos_kernels.cpp) and as many values at a time as the
// processor's vectors hold, gives the same floats where it can tell that it does.
#include "imaging/lanczos_kernel.h"

#include "imaging/lanczos_shortcut.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>

namespace picbatch {

static_assert(LDBL_MANT_DIG == 64, "the kernel needs an extended-precision long double");
static_assert(DBL_MANT_DIG == 53 && FLT_MANT_DIG == 24, "the shortcuts need IEEE 754 double and single");

namespace {

// The extended-precision value nearest to pi (significand C90FDAA22168C235).
constexpr long double kPi = 3.14159265358979323851L;
static_assert(static_cast<long double>(kPiHigh) + kPiMiddle + kPiLast == kPi);

// The sine in extended precision. On x86-64 the x87 instruction is used: its error for the
// arguments here (|s| < 3 pi) is far below what survives the rounding to float, and it is
// many times faster than the library's sinl, whose argument reduction dominated building
// the weight lists.
long double Sine(long double s)
{
#if defined(__x86_64__) || defined(__i386__)
    long double result;
    asm("fsin" : "=t"(result) : "0"(s));
    return result;
#else
    return sinl(s);
#endif
}

// The float next to f (finite, not 0) toward +infinity or -infinity: one step of the
// magnitude in the bit pattern, without the library call.
float Neighbour(float f, bool up)
{
    const auto bits = std::bit_cast<std::uint32_t>(f);
    return std::bit_cast<float>((f > 0.0f) == up ? bits + 1 : bits - 1);
}

// sin(s) / s for s != 0, the quotient in extended precision rounded to float. The library's
// double-precision sine, several times faster, decides where its quotient lies more than
// 2^-32 of itself from a float rounding boundary, the x87 sine elsewhere: the same float
// either way (imaging/numerics.md, "The sine quotient").
float ExtendedQuotient(float s)
{
    const long double quick = static_cast<long double>(std::sin(static_cast<double>(s))) / static_cast<long double>(s);
    const float rounded = static_cast<float>(quick);
    const long double above = (static_cast<long double>(rounded) + Neighbour(rounded, true)) / 2.0L;
    const long double below = (static_cast<long double>(rounded) + Neighbour(rounded, false)) / 2.0L;
    const long double margin = std::fabs(quick) * 0x1p-32L;
    if (above - quick > margin && quick - below > margin) {
        return rounded;
    }
    return static_cast<float>(Sine(static_cast<long double>(s)) / static_cast<long double>(s));
}

}  // namespace

float ExtendedNormalizedSinc(float x)
{
    if (x == 0.0f) {
        return 1.0f;
    }
    // sin of the rounded s, not of x * pi: this keeps the tiny non-zero values at whole x.
    return ExtendedQuotient(static_cast<float>(static_cast<long double>(x) * kPi));
}

float ExtendedLanczosKernel(float x)
{
    x = std::fabs(x);
    if (x >= kRadius) {
        return 0.0f;
    }
    const float a = ExtendedNormalizedSinc(x);
    const float t = static_cast<float>(static_cast<long double>(x) / static_cast<long double>(kRadius));
    return static_cast<float>(static_cast<long double>(ExtendedNormalizedSinc(t)) * static_cast<long double>(a));
}

float NormalizedSinc(float x)
{
    float value = 0.0f;
    if (const KernelShortcut* shortcut = FastestShortcut()) {
        shortcut->normalizedSincs(&x, &value, 1);
        return value;
    }
    return ExtendedNormalizedSinc(x);
}

float LanczosKernel(float x)
{
    float value = 0.0f;
    LanczosKernels(std::span(&x, 1), std::span(&value, 1));
    return value;
}

void LanczosKernels(std::span<const float> arguments, std::span<float> values)
{
    if (const KernelShortcut* shortcut = FastestShortcut()) {
        shortcut->lanczosKernels(arguments.data(), values.data(), arguments.size());
        return;
    }
    // No vectors of doubles: the definition.
    std::transform(arguments.begin(), arguments.end(), values.begin(), ExtendedLanczosKernel);
}

}  // namespace picbatch
