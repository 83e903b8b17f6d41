// Validating a run's target size before any picture is touched.
#include "batch/size_check.h"

#include "imaging/error.h"
#include "imaging/limits.h"

#include <string>

namespace picbatch {

TargetSize CheckedTargetSize(const SizeTexts& texts)
{
    // Height first: the order in which a tick converts them, so the first bad text is named.
    const int height = ParseInteger(texts.height);
    const int width = ParseInteger(texts.width);
    if (width < 1 || height < 1)
        throw Error("图片的宽度和高度至少为 1 像素");
    if (!PictureSizeAllowed(width, height))
        throw Error("图片尺寸过大：宽度和高度最多 " + std::to_string(kMaxPictureSide) + " 像素，总数最多 "
                    + std::to_string(kMaxPicturePixels) + " 像素");
    TargetSize size;
    size.width = width;
    size.height = height;
    size.text = texts.width + " * " + texts.height;
    return size;
}

}  // namespace picbatch
