// The check a run makes of its size before it starts.
#pragma once

#include "batch/target_size.h"

namespace picbatch {

// Converts the height text and then the width text with ParseInteger and checks that both are at
// least 1 and that the picture stays within the picture limits. Throws Error with the
// conversion's message, or with a Chinese message for a size below 1 or above the limits.
TargetSize CheckedTargetSize(const SizeTexts& texts);

}  // namespace picbatch
