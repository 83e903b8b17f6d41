// The double-precision shortcut of the Lanczos kernel, written once with Highway and compiled
// for each target it offers (SSSE3, SSE4, AVX2 and AVX-512 on x86-64, NEON and SVE on
// aarch64), as many arguments at a time as a vector holds doubles. Why its floats are the
// definition's: imaging/numerics.md, "The double-precision shortcut". Every operation
// rounds once: the file is compiled with -ffp-contract=off, since Highway's AVX2 and
// AVX-512 targets enable fused multiply-adds and a compiler may otherwise fuse a product
// into a sum; nothing is reassociated. A target without double-precision vectors, and
// Highway's scalar fallback, have no shortcut: the definition gives every value there.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "imaging/lanczos_kernels.cpp"  // NOLINT(bugprone-suspicious-include)
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "imaging/lanczos_kernel.h"
#include "imaging/lanczos_shortcut.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

HWY_BEFORE_NAMESPACE();
namespace picbatch {
namespace HWY_NAMESPACE {

#if HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128 || !HWY_HAVE_FLOAT64

const KernelShortcut* GetKernelShortcut()
{
    return nullptr;
}

#else

namespace hn = hwy::HWY_NAMESPACE;

// The most doubles a vector of any target holds.
constexpr std::size_t kMaxLanes = HWY_MAX_BYTES / sizeof(double);

// Everything below works on vectors of doubles of any width D: whole vectors, and narrower
// ones for the rest of a batch.

// Doubles rounded to float and back.
template <class D>
HWY_INLINE hn::Vec<D> RoundToFloat(D d, hn::Vec<D> v)
{
    return hn::PromoteTo(d, hn::DemoteTo(hn::Rebind<float, D>(), v));
}

// The lanes where q lies more than guard steps from the nearest float rounding boundary,
// for q of a normal float's magnitude (steps: imaging/numerics.md, "Terms").
template <class D>
HWY_INLINE hn::Mask<D> ClearOfBoundary(D d, hn::Vec<D> q, double guard)
{
    const hn::RebindToUnsigned<D> du;
    const hn::Vec<decltype(du)> bits = hn::And(hn::BitCast(du, q), hn::Set(du, std::uint64_t{kStepBits}));
    const hn::Vec<D> place = hn::BitCast(d, hn::Or(bits, hn::BitCast(du, hn::Set(d, kStepBase))));
    const hn::Vec<D> steps = hn::Sub(place, hn::Set(d, kStepBase));
    const hn::Vec<D> distance = hn::Abs(hn::Sub(steps, hn::Set(d, kBoundaryStep)));
    return hn::Gt(distance, hn::Set(d, guard));
}

// a + z b
template <class D>
HWY_INLINE hn::Vec<D> Term(D d, hn::Vec<D> a, hn::Vec<D> z, double b)
{
    return hn::Add(a, hn::Mul(z, hn::Set(d, b)));
}

// kSineRatio's polynomial by Estrin's scheme, whose chains of dependent operations are
// shorter than Horner's.
template <class D>
HWY_INLINE hn::Vec<D> SineRatio(D d, hn::Vec<D> z)
{
    const hn::Vec<D> z2 = hn::Mul(z, z);
    const hn::Vec<D> z4 = hn::Mul(z2, z2);
    const hn::Vec<D> low = Term(d, hn::Set(d, kSineRatio[0]), z, kSineRatio[1]);
    const hn::Vec<D> middle = Term(d, hn::Set(d, kSineRatio[2]), z, kSineRatio[3]);
    const hn::Vec<D> high = Term(d, Term(d, hn::Set(d, kSineRatio[4]), z, kSineRatio[5]), z2, kSineRatio[6]);
    return hn::Add(hn::Add(low, hn::Mul(z2, middle)), hn::Mul(z4, high));
}

// NormalizedSinc of lanes kTiny <= x < 3 (floats as doubles) in double precision: the values
// (floats as doubles), and the lanes where they are sure to be NormalizedSinc's.
template <class D>
HWY_INLINE void QuickNormalizedSincs(D d, hn::Vec<D> x, hn::Vec<D>& values, hn::Mask<D>& sure)
{
    using V = hn::Vec<D>;
    const hn::RebindToUnsigned<D> du;
    // The three steps of imaging/numerics.md, "The double-precision shortcut". The
    // reciprocal, started first, overlaps the polynomial (one more rounding of 2^-53).
    const V product = hn::Add(hn::Mul(x, hn::Set(d, kPiHigh)),
                              hn::Add(hn::Mul(x, hn::Set(d, kPiMiddle)), hn::Mul(x, hn::Set(d, kPiLast))));
    const V s = RoundToFloat(d, product);
    const V reciprocal = hn::Div(hn::Set(d, 1.0), s);
    const V shifted = hn::Add(hn::Mul(s, hn::Set(d, kInversePi)), hn::Set(d, kRoundingShift));
    const V multiple = hn::Sub(shifted, hn::Set(d, kRoundingShift));
    const V r = hn::Sub(hn::Sub(s, hn::Mul(multiple, hn::Set(d, kPiHigh))), hn::Mul(multiple, hn::Set(d, kPiLow)));
    const V sine = hn::Mul(r, SineRatio(d, hn::Mul(r, r)));
    // The sign bit takes k's parity, the lowest bit of the shifted sum.
    const hn::Vec<decltype(du)> sign = hn::ShiftLeft<63>(hn::BitCast(du, shifted));
    const V quotient = hn::Mul(hn::BitCast(d, hn::Xor(hn::BitCast(du, sine), sign)), reciprocal);
    sure = hn::And(ClearOfBoundary(d, product, kProductGuard), ClearOfBoundary(d, quotient, kQuotientGuard));
    values = RoundToFloat(d, quotient);
}

// The product of two floats (48 bits) is exact in double, as in extended precision.
float KernelProduct(double a, double b)
{
    return static_cast<float>(a * b);
}

// A mask's lanes as 0 or all ones, into bits.
template <class D>
HWY_INLINE void StoreLanes(D /* d */, hn::Mask<D> mask, std::uint64_t* bits)
{
    const hn::RebindToUnsigned<D> du;
    hn::StoreU(hn::VecFromMask(du, hn::RebindMask(du, mask)), du, bits);
}

// LanczosKernel of one vector of arguments, the first valid of them wanted. Arguments outside
// the shortcut's range compute a stand-in of 1 and are settled afterwards, with the few sincs
// the shortcut is not sure of.
template <class D>
HWY_INLINE void KernelVector(D d, const float* arguments, float* values, std::size_t valid)
{
    using V = hn::Vec<D>;
    using M = hn::Mask<D>;
    const hn::Rebind<float, D> df;
    const V x = hn::Abs(hn::PromoteTo(d, hn::LoadU(df, arguments)));
    const M outside = hn::Ge(x, hn::Set(d, kRadius));
    const M covered = hn::And(hn::Ge(x, hn::Set(d, kTiny)), hn::Lt(x, hn::Set(d, kRadius)));
    const V y = hn::IfThenElse(covered, x, hn::Set(d, 1.0));
    // Rounded once, as LanczosKernel's thirds.
    const V t = hn::PromoteTo(d, hn::Div(hn::DemoteTo(df, y), hn::Set(df, kRadius)));
    V a;
    V b;
    M aSure;
    M bSure;
    QuickNormalizedSincs(d, y, a, aSure);
    QuickNormalizedSincs(d, t, b, bSure);
    // Products of floats, exact in double; 0 outside the window.
    hn::StoreU(hn::DemoteTo(df, hn::IfThenZeroElse(outside, hn::Mul(a, b))), df, values);
    // Lanes past the valid ones (the rest of a batch) are never settled.
    const M sure = hn::Or(hn::Or(outside, hn::Not(hn::FirstN(d, valid))), hn::And(covered, hn::And(aSure, bSure)));
    if (hn::AllTrue(d, sure)) {
        return;
    }
    // The rest one at a time: the quick sinc where it is sure, the extended-precision one
    // where it is not, and the definition for arguments the shortcut leaves alone.
    double sincsOfX[kMaxLanes];
    double sincsOfThirds[kMaxLanes];
    double thirds[kMaxLanes];
    std::uint64_t sureLanes[kMaxLanes];
    std::uint64_t coveredLanes[kMaxLanes];
    std::uint64_t sureOfX[kMaxLanes];
    std::uint64_t sureOfThirds[kMaxLanes];
    hn::StoreU(a, d, sincsOfX);
    hn::StoreU(b, d, sincsOfThirds);
    hn::StoreU(t, d, thirds);
    StoreLanes(d, sure, sureLanes);
    StoreLanes(d, covered, coveredLanes);
    StoreLanes(d, aSure, sureOfX);
    StoreLanes(d, bSure, sureOfThirds);
    for (std::size_t k = 0; k < valid; ++k) {
        if (sureLanes[k] != 0) {
            continue;
        }
        if (coveredLanes[k] == 0) {
            values[k] = ExtendedLanczosKernel(arguments[k]);
            continue;
        }
        const float magnitude = std::fabs(arguments[k]);
        const double sincOfX = sureOfX[k] != 0 ? sincsOfX[k] : ExtendedNormalizedSinc(magnitude);
        const double sincOfThird
            = sureOfThirds[k] != 0 ? sincsOfThirds[k] : ExtendedNormalizedSinc(static_cast<float>(thirds[k]));
        values[k] = KernelProduct(sincOfThird, sincOfX);
    }
}

// NormalizedSinc of one vector of arguments, the first valid of them wanted.
template <class D>
HWY_INLINE void SincVector(D d, const float* arguments, float* values, std::size_t valid)
{
    using V = hn::Vec<D>;
    using M = hn::Mask<D>;
    const hn::Rebind<float, D> df;
    const V x = hn::PromoteTo(d, hn::LoadU(df, arguments));
    const M covered = hn::And(hn::Ge(x, hn::Set(d, kTiny)), hn::Lt(x, hn::Set(d, kRadius)));
    V sincs;
    M sure;
    QuickNormalizedSincs(d, hn::IfThenElse(covered, x, hn::Set(d, 1.0)), sincs, sure);
    hn::StoreU(hn::DemoteTo(df, sincs), df, values);
    const M kept = hn::Or(hn::Not(hn::FirstN(d, valid)), hn::And(covered, sure));
    if (hn::AllTrue(d, kept)) {
        return;
    }
    std::uint64_t keptLanes[kMaxLanes];
    StoreLanes(d, kept, keptLanes);
    for (std::size_t k = 0; k < valid; ++k) {
        if (keptLanes[k] == 0) {
            values[k] = ExtendedNormalizedSinc(arguments[k]);
        }
    }
}

struct KernelOp {
    // 0 where |x| >= 3, as a window's last arguments mostly are.
    static constexpr bool kZeroOutside = true;

