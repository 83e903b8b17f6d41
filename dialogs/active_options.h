// The options that differ from the defaults, in the words of the options dialog: what the main
// window's options link lists. No Qt.
#pragma once

#include <string>
#include <vector>

#include "batch/conversion_options.h"

namespace picbatch {

// One text for each choice of options that is not its default, in the dialog's order
// ("保持比例，空白处补色（透明）", "JPEG 质量 80", "输出文件名 {name}", …); the background
// only with FitMode::Pad, which uses it. Empty for the defaults.
std::vector<std::string> ActiveOptionTexts(const ConversionOptions& options);

}  // namespace picbatch
