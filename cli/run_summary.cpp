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
    ReasonText{PassedOverReason::EmptyLine, "空行", "empty line", "empty line", "empty lines"},
    ReasonText{PassedOverReason::Duplicate, "重复", "duplicate", "duplicate", "duplicates"},
    // Counted with the other files skipped, not here; named in its entry's line.
    ReasonText{PassedOverReason::FolderLink, "文件夹链接", "link to a folder", "link to a folder", "links to folders"},
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
    for (const ReasonText& text : kReasons)
        total += text.reason == PassedOverReason::FolderLink ? 0 : passedOver[static_cast<std::size_t>(text.reason)];
    if (total > 0) {
        std::string chineseCounts;
        std::string englishCounts;
        for (const ReasonText& text : kReasons) {
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
    const ReasonText& text = TextOf(entry.reason);
    return TerminalText(entry.name) + ": 跳过 / skipped: " + text.chinese + " / " + text.english + "\n";
}

}  // namespace picbatch
