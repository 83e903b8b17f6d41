// picbatch-cli --report: a line for every entry of the folder, whole lines however the run
// ends, and no run at all when the report cannot be written.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "batch/failure_text.h"
#include "tests/batch/picture_files.h"
#include "tests/cli/run_cli.h"

namespace picbatch {

namespace {

using Json = nlohmann::json;

// The report's lines, each parsed (a line that is no JSON fails the test).
std::vector<Json> ReportLines(const std::string& path)
{
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_TRUE(text.empty() || text.back() == '\n') << "the last line is cut";
    std::istringstream in(text);
    std::vector<Json> lines;
    for (std::string line; std::getline(in, line);) {
        try {
            lines.push_back(Json::parse(line));
        } catch (const Json::parse_error& error) {
            ADD_FAILURE() << error.what() << ": " << line;
        }
    }
    return lines;
}

TEST(CliReport, EveryEntryIsAccountedForOnce)
{
    TempFolder source;
    TempFolder destination;
    TempFolder reports;
    const std::string odd = "x\xFF.bmp";  // no UTF-8
    for (const std::string& name : std::vector<std::string>{"a.bmp", "b.BMP", "new\nline.bmp", odd})
        WriteBmpFile(source / name, TestPicture(13, 9, 40, 90, 200));
    WriteJpegFile(source / "whole.jpg", TestPicture(40, 30, 10, 20, 30));
    WriteCutCopy(source / "whole.jpg", source / "cut.jpg", 20);
    WriteBytes(source / "broken.jpg", {0xFF, 0xD8, 'n', 'o', 't'});
    WriteBytes(source / "notes.txt", {'x'});
    std::filesystem::create_directory(source / "folder.jpg");

    const Result result = RunCli({"--size", "7x5", "--jobs", "2", "--report", reports / "r.jsonl", source.Path(),
                                  destination.Path()});
    EXPECT_EQ(result.exitCode, 1) << result.output;

    std::map<std::string, std::string> statuses;
    for (const Json& line : ReportLines(reports / "r.jsonl")) {
        std::string name = line["source"];
        if (line.contains("source_bytes")) {
            EXPECT_EQ(line["source_bytes"], "x\u00FF.bmp");  // each byte as the character of its number
            name = odd;
        }
        EXPECT_TRUE(statuses.emplace(name, line["status"]).second) << "twice: " << line;
        if (line["status"] == "converted" || line["status"] == "warning") {
            const std::string output = line.contains("output_bytes") ? destination / "X\xFF.bmp" : line["output"].get<std::string>();
            EXPECT_EQ(line["output_width"], 7);
            EXPECT_EQ(line["output_height"], 5);
            EXPECT_EQ(line["bytes_written"], std::filesystem::file_size(output)) << line;
            EXPECT_GT(line["source_width"], 0);
        } else {
            EXPECT_TRUE(line["cause"].is_string()) << line;
            EXPECT_EQ(line["bytes_written"], 0);
        }
        if (line["status"] == "warning") {
            EXPECT_EQ(line["cause"], kIncompleteSourceWarning);
        }
    }
    const std::map<std::string, std::string> expected = {
        {"a.bmp", "converted"},       {"b.BMP", "converted"},     {"new\nline.bmp", "converted"},
        {odd, "converted"}, {"whole.jpg", "converted"}, {"cut.jpg", "warning"},
        {"broken.jpg", "failed"},     {"notes.txt", "skipped"},   {"folder.jpg", "skipped"},
    };
    EXPECT_EQ(statuses, expected);
}

TEST(CliReport, AReportThatCannotBeWrittenStopsTheRunBeforeIt)
{
    TempFolder source;
    TempFolder reports;
    WriteBmpFile(source / "a.bmp", TestPicture(13, 9, 40, 90, 200));
    std::filesystem::create_directory(reports / "a folder");
    const std::vector<std::uint8_t> original = ReadBytes(source / "a.bmp");
    struct Case {
        std::string report;
        const char* why;
    };
    for (const Case& c : {Case{reports / "a folder", "Cannot create file"},
                          Case{reports / "missing/r.jsonl", "Cannot create file"},
                          Case{source / "a.bmp", "the report would overwrite a picture"}}) {
        SCOPED_TRACE(c.report);
        TempFolder destination;
        const Result result = RunCli({"--size", "7x5", "--report", c.report, source.Path(), destination.Path()});
        EXPECT_EQ(result.exitCode, 2) << result.output;
        EXPECT_NE(result.output.find("cannot write report: "), std::string::npos) << result.output;
        EXPECT_NE(result.output.find(c.why), std::string::npos) << result.output;
        EXPECT_TRUE(FolderNames(destination.Path()).empty());
    }
    EXPECT_EQ(ReadBytes(source / "a.bmp"), original);
}

// A report that runs out of room mid-run is no success, though every picture converted.
TEST(CliReport, AReportLeftIncompleteFailsTheRun)
{
    TempFolder source;
    TempFolder destination;
    WriteBmpFile(source / "a.bmp", TestPicture(13, 9, 40, 90, 200));
    const Result result = RunCli({"--size", "7x5", "--report", "/dev/full", source.Path(), destination.Path()});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("report incomplete: /dev/full: Stream write error. No space left on device"),
              std::string::npos)
        << result.output;
    EXPECT_EQ(FolderNames(destination.Path()), std::set<std::string>{"A.bmp"});
}

// SIGKILL leaves no chance to finish a line: each must have been written whole at once.
TEST(CliReport, AKilledRunLeavesOnlyWholeLines)
{
    TempFolder source;
    TempFolder destination;
    TempFolder scratch;
    constexpr int kPictures = 24;
    for (int i = 0; i < kPictures; ++i)
        WriteBmpFile(source / ("p" + std::to_string(100 + i) + ".bmp"), TestPicture(64, 48, 6 * i, 90, 200));
    const std::string report = scratch / "r.jsonl";
    // Made large enough that the kill meets the run mid-way.
    BackgroundCli run({"--size", "1200x900", "--jobs", "2", "--report", report, source.Path(), destination.Path()},
                      scratch / "output.txt");
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(run.WaitForOutput("3/24")) << "the run ended before it could be killed";
    run.Signal(SIGKILL);
    EXPECT_EQ(run.Wait().exitCode, -SIGKILL);

    const std::vector<Json> lines = ReportLines(report);
    EXPECT_GE(lines.size(), 1u);
    EXPECT_LT(lines.size(), static_cast<std::size_t>(kPictures));
    std::set<std::string> sources;
    for (const Json& line : lines) {
        EXPECT_EQ(line["status"], "converted") << line;
        EXPECT_TRUE(sources.insert(line["source"]).second) << line;
    }
}

// Through a tree: an output left up to date, a link to a folder, an unreadable folder, each
// with its status; a padded output reports the canvas it was written on.
TEST(CliReport, ATreeRunReportsWhatTheTreeHolds)
{
    TempFolder source;
    TempFolder destination;
    TempFolder reports;
    std::filesystem::create_directories(source / "sub");
    std::filesystem::create_directories(source / "shut");
    WriteBmpFile(source / "sub/a.bmp", TestPicture(13, 9, 40, 90, 200));
    std::filesystem::create_directory_symlink("sub", source / "link");
    std::filesystem::permissions(source / "shut", std::filesystem::perms::none);
    const timespec old[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (source / "sub/a.bmp").c_str(), old, 0), 0);

    std::map<std::string, Json> first;
    std::map<std::string, Json> second;
    for (auto* lines : {&first, &second}) {
        RunCli({"--size", "8x8", "--fit", "pad", "--recursive", "--skip-up-to-date", "--report", reports / "r.jsonl",
                source.Path(), destination.Path()});
        for (const Json& line : ReportLines(reports / "r.jsonl"))
            (*lines)[line["source"]] = line;
    }
    std::filesystem::permissions(source / "shut", std::filesystem::perms::owner_all);
    EXPECT_EQ(first["sub/a.bmp"]["status"], "converted");
    EXPECT_EQ(first["sub/a.bmp"]["output_width"], 8);
    EXPECT_EQ(first["sub/a.bmp"]["output_height"], 8);
    EXPECT_EQ(second["sub/a.bmp"]["status"], "up-to-date");
    EXPECT_EQ(second["sub/a.bmp"]["output"], destination / "sub/A.bmp");
    EXPECT_EQ(second["link"]["status"], "skipped");
    EXPECT_EQ(second["link"]["cause"], "文件夹链接 / link to a folder");
    if (geteuid() != 0) {  // root reads any folder
        EXPECT_EQ(second["shut"]["status"], "failed");
    }
}

}  // namespace

}  // namespace picbatch
