// The sizes of a conversion. Products of two sides stay below 2^33 and the percentage's below
// 2^27: 64-bit arithmetic holds every step.
#include "batch/fitted_size.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "imaging/limits.h"

namespace picbatch {

namespace {

using Wide = long long;

// The other side of a picture whose side `side` of a `from` x `other` picture becomes `to`,
// in proportion, at least 1.
Wide Proportional(Wide other, Wide to, Wide from)
{
    return std::max<Wide>(1, RoundedQuotient(other * to, from));
}

struct Box {
    Wide width;
    Wide height;
};

// The resampled size of the single-size forms, and whether the picture already fits it.
Box SingleSize(Wide w, Wide h, const ConversionRequest& request, bool& fits)
{
    switch (request.form) {
    case SizeForm::Width:
        fits = w <= request.width;
        return {request.width, Proportional(h, request.width, w)};
    case SizeForm::Height:
        fits = h <= request.height;
        return {Proportional(w, request.height, h), request.height};
    case SizeForm::Percent:
        fits = request.percent >= 100;
        return {std::max<Wide>(1, RoundedQuotient(w * request.percent, 100)),
                std::max<Wide>(1, RoundedQuotient(h * request.percent, 100))};
    case SizeForm::LongEdge:
        fits = std::max(w, h) <= request.longEdge;
        if (w >= h)
            return {request.longEdge, Proportional(h, request.longEdge, w)};
        return {Proportional(w, request.longEdge, h), request.longEdge};
    case SizeForm::Box:
        break;
    }
    fits = false;
    return {w, h};
}

bool Allowed(Wide width, Wide height)
{
    return PictureSizeAllowed(width, height);
}

}  // namespace

long long RoundedQuotient(long long a, long long b)
{
    return (2 * a + b) / (2 * b);
}

bool SizeDependsOnPicture(const ConversionRequest& request)
{
    const ConversionOptions& options = request.options;
    return request.form != SizeForm::Box || options.fit != FitMode::Stretch || options.shrinkOnly
        || options.boxFollowsOrientation;
}

FittedSize FitSize(int uprightWidth, int uprightHeight, const ConversionRequest& request)
{
    const Wide w = uprightWidth;
    const Wide h = uprightHeight;
    const ConversionOptions& options = request.options;
    FittedSize fitted;
    fitted.window = {0, 0, uprightWidth, uprightHeight};

    Box size{request.width, request.height};
    Box canvas{0, 0};
    Wide left = 0;
    Wide top = 0;
    bool fits = false;
    const bool sizesGiven = request.form == SizeForm::Box
        ? request.width >= 1 && request.height >= 1
        : request.form == SizeForm::Width     ? request.width >= 1
        : request.form == SizeForm::Height    ? request.height >= 1
        : request.form == SizeForm::Percent   ? request.percent >= 1
                                              : request.longEdge >= 1;
    if (!sizesGiven || w < 1 || h < 1) {
        // Nothing to compute: the resampler refuses the sizes as given.
    } else if (request.form != SizeForm::Box) {
        size = SingleSize(w, h, request, fits);
    } else {
        Wide boxWidth = request.width;
        Wide boxHeight = request.height;
        if (options.boxFollowsOrientation && ((h > w && boxWidth > boxHeight) || (w > h && boxHeight > boxWidth)))
            std::swap(boxWidth, boxHeight);
        fits = w <= boxWidth && h <= boxHeight;
        size = {boxWidth, boxHeight};
        switch (options.fit) {
        case FitMode::Stretch:
            break;
        case FitMode::Contain:
        case FitMode::Pad:
            if (w * boxHeight >= h * boxWidth)
                size = {boxWidth, Proportional(h, boxWidth, w)};
            else
                size = {Proportional(w, boxHeight, h), boxHeight};
            if (options.fit == FitMode::Pad) {
                canvas = {boxWidth, boxHeight};
                left = (boxWidth - size.width) / 2;
                top = (boxHeight - size.height) / 2;
            }
            break;
        case FitMode::Cover: {
            const Wide windowWidth = std::min(w, Proportional(h, boxWidth, boxHeight));
            const Wide windowHeight = std::min(h, Proportional(w, boxHeight, boxWidth));
            fitted.window = {static_cast<int>((w - windowWidth) / 2), static_cast<int>((h - windowHeight) / 2),
                             static_cast<int>(windowWidth), static_cast<int>(windowHeight)};
            break;
        }
        }
    }
    if (options.shrinkOnly && fits) {
        // Written at its own size: the identity resample keeps every pixel.
        fitted.window = {0, 0, uprightWidth, uprightHeight};
        size = {w, h};
        canvas = {0, 0};
        left = top = 0;
    }
    if (canvas.width == 0)
        canvas = size;
    if (sizesGiven && (!Allowed(size.width, size.height) || !Allowed(canvas.width, canvas.height))) {
        FittedSize refused;
        refused.tooLarge = true;
        return refused;
    }
    fitted.width = static_cast<int>(size.width);
    fitted.height = static_cast<int>(size.height);
    fitted.canvasWidth = static_cast<int>(canvas.width);
    fitted.canvasHeight = static_cast<int>(canvas.height);
    fitted.left = static_cast<int>(left);
    fitted.top = static_cast<int>(top);
    return fitted;
}

}  // namespace picbatch
