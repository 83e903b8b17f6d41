// The sine of a float in SoftExtended, for the kernel's definition where there is no x87 sine.
#pragma once

#include "imaging/soft_extended.h"

namespace picbatch {

// sin(s) for a finite s, within 2^-60 of itself for |s| < 2^30 (imaging/numerics.md, "The
// sine in software"); beyond, where no kernel argument lies, the library's double-precision
// sine.
SoftExtended SoftSine(float s);

}  // namespace picbatch
