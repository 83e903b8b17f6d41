// The check a run makes of its size before it starts.
#pragma once

#include <string_view>

#include "batch/target_size.h"

namespace picbatch {

// Converts the height text and then the width text with ParseInteger and checks that both are at
// least 1 and that the picture stays within the picture limits. Throws Error with the
// conversion's message, or with a Chinese message for a size below 1 or above the limits.
TargetSize CheckedTargetSize(const SizeTexts& texts);

// The refusals of a size given by one side or a percentage.
inline constexpr const char* kWidthBelowOne = "宽度必须至少为 1 像素";
inline constexpr const char* kHeightBelowOne = "高度必须至少为 1 像素";
inline constexpr const char* kWidthAboveLimit = "宽度最多 65535 像素";
inline constexpr const char* kHeightAboveLimit = "高度最多 65535 像素";
inline constexpr const char* kPercentBelowOne = "百分比必须至少为 1%";
inline constexpr const char* kPercentAboveLimit = "百分比最多为 1000%";

// The most a percentage size may be.
inline constexpr int kMaxPercent = 1000;

// A size of form SizeForm::Width, Height or Percent with value as its one number, its text
// composed (ComposeWidthOnlyText and the others). Throws Error with one of the refusals above
// when value is below 1 or above the side limit (65535) or kMaxPercent.
TargetSize CheckedSingleSize(SizeForm form, int value);

// Any text of the size list: a single-side or percentage text (ParseSizeWords) checked by
// CheckedSingleSize and keeping text, else the width and height of SplitSizeText(text) checked
// by CheckedTargetSize.
TargetSize CheckedSizeText(std::string_view text);

}  // namespace picbatch
