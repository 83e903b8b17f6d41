// The run's JSON Lines report: every line parses back to what it was made from, names keep
// their exact bytes, and the file holds whole lines only, however its writing ends.
#include "batch/json_report.h"
#include "batch/report_line.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "batch/batch_run.h"
#include "batch/source_listing.h"
#include "imaging/error.h"
#include "tests/batch/fake_run_window.h"
#include "tests/batch/picture_files.h"

namespace picbatch {

namespace {

using Json = nlohmann::json;

Json Parsed(const std::string& text)
{
    EXPECT_TRUE(text.ends_with("\n"));
    EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line only: " << text;
    return Json::parse(text);
}

// The bytes a JSON string of characters U+0000 to U+00FF stands for (source_bytes): its
// UTF-8 decoded by hand here, to check the writer by other means than its own.
std::string BytesOf(const Json& characters)
{
    const std::string text = characters.get<std::string>();
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            bytes += text[i];
            continue;
        }
        EXPECT_TRUE(lead == 0xC2 || lead == 0xC3) << "not U+0080 to U+00FF";
        const auto trail = static_cast<unsigned char>(text.at(++i));
        bytes += static_cast<char>(((lead & 0x03) << 6) | (trail & 0x3F));
    }
    return bytes;
}

TEST(ReportLineText, EveryStatusWithItsFields)
{
    struct Case {
        const char* name;
        ReportLine line;
        const char* status;
    };
    const std::vector<Case> cases = {
        {"converted", {"a.jpg", "out/A.jpg", ReportStatus::Converted, {}, PixelSize{640, 480}, PixelSize{80, 60}, 2438, 12.3456789},
         "converted"},
        {"failed", {"b.jpg", "out/B.jpg", ReportStatus::Failed, "JPEG error #53（文件内容不是 JPEG 图片）", PixelSize{9, 7}, {}, 0, 0.5},
         "failed"},
        {"warning", {"c.bmp", "out/C.bmp", ReportStatus::Warning, kIncompleteSourceWarning, PixelSize{8, 6}, PixelSize{4, 3}, 90, 1},
         "warning"},
        {"skipped", SkippedLine("notes.txt", kNotAPictureCause), "skipped"},
        {"up to date", {"d.png", "out/D.png", ReportStatus::UpToDate, {}, {}, {}, 0, 0.01}, "up-to-date"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = ReportLineText(c.line);
        const Json object = Parsed(text);
        EXPECT_EQ(object.size(), 10u);
        // Written in a fixed order, which a parsed object (sorted keys) does not keep: read the text.
        EXPECT_LT(text.find("\"source\""), text.find("\"output\""));
        EXPECT_LT(text.find("\"cause\""), text.find("\"milliseconds\""));
        EXPECT_EQ(object["source"], c.line.source);
        EXPECT_EQ(object["status"], c.status);
        EXPECT_EQ(object["output"].is_null(), !c.line.output);
        EXPECT_EQ(object["cause"].is_null(), !c.line.cause);
        if (c.line.cause) {
            EXPECT_EQ(object["cause"], *c.line.cause);
        }
        EXPECT_EQ(object["source_width"].is_null(), !c.line.sourceSize);
        EXPECT_EQ(object["output_height"].is_null(), !c.line.outputSize);
        if (c.line.outputSize) {
            EXPECT_EQ(object["output_width"], c.line.outputSize->width);
            EXPECT_EQ(object["output_height"], c.line.outputSize->height);
        }
        EXPECT_EQ(object["bytes_written"], c.line.bytesWritten);
        EXPECT_NEAR(object["milliseconds"].get<double>(), c.line.milliseconds, 0.0005);
    }
}

// File names are bytes: every one comes back exactly, from "source" where it is UTF-8 and
// from "source_bytes" where it is not, and a newline in a name never splits a line.
TEST(ReportLineText, NamesComeBackByteForByte)
{
    struct Case {
        const char* name;
        std::string bytes;
        bool utf8;
    };
    const std::vector<Case> cases = {
        {"plain", "a.jpg", true},
        {"Chinese", "照片 2024.jpg", true},
        {"controls and quotes", "a\nb\r\t\"\\\x1B[31m.jpg", true},
        {"Latin-1 byte", "caf\xE9.jpg", false},
        {"0xFF", "x\xFFy.jpg", false},
        {"overlong slash", "a\xC0\xAF.jpg", false},
        {"surrogate", "a\xED\xA0\x80.jpg", false},
        {"cut sequence", "a\xE4\xBD", false},
        {"U+00E9 beside a bad byte", "\xC3\xA9\xE9.jpg", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReportLine line = SkippedLine(c.bytes, "cause with the name: " + c.bytes);
        line.output = "out/" + c.bytes;
        const Json object = Parsed(ReportLineText(line));
        ASSERT_EQ(object.contains("source_bytes"), !c.utf8);
        ASSERT_EQ(object.contains("output_bytes"), !c.utf8);
        if (c.utf8) {
            EXPECT_EQ(object["source"], c.bytes);
            EXPECT_EQ(object["output"], "out/" + c.bytes);
        } else {
            EXPECT_EQ(BytesOf(object["source_bytes"]), c.bytes);
            EXPECT_EQ(BytesOf(object["output_bytes"]), "out/" + c.bytes);
            EXPECT_NE(object["source"].get<std::string>().find("\xEF\xBF\xBD"), std::string::npos);  // U+FFFD
        }
    }
}

std::vector<Json> ReadLines(const std::string& path)
{
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::vector<Json> lines;
    for (std::string text; std::getline(in, text);)
        lines.push_back(Json::parse(text));
    return lines;
}

TEST(JsonReport, LinesFromManyThreadsStayWholeAndAreSaved)
{
    TempFolder folder;
    const auto report = JsonReport::Temporary();
    std::vector<std::jthread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i)
                report->Add(SkippedLine(std::to_string(t) + "-" + std::to_string(i) + std::string(200, 'x'), "c"));
        });
    }
    threads.clear();
    report->SaveTo(folder / "saved.jsonl");
    std::set<std::string> sources;
    for (const Json& line : ReadLines(folder / "saved.jsonl"))
        sources.insert(line["source"].get<std::string>());
    EXPECT_EQ(sources.size(), 400u);
    EXPECT_EQ(report->Failure(), std::nullopt);
}

