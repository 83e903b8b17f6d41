// The text of a run's report.
#include "batch/run_report.h"

#include <algorithm>

namespace picbatch {

namespace {

// How many entries the report lists one by one; a message box must stay on the screen.
constexpr std::size_t kReportedEntries = 20;
// Of those, how many warnings stay listed however many entries failed.
constexpr std::size_t kWarningsKept = 5;

// A heading with the count, the first `listed` entries, and the count of the rest. what:
// "处理失败" or "有警告".
std::string Section(const std::vector<EntryFailure>& entries, std::size_t listed, const std::string& what)
{
    std::string text = "有 " + std::to_string(entries.size()) + " 个图片" + what + "：";
    for (std::size_t i = 0; i < listed; ++i)
        text += "\n" + entries[i].name + "：" + entries[i].message;
    if (entries.size() > listed)
        text += "\n……另有 " + std::to_string(entries.size() - listed) + " 个图片" + what;
    return text;
}

}  // namespace

std::string RunReportText(const std::vector<EntryFailure>& failures, const std::vector<EntryFailure>& warnings)
{
    const std::size_t failuresListed =
        std::min(failures.size(), kReportedEntries - std::min(warnings.size(), kWarningsKept));
    const std::size_t warningsListed = std::min(warnings.size(), kReportedEntries - failuresListed);
    std::string text;
    if (!failures.empty())
        text = Section(failures, failuresListed, "处理失败");
    if (!warnings.empty()) {
        // A blank line sets the warnings apart from the failures above them.
        if (!text.empty())
            text += "\n\n";
        text += Section(warnings, warningsListed, "有警告");
    }
    return text;
}

std::string FailureReportText(const std::vector<EntryFailure>& failures)
{
    return RunReportText(failures, {});
}

}  // namespace picbatch
