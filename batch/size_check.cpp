// Validating a run's target size before any picture is touched.
#include "batch/size_check.h"

#include "imaging/error.h"
#include "imaging/limits.h"

#include <optional>
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

TargetSize CheckedSingleSize(SizeForm form, int value)
{
    static_assert(kMaxPictureSide == 65535, "the refusals name the side limit");
    TargetSize size;
    size.form = form;
    switch (form) {
    case SizeForm::Width:
        if (value < 1)
            throw Error(kWidthBelowOne);
        if (value > kMaxPictureSide)
            throw Error(kWidthAboveLimit);
        size.width = value;
        size.text = ComposeWidthOnlyText(value);
        return size;
    case SizeForm::Height:
        if (value < 1)
            throw Error(kHeightBelowOne);
        if (value > kMaxPictureSide)
            throw Error(kHeightAboveLimit);
        size.height = value;
        size.text = ComposeHeightOnlyText(value);
        return size;
    case SizeForm::Percent:
        if (value < 1)
            throw Error(kPercentBelowOne);
        if (value > kMaxPercent)
            throw Error(kPercentAboveLimit);
        size.percent = value;
        size.text = ComposePercentText(value);
        return size;
    case SizeForm::Box:
    case SizeForm::LongEdge:
        break;
    }
    throw Error("not a single-size form");
}

TargetSize CheckedSizeText(std::string_view text)
{
    if (const std::optional<TargetSize> words = ParseSizeWords(text)) {
        const int value = words->form == SizeForm::Width    ? words->width
                          : words->form == SizeForm::Height ? words->height
                                                            : words->percent;
        TargetSize size = CheckedSingleSize(words->form, value);
        size.text = words->text;
        return size;
    }
    return CheckedTargetSize(SplitSizeText(text));
}

}  // namespace picbatch