TEST(JsonReport, WritingThatFailsIsTakenBackAndSaid)
{
    EXPECT_THROW(JsonReport("/nonexistent-folder/report.jsonl"), Error);
    JsonReport full("/dev/full");
    full.Add(SkippedLine("a.txt", "c"));
    full.Add(SkippedLine("b.txt", "c"));
    EXPECT_EQ(full.Failure(), std::optional<std::string>("Stream write error. No space left on device"));
}

// The window's run keeps its report for the report box to save: one line for every entry.
TEST(BatchRunReport, SavedReportAccountsForEveryEntry)
{
    // The listing starts at the current folder, which an earlier test may have removed.
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    TempFolder source;
    TempFolder destination;
    TempFolder saved;
    WriteBmpFile(source / "a.bmp", TestPicture(8, 6, 10, 20, 30));
    WriteBytes(source / "b.jpg", {0xFF, 0xD8, 'n', 'o', 't'});
    WriteBytes(source / "c.txt", {'x'});
    WriteJpegFile(source / "whole.jpg", TestPicture(40, 30, 10, 20, 30));
    WriteCutCopy(source / "whole.jpg", source / "d.jpg", 20);
    FakeWindow window;
    window.sourceFolder = source.Path();
    window.destinationFolder = destination.Path();
    SourceListing listing;
    listing.SelectFolder(source.Path());
    BatchRun run(window, listing, {2, {}});
    EXPECT_THROW(run.SaveReport(saved / "none.jsonl"), Error);  // no run yet
    run.Toggle();
    run.WaitForWorkers();
    run.Tick();
    ASSERT_FALSE(run.Running());
    run.SaveReport(saved / "report.jsonl");

    std::map<std::string, std::string> statuses;
    for (const Json& line : ReadLines(saved / "report.jsonl"))
        EXPECT_TRUE(statuses.emplace(line["source"], line["status"]).second) << line;
    EXPECT_EQ(statuses, (std::map<std::string, std::string>{{"a.bmp", "converted"}, {"b.jpg", "failed"},
                                                             {"c.txt", "skipped"}, {"d.jpg", "warning"},
                                                             {"whole.jpg", "converted"}}));
}

}  // namespace

}  // namespace picbatch
