// The Lanczos window of radius 3, evaluated with single-precision results and
// extended-precision intermediates so that the weights built from it are reproducible.
// A double-precision shortcut gives the same floats faster.
#pragma once

#include <span>

namespace picbatch {

// sin(pi x) / (pi x), 1 at x = 0. The product x * pi is rounded to single before the sine.
float NormalizedSinc(float x);

// NormalizedSinc(x) * NormalizedSinc(x / 3) for |x| < 3, otherwise 0.
float LanczosKernel(float x);

// LanczosKernel of every argument, into values of the same size: the same floats, faster
// for many arguments at once.
void LanczosKernels(std::span<const float> arguments, std::span<float> values);

// The same two functions without the shortcut, every intermediate in extended precision:
// the definition the fast ones match, for checking them.
float ExtendedNormalizedSinc(float x);
float ExtendedLanczosKernel(float x);

// The definition computed with SoftExtended, which it is where long double is not x87's
// format; built everywhere, so that x86 can check it against the native one.
float SoftExtendedNormalizedSinc(float x);
float SoftExtendedLanczosKernel(float x);

}  // namespace picbatch
