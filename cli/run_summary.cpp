// The summary line and the lines of entries passed over.
#include "cli/run_summary.h"

#include <array>
#include <cstddef>

#include "cli/terminal_text.h"

namespace picbatch {

namespace {

struct ReasonText {
    PassedOverReason reason;
    const char* chinese;
    const char* english;      // in an entry's line
    const char* countedOne;   // after a count in the summary
    const char* countedMany;
};

// In the order the summary counts them.
constexpr std::array kReasons{
    ReasonText{PassedOverReason::Folder, "文件夹", "folder", "folder", "folders"},
    ReasonText{PassedOverReason::NotRegularFile, "非普通文件", "not a regular file", "non-regular file",
               "non-regular files"},
    ReasonText{PassedOverReason::LinkLoop, "链接循环", "link loop", "link loop", "link loops"},
    ReasonText{PassedOverReason::DanglingLink, "失效链接", "dangling link", "dangling link", "dangling links"},
    ReasonText{PassedOverReason::Inaccessible, "无法访问", "inaccessible", "inaccessible entry",
               "inaccessible entries"},
};

const ReasonText& TextOf(PassedOverReason reason)
{
    for (const ReasonText& text : kReasons) {
        if (text.reason == reason)
            return text;
    }
    return kReasons.back();
}

}  // namespace

std::string SummaryLine(const ConversionSummary& summary, const std::vector<PassedOverEntry>& passedOver)
{
    std::string chinese = "已转换 " + std::to_string(summary.converted) + " 张，失败 "
        + std::to_string(summary.failures.size()) + " 张，跳过 " + std::to_string(summary.skipped) + " 个其他文件，警告 "
        + std::to_string(summary.warnings.size()) + " 个";
    std::string english = std::to_string(summary.converted) + " converted, " + std::to_string(summary.failures.size())
        + " failed, " + std::to_string(summary.skipped) + " other files skipped, "
        + std::to_string(summary.warnings.size()) + " warnings";
    if (!passedOver.empty()) {
        std::string chineseCounts;
        std::string englishCounts;
        for (const ReasonText& text : kReasons) {
            std::size_t count = 0;
            for (const PassedOverEntry& entry : passedOver)
                count += entry.reason == text.reason ? 1 : 0;
            if (count == 0)
                continue;
            chineseCounts += (chineseCounts.empty() ? "" : "，") + std::string(text.chinese) + " "
                + std::to_string(count) + " 个";
            englishCounts += (englishCounts.empty() ? "" : ", ") + std::to_string(count) + " "
                + (count == 1 ? text.countedOne : text.countedMany);
        }
        chinese += "，跳过 " + std::to_string(passedOver.size()) + " 个不能转换的图片名（" + chineseCounts + "）";
        english += ", " + std::to_string(passedOver.size()) + " picture names skipped (" + englishCounts + ")";
    }
    return chinese + " / " + english + "\n";
}

std::string PassedOverReasonText(PassedOverReason reason)
{
    const ReasonText& text = TextOf(reason);
    return std::string(text.chinese) + " / " + text.english;
}

std::string PassedOverLine(const PassedOverEntry& entry)
{
    return TerminalText(entry.name) + ": 跳过 / skipped: " + PassedOverReasonText(entry.reason) + "\n";
}

}  // namespace picbatch
