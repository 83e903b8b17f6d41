// The report of a run: failures, then warnings, each section short enough for the screen.
#include "batch/run_report.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace picbatch {

namespace {

std::vector<EntryFailure> Entries(const std::string& prefix, int count, const std::string& message)
{
    std::vector<EntryFailure> entries;
    for (int i = 1; i <= count; ++i)
        entries.push_back({prefix + std::to_string(i) + ".jpg", message + std::to_string(i)});
    return entries;
}

std::ptrdiff_t Lines(const std::string& text)
{
    return std::count(text.begin(), text.end(), '\n') + 1;
}

TEST(FailureReportText, ListsTwentyFailuresThenCountsTheRest)
{
    std::vector<EntryFailure> failures;
    for (int i = 1; i <= 25; ++i)
        failures.push_back({"p" + std::to_string(i) + ".jpg", "JPEG error #" + std::to_string(i)});
    const std::string text = FailureReportText(failures);
    EXPECT_TRUE(text.starts_with("有 25 个图片处理失败："));
    EXPECT_NE(text.find("\np1.jpg：JPEG error #1\n"), std::string::npos);
    EXPECT_NE(text.find("\np20.jpg：JPEG error #20\n"), std::string::npos);
    EXPECT_EQ(text.find("p21.jpg"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\n……另有 5 个图片处理失败"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 21);

    EXPECT_EQ(FailureReportText({{"a.bmp", "Stream read error"}}), "有 1 个图片处理失败：\na.bmp：Stream read error");
}

TEST(RunReportText, FailuresThenWarningsInTheSameStyle)
{
    const std::vector<EntryFailure> failures = {{"a.bmp", "Stream read error"}};
    const std::vector<EntryFailure> warnings = {{"b.jpg", "源文件不完整"}, {"c.bmp", "源文件不完整"}};
    EXPECT_EQ(RunReportText(failures, warnings),
              "有 1 个图片处理失败：\na.bmp：Stream read error\n\n"
              "有 2 个图片有警告：\nb.jpg：源文件不完整\nc.bmp：源文件不完整");
    EXPECT_EQ(RunReportText({}, warnings), "有 2 个图片有警告：\nb.jpg：源文件不完整\nc.bmp：源文件不完整");
    EXPECT_EQ(RunReportText(failures, {}), FailureReportText(failures));
}

// Twenty entries at most in all, so that the report fits on the screen: warnings keep five of
// them when failures would take more; whatever a section leaves out, it counts.
TEST(RunReportText, LongReportsListTwentyEntriesInAll)
{
    const struct {
        const char* name;
        int failures, warnings;
        int failuresListed, warningsListed;
    } cases[] = {
        {"many of both", 25, 8, 15, 5},
        {"few warnings", 25, 2, 18, 2},
        {"few failures", 3, 30, 3, 17},
        {"warnings alone", 0, 23, 0, 20},
        {"both fit", 12, 8, 12, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text =
            RunReportText(Entries("f", c.failures, "error #"), Entries("w", c.warnings, "warning #"));
        int listedFailures = 0;
        int listedWarnings = 0;
        for (int i = 1; i <= 30; ++i) {
            listedFailures += text.find("\nf" + std::to_string(i) + ".jpg：") != std::string::npos;
            listedWarnings += text.find("\nw" + std::to_string(i) + ".jpg：") != std::string::npos;
        }
        EXPECT_EQ(listedFailures, c.failuresListed);
        EXPECT_EQ(listedWarnings, c.warningsListed);
        const int restFailures = c.failures - c.failuresListed;
        const int restWarnings = c.warnings - c.warningsListed;
        EXPECT_EQ(text.find("……另有 " + std::to_string(restFailures) + " 个图片处理失败") != std::string::npos,
                  restFailures > 0);
        EXPECT_EQ(text.find("……另有 " + std::to_string(restWarnings) + " 个图片有警告") != std::string::npos,
                  restWarnings > 0);
        // Headings, the blank line between the sections, the entries and the counts of the rest.
        const int sections = (c.failures > 0) + (c.warnings > 0);
        EXPECT_EQ(Lines(text), sections + (sections - 1) + c.failuresListed + c.warningsListed
                      + (restFailures > 0) + (restWarnings > 0));
    }
}

}  // namespace

}  // namespace picbatch