    template <class D>
    HWY_INLINE void operator()(D d, const float* arguments, float* values, std::size_t valid) const
    {
        KernelVector(d, arguments, values, valid);
    }
};

struct SincOp {
    static constexpr bool kZeroOutside = false;

    template <class D>
    HWY_INLINE void operator()(D d, const float* arguments, float* values, std::size_t valid) const
    {
        SincVector(d, arguments, values, valid);
    }
};

// The last count arguments, fewer than a vector of D holds, in one vector of D, filled with
// arguments the shortcut takes and whose values are dropped.
template <class D, class Op>
HWY_INLINE void Rest(D d, Op op, const float* arguments, float* values, std::size_t count)
{
    float rest[kMaxLanes];
    float restValues[kMaxLanes];
    std::fill_n(rest, hn::Lanes(d), 0.5f);
    std::copy_n(arguments, count, rest);
    op(d, rest, restValues, count);
    std::copy_n(restValues, count, values);
}

// Whole vectors of arguments, then the rest in the narrowest vector of 2, 4 or all lanes
// that holds it: a window's few arguments past whole vectors cost no more than they must.
template <class Op>
void Batch(Op op, const float* arguments, float* values, std::size_t count)
{
    const hn::ScalableTag<double> d;
    const std::size_t lanes = hn::Lanes(d);
    std::size_t i = 0;
    for (; i + lanes <= count; i += lanes) {
        op(d, arguments + i, values + i, lanes);
    }
    std::size_t rest = count - i;
    if constexpr (Op::kZeroOutside) {
        // The window's last arguments, outside the kernel: the definition's 0, without a vector.
        while (rest > 0 && std::fabs(arguments[i + rest - 1]) >= kRadius) {
            values[i + rest - 1] = 0.0f;
            --rest;
        }
    }
    if (rest == 0) {
        return;
    }
    if (rest <= 2 && lanes > 2) {
        Rest(hn::CappedTag<double, 2>(), op, arguments + i, values + i, rest);
    } else if (rest <= 4 && lanes > 4) {
        Rest(hn::CappedTag<double, 4>(), op, arguments + i, values + i, rest);
    } else {
        Rest(d, op, arguments + i, values + i, rest);
    }
}

void LanczosKernels(const float* arguments, float* values, std::size_t count)
{
    Batch(KernelOp(), arguments, values, count);
}

void NormalizedSincs(const float* arguments, float* values, std::size_t count)
{
    Batch(SincOp(), arguments, values, count);
}

const KernelShortcut* GetKernelShortcut()
{
    static constexpr KernelShortcut kShortcut = {&LanczosKernels, &NormalizedSincs};
    return &kShortcut;
}

#endif  // HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128 || !HWY_HAVE_FLOAT64

}  // namespace HWY_NAMESPACE
}  // namespace picbatch
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

namespace picbatch {

HWY_EXPORT(GetKernelShortcut);

const KernelShortcut* ShortcutOf(ResamplePath path)
{
    if (path == ResamplePath::Reference || !ResamplePathAvailable(path)) {
        return nullptr;
    }
#if (HWY_TARGETS & (HWY_TARGETS - 1)) == 0
    return HWY_DISPATCH_TABLE(GetKernelShortcut)[0]();
#else
    // The entry HWY_DYNAMIC_DISPATCH would take if path's target were the only one supported.
    hwy::ChosenTarget chosen;
    chosen.Update(path.target);
    return HWY_DISPATCH_TABLE(GetKernelShortcut)[chosen.GetIndex()]();
#endif
}

const KernelShortcut* FastestShortcut()
{
    // The target the resampler's dispatch chose (resample_kernels.cpp).
    static const KernelShortcut* const fastest = ShortcutOf(FastestResamplePath());
    return fastest;
}

}  // namespace picbatch

#endif  // HWY_ONCE
