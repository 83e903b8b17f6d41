// The window's run and picbatch-cli take one road for every picture: over the same folder
// they write the same files, byte for byte, and report the same failures and warnings in the
// same words.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "batch/entry_conversion.h"
#include "batch/folder_conversion.h"
#include "batch/output_claims.h"
#include "batch/source_listing.h"
#include "tests/batch/fake_run_window.h"
#include "tests/batch/picture_files.h"
#include "tests/cli/run_cli.h"

namespace picbatch {

namespace {

using Failures = std::map<std::string, std::string>;  // entry -> message

// What a run reported: its failures and its warnings.
struct Reported {
    Failures failures;
    Failures warnings;
};

struct Mode {
    const char* name;  // as --format takes it
    OutputMode mode;
    friend void PrintTo(const Mode& m, std::ostream* out) { *out << m.name; }
};

// The window's run over source, ticked to its end, as the start button and timer drive it.
Reported RunInWindow(const std::string& source, const std::string& destination, OutputMode mode)
{
    FakeWindow window;
    window.sizeText = "9 * 7";
    window.sourceFolder = source;
    window.destinationFolder = destination;
    window.mode = mode;
    SourceListing listing;
    listing.SelectFolder(source);
    BatchRun run(window, listing);
    run.Toggle();
    run.WaitForWorkers();
    run.Tick();
    EXPECT_FALSE(run.Running());
    Reported reported;
    for (const EntryFailure& failure : run.Failures())
        reported.failures[failure.name] = failure.message;
    for (const EntryFailure& warning : run.Warnings())
        reported.warnings[warning.name] = warning.message;
    return reported;
}

// What picbatch-cli printed, one line each: "<n>/<count> <entry>: 失败 / failed: <message>", and
// the same with "警告 / warning".
Reported Printed(const std::string& output)
{
    static const std::regex line(R"(\d+/\d+ (.+): (失败 / failed|警告 / warning): (.*))");
    Reported reported;
    std::istringstream lines(output);
    std::smatch match;
    for (std::string text; std::getline(lines, text);) {
        if (std::regex_match(text, match, line))
            (match[2] == "失败 / failed" ? reported.failures : reported.warnings)[match[1]] = match[3];
    }
    return reported;
}

class SameRoad : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override
    {
        // The listing takes the current folder along; keep it somewhere that stays.
        std::filesystem::current_path(std::filesystem::temp_directory_path());
        WriteBmpFile(source / "good.bmp", TestPicture(21, 13, 10, 20, 30));
        WriteJpegFile(source / "photo.jpg", TestPicture(40, 30, 200, 100, 50));
        WriteBytes(source / "broken.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J'});
        WriteBytes(source / "short.bmp", {'B', 'M', 0x40});
        // "CLASH.jpg" is listed first and writes the output; "clash.jpg" would replace it.
        WriteJpegFile(source / "CLASH.jpg", TestPicture(12, 12, 0, 0, 0));
        WriteJpegFile(source / "clash.jpg", TestPicture(12, 12, 255, 255, 255));
        WriteBytes(source / "notes.txt", {'x'});
        // Both end early: converted, with a warning.
        WriteCutCopy(source / "photo.jpg", source / "cut.jpg", 20);
        WriteCutCopy(source / "good.bmp", source / "trimmed.bmp", 20);
    }

