// The extended-precision number of the resampler's definition: x87's long double (a 64-bit
// significand) on x86, SoftExtended, the same format in software, on every other processor.
#pragma once

#include "imaging/soft_extended.h"

#include <cfloat>
#include <cmath>

#if LDBL_MANT_DIG == 64 && (defined(__x86_64__) || defined(__i386__))
#define PICBATCH_X87_EXTENDED 1
#else
#define PICBATCH_X87_EXTENDED 0
#endif

namespace picbatch {

#if PICBATCH_X87_EXTENDED
using Extended = long double;

// SoftExtended's Abs, Floor and Ceil, for long double.
inline long double Abs(long double v)
{
    return std::fabs(v);
}

inline long double Floor(long double v)
{
    return std::floor(v);
}

inline long double Ceil(long double v)
{
    return std::ceil(v);
}
#else
using Extended = SoftExtended;
#endif

}  // namespace picbatch
