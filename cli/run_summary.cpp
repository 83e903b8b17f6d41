// The summary line and the lines of entries passed over.
#include "cli/run_summary.h"

#include <array>
#include <cstddef>

#include "batch/passed_over_text.h"
#include "cli/terminal_text.h"

namespace picbatch {

std::string SummaryLine(const ConversionSummary& summary, const std::vector<PassedOverEntry>& passedOver)
{
    PassedOverCounts counts{};
    for (const PassedOverEntry& entry : passedOver)
        ++counts[static_cast<std::size_t>(entry.reason)];
    return SummaryLine(summary, counts);
}

std::string SummaryLine(const ConversionSummary& summary, const PassedOverCounts& passedOver)
{
    std::string chinese = "已转换 " + std::to_string(summary.converted) + " 张，失败 "
        + std::to_string(summary.failures.size()) + " 张，跳过 " + std::to_string(summary.skipped) + " 个其他文件，警告 "
        + std::to_string(summary.warnings.size()) + " 个";
    std::string english = std::to_string(summary.converted) + " converted, " + std::to_string(summary.failures.size())
        + " failed, " + std::to_string(summary.skipped) + " other files skipped, "
        + std::to_string(summary.warnings.size()) + " warnings";
    if (summary.upToDate > 0) {
        chinese += "，已是最新 " + std::to_string(summary.upToDate) + " 张";
        english += ", " + std::to_string(summary.upToDate) + " up to date";
    }
    std::size_t total = 0;
    for (const PassedOverText& text : kPassedOverTexts)
        total += text.reason == PassedOverReason::FolderLink ? 0 : passedOver[static_cast<std::size_t>(text.reason)];
    if (total > 0) {
        std::string chineseCounts;
        std::string englishCounts;
        for (const PassedOverText& text : kPassedOverTexts) {
            const std::size_t count = passedOver[static_cast<std::size_t>(text.reason)];
            if (count == 0 || text.reason == PassedOverReason::FolderLink)
                continue;
            chineseCounts += (chineseCounts.empty() ? "" : "，") + std::string(text.chinese) + " "
                + std::to_string(count) + " 个";
            englishCounts += (englishCounts.empty() ? "" : ", ") + std::to_string(count) + " "
                + (count == 1 ? text.countedOne : text.countedMany);
        }
        chinese += "，跳过 " + std::to_string(total) + " 个不能转换的图片名（" + chineseCounts + "）";
        english += ", " + std::to_string(total) + " picture names skipped (" + englishCounts + ")";
    }
    return chinese + " / " + english + "\n";
}

std::string PassedOverLine(const PassedOverEntry& entry)
{
    return TerminalText(entry.name) + ": 跳过 / skipped: " + PassedOverReasonText(entry.reason) + "\n";
}

}  // namespace picbatch