    TempFolder source;
};

TEST_P(SameRoad, TheWindowAndTheCommandLineWriteTheSameFilesAndFailures)
{
    TempFolder byWindow;
    TempFolder byCli;
    const Reported window = RunInWindow(source.Path(), byWindow.Path(), GetParam().mode);
    const Result cli = RunCli({"--size", "9x7", "--format", GetParam().name, "--jobs", "2", source.Path(), byCli.Path()});
    EXPECT_EQ(cli.exitCode, 1) << cli.output;

    const Reported printed = Printed(cli.output);
    EXPECT_EQ(printed.failures, window.failures) << cli.output;
    EXPECT_EQ(printed.warnings, window.warnings) << cli.output;
    EXPECT_EQ(window.failures.size(), 3u);
    EXPECT_EQ(window.failures.at("clash.jpg"), SameOutputMessage("CLASH.jpg"));
    EXPECT_EQ(window.warnings, (Failures{{"cut.jpg", kIncompleteSourceWarning}, {"trimmed.bmp", kIncompleteSourceWarning}}));

    const std::set<std::string> names = FolderNames(byWindow.Path());
    EXPECT_EQ(names.size(), 5u);
    EXPECT_EQ(FolderNames(byCli.Path()), names);
    for (const std::string& name : names)
        EXPECT_EQ(ReadBytes(byWindow / name), ReadBytes(byCli / name)) << name;
}

TEST_P(SameRoad, AMissingDestinationFailsEveryPictureAlike)
{
    TempFolder parent;
    const std::string missing = parent / "missing";
    const Failures windowFailures = RunInWindow(source.Path(), missing, GetParam().mode).failures;

    FolderConversion job;
    job.sourceFolder = source.Path();
    job.destinationFolder = missing;
    job.request = {9, 7, GetParam().mode, {}};
    job.jobs = 2;
    const ConversionSummary summary = ConvertFolder(job, ListFolderFiles(source.Path()), {});
    Failures folderFailures;
    for (const EntryFailure& failure : summary.failures)
        folderFailures[failure.name] = failure.message;

    EXPECT_EQ(folderFailures, windowFailures);
    EXPECT_EQ(windowFailures.size(), 8u);
    EXPECT_TRUE(summary.warnings.empty());
    // CLASH.jpg wrote nothing, so clash.jpg may try its output name too, and fails alike.
    EXPECT_TRUE(windowFailures.at("clash.jpg").starts_with("Cannot create file")) << windowFailures.at("clash.jpg");
    EXPECT_TRUE(windowFailures.at("good.bmp").starts_with("Cannot create file \"" + missing + "/GOOD."))
        << windowFailures.at("good.bmp");
    EXPECT_FALSE(std::filesystem::exists(missing));
}

INSTANTIATE_TEST_SUITE_P(Modes, SameRoad,
                         ::testing::Values(Mode{"keep", OutputMode::KeepFormat}, Mode{"jpeg", OutputMode::Jpeg},
                                           Mode{"bmp", OutputMode::Bmp}),
                         [](const auto& info) { return std::string(info.param.name); });

// One conversion of one entry, outside any run: the order of its checks and the failure text.
class OneEntry : public ::testing::Test {
protected:
    std::optional<std::string> Convert(const std::string& entry)
    {
        return FailureOf([&] {
            const EntryLocation location{source.Path(), destination.Path(), entry};
            ConvertEntry(location, PlanEntry(location, {5, 4, OutputMode::Jpeg, {}}), claims);
        });
    }

    TempFolder source;
    TempFolder destination;
    OutputClaims claims;
};

TEST_F(OneEntry, AClashIsReportedBeforeTheFileIsRead)
{
    WriteJpegFile(source / "a.jpg", TestPicture(8, 8, 1, 2, 3));
    WriteBytes(source / "A.BMP", {'n', 'o', 't'});
    EXPECT_EQ(Convert("a.jpg"), std::nullopt);
    EXPECT_EQ(Convert("A.BMP"), SameOutputMessage("a.jpg"));
}

TEST_F(OneEntry, AFailedConversionLeavesItsOutputNameToALaterEntry)
{
    WriteBytes(source / "b.jpg", {0xFF, 0xD8, 0xFF});
    WriteBmpFile(source / "B.BMP", TestPicture(8, 8, 1, 2, 3));
    EXPECT_TRUE(Convert("b.jpg")->starts_with("JPEG error #"));
    EXPECT_EQ(Convert("B.BMP"), std::nullopt);
    EXPECT_EQ(FolderNames(destination.Path()), std::set<std::string>{"B.jpg"});
    // Written once, the name is B.BMP's for the rest of the run, and b.jpg may not take it.
    WriteJpegFile(source / "b.jpg", TestPicture(8, 8, 1, 2, 3));
    EXPECT_EQ(Convert("b.jpg"), SameOutputMessage("B.BMP"));
}

TEST_F(OneEntry, EmptyFolderTextsAreRefusedFirst)
{
    const auto convert = [&](const EntryLocation& location) {
        ConvertEntry(location, PlanEntry(location, {5, 4, OutputMode::KeepFormat, {}}), claims);
    };
    EXPECT_EQ(FailureOf([&] { convert({"", destination.Path(), "a.jpg"}); }), kNoSourceFolder);
    EXPECT_EQ(FailureOf([&] { convert({source.Path(), "", "a.jpg"}); }), kNoDestinationFolder);
}

TEST(FailureText, ExhaustedMemoryHasOneTextEverywhere)
{
    EXPECT_EQ(FailureOf([] { throw std::bad_alloc(); }), kOutOfSystemResources);
    EXPECT_EQ(FailureOf([] { throw Error("Stream read error"); }), "Stream read error");
    EXPECT_EQ(FailureOf([] {}), std::nullopt);
}

}  // namespace

}  // namespace picbatch
