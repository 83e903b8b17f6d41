// The sizes of one picture's conversion under a request: what is resampled, to which size,
// and on which canvas. Integer arithmetic only, so the sizes never depend on the platform.
#pragma once

#include "batch/conversion_request.h"
#include "imaging/picture_window.h"

namespace picbatch {

struct FittedSize {
    // The part of the upright picture that is resampled: the whole picture but for
    // FitMode::Cover.
    PictureWindow window;
    // The size the window is resampled to.
    int width = 0;
    int height = 0;
    // The output picture: the resampled one at left, top on a canvas of the background
    // (FitMode::Pad), otherwise the resampled picture itself.
    int canvasWidth = 0;
    int canvasHeight = 0;
    int left = 0;
    int top = 0;
    // A size computed beyond the picture limits (imaging/limits.h); the others are then 0.
    bool tooLarge = false;
    bool operator==(const FittedSize&) const = default;
};

// round(a / b) for a >= 0, b > 0, halves up: (2a + b) div 2b.
long long RoundedQuotient(long long a, long long b);

// The sizes for an upright uprightWidth x uprightHeight picture (both at least 1) under
// request's size form, fit mode, shrinkOnly and boxFollowsOrientation. A request whose sizes
// are below 1 gives them unchanged, for the resampler to refuse.
FittedSize FitSize(int uprightWidth, int uprightHeight, const ConversionRequest& request);

// Whether FitSize depends on the picture's size; otherwise it is request.width x height.
bool SizeDependsOnPicture(const ConversionRequest& request);

}  // namespace picbatch
