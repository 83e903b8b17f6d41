// What a run asks of every picture it converts: the target size, the output format and the
// user's choices. One value from the front ends down to each picture's plan.
#pragma once

#include "batch/conversion_options.h"
#include "pictures/save_picture.h"

namespace picbatch {

// How the target size is given.
enum class SizeForm {
    Box,       // width x height, the picture put into it by the options' fit mode
    Width,     // width; the height by the picture's proportions
    Height,    // height; the width by the picture's proportions
    Percent,   // both sides at percent % of the picture's, at least 1 pixel
    LongEdge,  // the longer side longEdge, the other by the picture's proportions
};

struct ConversionRequest {
    int width = 0;   // of the upright picture (unless the options keep the stored orientation)
    int height = 0;
    OutputMode mode = OutputMode::KeepFormat;
    ConversionOptions options;
    SizeForm form = SizeForm::Box;
    int percent = 0;   // SizeForm::Percent: 1..1000
    int longEdge = 0;  // SizeForm::LongEdge
    bool operator==(const ConversionRequest&) const = default;
};

}  // namespace picbatch
