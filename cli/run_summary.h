// picbatch-cli's closing report: the summary line that counts every entry of the listing,
// and the lines of the picture names passed over.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "batch/folder_conversion.h"
#include "batch/passed_over_text.h"
#include "batch/source_listing.h"

namespace picbatch {

// "已转换 20 张，失败 1 张，跳过 3 个其他文件，警告 2 个 / 20 converted, 1 failed, 3 other files
// skipped, 2 warnings", and where picture names were passed over, their count by reason
// after each half: "，跳过 2 个不能转换的图片名（文件夹 1 个，失效链接 1 个）" and ", 2 picture
// names skipped (1 folder, 1 dangling link)". Ends in a newline.
// With pictures left up to date, "，已是最新 5 张" and ", 5 up to date" follow the warnings.
std::string SummaryLine(const ConversionSummary& summary, const std::vector<PassedOverEntry>& passedOver);

// The entries passed over, counted by reason (indexed by the reason's value), for runs that
// do not hold them.
using PassedOverCounts = std::array<std::size_t, static_cast<std::size_t>(PassedOverReason::Duplicate) + 1>;
std::string SummaryLine(const ConversionSummary& summary, const PassedOverCounts& passedOver);

// The line of one entry passed over, for --verbose: "<name>: 跳过 / skipped: 文件夹 / folder",
// the name escaped for a terminal. Ends in a newline.
std::string PassedOverLine(const PassedOverEntry& entry);

}  // namespace picbatch
