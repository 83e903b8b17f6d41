// What a run asks of every picture it converts: the target size, the output format and the
// user's choices. One value from the front ends down to each picture's plan.
#pragma once

#include "batch/conversion_options.h"
#include "pictures/save_picture.h"

namespace picbatch {

struct ConversionRequest {
    int width = 0;   // of the upright picture (unless the options keep the stored orientation)
    int height = 0;
    OutputMode mode = OutputMode::KeepFormat;
    ConversionOptions options;
    bool operator==(const ConversionRequest&) const = default;
};

}  // namespace picbatch
