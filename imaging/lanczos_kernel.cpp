// The Lanczos-3 kernel's double-precision shortcut, written once with Highway
// (lanczos_kernels.cpp) and as many values at a time as the processor's vectors hold: the
// floats of the extended-precision definition (extended_lanczos_kernel.cpp) where it can
// tell that it gives them, the definition's own elsewhere.
#include "imaging/lanczos_kernel.h"

#include "imaging/lanczos_shortcut.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

namespace picbatch {

static_assert(DBL_MANT_DIG == 53 && FLT_MANT_DIG == 24, "the shortcuts need IEEE 754 double and single");

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
