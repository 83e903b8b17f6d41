// picbatch-cli: its options, and the program run end to end over generated folders.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <sys/resource.h>
#include <fcntl.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>

#include "batch/output_claims.h"
#include "batch/convert_picture.h"
#include "batch/file_list.h"
#include "cli/options.h"
#include "pictures/picture_format.h"
#include "pictures/upper_case.h"
#include "pictures/webp/webp.h"
#include "cli/progress_printer.h"
#include "tests/cli/run_cli.h"
#include "tests/batch/picture_files.h"
#include "tests/common/tagged_jpeg.h"

namespace picbatch {

namespace {

TEST(CliOptions, SizeForms)
{
    struct Case {
        const char* text;
        int width;
        int height;
    };
    for (const Case& c : {Case{"800x600", 800, 600}, Case{"800X600", 800, 600}, Case{"800×600", 800, 600},
                          Case{"778 * 502  （杂志图片）", 778, 502}, Case{" 64 ＊ 48", 64, 48}}) {
        SCOPED_TRACE(c.text);
        const CliOptions options = ParseCliOptions({"--size", c.text, "in", "out"}, 3);
        EXPECT_EQ(options.request.width, c.width);
        EXPECT_EQ(options.request.height, c.height);
        EXPECT_EQ(options.jobs, 3);
        EXPECT_EQ(options.request.mode, OutputMode::KeepFormat);
    }
    const CliOptions options = ParseCliOptions({"in", "--format=bmp", "--jobs", "2", "--size=5x4", "out"}, 8);
    EXPECT_EQ(options.request.mode, OutputMode::Bmp);
    EXPECT_EQ(options.jobs, 2);
    EXPECT_EQ(options.source, "in");
    EXPECT_EQ(options.destination, "out");
    EXPECT_TRUE(ParseCliOptions({"--size", "nonsense", "-h"}, 1).help);
}

TEST(CliOptions, ConversionChoices)
{
    struct Case {
        std::vector<std::string> args;
        ConversionOptions expected;
    };
    const std::vector<Case> cases = {
        {{}, {OrientationChoice::Apply, MetadataChoice::Drop}},
        {{"--orientation", "keep"}, {OrientationChoice::Keep, MetadataChoice::Drop}},
        {{"--orientation=apply", "--metadata=keep"}, {OrientationChoice::Apply, MetadataChoice::Keep}},
        {{"--metadata", "keep-no-gps"}, {OrientationChoice::Apply, MetadataChoice::KeepWithoutGps}},
        {{"--metadata", "drop", "--orientation", "keep"}, {OrientationChoice::Keep, MetadataChoice::Drop}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--size", "5x4", "in", "out"};
        args.insert(args.begin(), c.args.begin(), c.args.end());
        EXPECT_EQ(ParseCliOptions(args, 1).request.options, c.expected) << ::testing::PrintToString(args);
    }

    struct EncodingCase {
        std::vector<std::string> args;
        int quality;
        bool progressive;
    };
    for (const EncodingCase& c : {EncodingCase{{}, 90, false}, EncodingCase{{"--quality", "1"}, 1, false},
                                  EncodingCase{{"--quality=100", "--progressive"}, 100, true},
                                  EncodingCase{{"--progressive", "--quality", "075"}, 75, true}}) {
        std::vector<std::string> args = {"--size", "5x4", "in", "out"};
        args.insert(args.begin(), c.args.begin(), c.args.end());
        const ConversionOptions options = ParseCliOptions(args, 1).request.options;
        EXPECT_EQ(options.quality, c.quality) << ::testing::PrintToString(args);
        EXPECT_EQ(options.progressive, c.progressive) << ::testing::PrintToString(args);
    }
}

TEST(CliOptions, UnusableCommandLines)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"in", "out"},
        {"--size", "0x5", "in", "out"},
        {"--size", "5", "in", "out"},
        {"--size", "70000x2", "in", "out"},
        {"--size", "5x4", "--format", "gif", "in", "out"},
        {"--size", "5x4", "--jobs", "0", "in", "out"},
        {"--size", "5x4", "--size", "6x4", "in", "out"},
        {"--size", "5x4", "--colour", "in", "out"},
        {"--size", "5x4", "--orientation", "rotate", "in", "out"},
        {"--size", "5x4", "--orientation", "keep", "--orientation", "apply", "in", "out"},
        {"--size", "5x4", "--metadata", "all", "in", "out"},
        {"--size", "5x4", "in", "out", "--metadata"},
        {"--size", "5x4", "--quality", "0", "in", "out"},
        {"--size", "5x4", "--quality", "101", "in", "out"},
        {"--size", "5x4", "--quality", "abc", "in", "out"},
        {"--size", "5x4", "--quality=", "in", "out"},
        {"--size", "5x4", "--quality", "+50", "in", "out"},
        {"--size", "5x4", "--quality", "0x20", "in", "out"},
        {"--size", "5x4", "--quality", "4294967386", "in", "out"},
        {"--size", "5x4", "--quality", "50", "--quality", "60", "in", "out"},
        {"--size", "5x4", "--progressive=yes", "in", "out"},
        {"--size", "5x4", "--progressive", "--progressive", "in", "out"},
        {"--size", "5x4", "in"},
        {"--size", "5x4", "in", "out", "more"},
        {"--size", "5x4", "", "out"},
        {"--size"},
        {"--size", "5x4", "--shard", "0/4", "in", "out"},
        {"--size", "5x4", "--shard", "5/4", "in", "out"},
        {"--size", "5x4", "--shard", "a/b", "in", "out"},
        {"--size", "5x4", "--name", "{x}", "in", "out"},
        {"--size", "5x4", "--name", "a/{name}", "in", "out"},
        {"--size", "5x4", "--null", "in", "out"},
        {"--size", "5x4", "--files-from", "list", "--recursive", "in", "out"},
        {"--size", "5x4", "--recursive", "--recursive", "in", "out"},
        {"--size", "5x4", "--skip-up-to-date=yes", "in", "out"},
        {"--size", "5x4", "--report", "", "in", "out"},
        {"--size", "5x4", "--report", "a", "--report=b", "in", "out"},
        {"--size", "5x4", "in", "out", "--report"},
    };
    for (const auto& args : cases)
        EXPECT_THROW(ParseCliOptions(args, 1), UsageError) << ::testing::PrintToString(args);
}

TEST(CliOptions, FitModesAndSizeForms)
{
    struct Case {
        std::vector<std::string> args;
        SizeForm form;
        int value;  // the width, height, percentage or long edge given
        FitMode fit;
    };
    const std::vector<Case> cases = {
        {{"--size", "1600x"}, SizeForm::Width, 1600, FitMode::Stretch},
        {{"--size", "x900"}, SizeForm::Height, 900, FitMode::Stretch},
        {{"--size", "50%"}, SizeForm::Percent, 50, FitMode::Stretch},
        {{"--size", "1000%"}, SizeForm::Percent, 1000, FitMode::Stretch},
        {{"--long-edge", "1200"}, SizeForm::LongEdge, 1200, FitMode::Stretch},
        {{"--size", "800x600", "--fit", "cover"}, SizeForm::Box, 800, FitMode::Cover},
        {{"--size=800x600", "--fit=pad", "--background", "#FF8000"}, SizeForm::Box, 800, FitMode::Pad},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"in", "out"});
        SCOPED_TRACE(::testing::PrintToString(args));
        const ConversionRequest request = ParseCliOptions(args, 1).request;
        EXPECT_EQ(request.form, c.form);
        EXPECT_EQ(c.form == SizeForm::Height ? request.height
                      : c.form == SizeForm::Percent ? request.percent
                      : c.form == SizeForm::LongEdge ? request.longEdge
                                                      : request.width,
                  c.value);
        EXPECT_EQ(request.options.fit, c.fit);
    }
    const ConversionOptions options = ParseCliOptions({"--size", "8x6", "--fit", "pad", "--background", "#ff8000",
                                                       "--shrink-only", "--box-follows-orientation", "in", "out"},
                                                      1)
                                          .request.options;
    EXPECT_EQ(options.background, (Background{Background::Kind::Colour, 0xff, 0x80, 0x00}));
    EXPECT_TRUE(options.shrinkOnly);
    EXPECT_TRUE(options.boxFollowsOrientation);
    EXPECT_EQ(ParseCliOptions({"--size", "8x6", "--background", "transparent", "in", "out"}, 1).request.options.background.kind,
              Background::Kind::Transparent);
}

// Each refusal names its option and, in both languages, what it takes.
TEST(CliOptions, BadSizesAndFitsNameTheirOptionAndRange)
{
    struct Case {
        std::vector<std::string> args;
        const char* named;
    };
    const std::vector<Case> cases = {
        {{"--size", "0x600"}, "--size: 图片的宽度和高度至少为 1 像素 / width and height must be at least 1"},
        {{"--size", "x"}, "expected WxH, Wx, xH or N%"},
        {{"--size", "0x"}, "expected a width of 1 to 65535"},
        {{"--size", "x70000"}, "expected a height of 1 to 65535"},
        {{"--size", "0%"}, "from 1% to 1000%"},
        {{"--size", "1001%"}, "from 1% to 1000%"},
        {{"--size", "5.5%"}, "from 1% to 1000%"},
        {{"--long-edge", "0"}, "--long-edge: 应为 1 到 65535 的整数 / expected a whole number from 1 to 65535"},
        {{"--long-edge", "12px"}, "--long-edge:"},
        {{"--long-edge", "9", "--size", "8x6"}, "cannot be given with --size"},
        {{"--size", "8x6", "--background", "red"}, "--background: 应为 #rrggbb"},
        {{"--size", "8x6", "--background", "#12345"}, "expected #rrggbb (hexadecimal) or transparent"},
        {{"--size", "8x6", "--background", "#12345g"}, "--background:"},
        {{"--size", "8x6", "--fit", "fill"}, "--fit: 应为 stretch、contain、cover 或 pad / expected stretch, contain"},
        {{"--size", "50%", "--fit", "pad"}, "--fit: 只用于 --size WxH"},
        {{"--size", "800x", "--fit", "contain"}, "applies to --size WxH only"},
        {{"--long-edge", "800", "--fit", "cover"}, "applies to --size WxH only"},
        {{"--size", "8x6", "--shrink-only", "--shrink-only"}, "option given twice: --shrink-only"},
        {{"--size", "8x6", "--box-follows-orientation=yes"}, "option takes no value: --box-follows-orientation"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"in", "out"});
        SCOPED_TRACE(::testing::PrintToString(args));
        try {
            ParseCliOptions(args, 1);
            ADD_FAILURE() << "accepted";
        } catch (const UsageError& error) {
            EXPECT_NE(std::string(error.what()).find(c.named), std::string::npos) << error.what();
        }
    }
}

class CliRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Enough pictures that two threads really interleave.
        for (int i = 0; i < 6; ++i) {
            const auto shade = static_cast<std::uint8_t>(40 * i);
            WriteBmpFile(source / ("b" + std::to_string(i) + ".bmp"), TestPicture(13 + i, 9, shade, 90, 200));
            WriteJpegFile(source / ("j" + std::to_string(i) + ".jpg"), TestPicture(17, 11 + i, 200, shade, 60));
        }
        WriteBytes(source / "notes.txt", {'x'});
    }
    TempFolder source;
};

TEST_F(CliRun, ConvertsEveryPictureIdenticallyForAnyNumberOfJobs)
{
    TempFolder one;
    TempFolder two;
    const Result first = RunCli({"--size", "7x5", "--jobs", "1", source.Path(), one.Path()});
    const Result second = RunCli({"--size", "7 * 5", "--jobs=2", source.Path() + "/", two.Path()});
    EXPECT_EQ(first.exitCode, 0) << first.output;
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_NE(first.output.find("12 converted, 0 failed, 1 other files skipped"), std::string::npos) << first.output;

    const std::set<std::string> names = FolderNames(one.Path());
    std::set<std::string> expected;
    for (int i = 0; i < 6; ++i) {
        expected.insert("B" + std::to_string(i) + ".bmp");
        expected.insert("J" + std::to_string(i) + ".jpg");
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(FolderNames(two.Path()), expected);
    for (const std::string& name : names) {
        EXPECT_EQ(ReadBytes(one / name), ReadBytes(two / name)) << name;
        const Raster picture = LoadedPicture(one / name);
        EXPECT_EQ(picture.Width(), 7) << name;
        EXPECT_EQ(picture.Height(), 5) << name;
    }
}

TEST_F(CliRun, FailuresAreReportedAndTheRestConverted)
{
    WriteBytes(source / "broken.jpg", {0xFF, 0xD8, 0xFF});
    WriteBmpFile(source / "B0.BMP", TestPicture(4, 4, 0, 0, 0));  // listed before "b0.bmp"
    TempFolder out;
    const Result result = RunCli({"--size", "6x4", "--format", "bmp", "--jobs", "2", source.Path(), out.Path() + "/new"});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("broken.jpg: 失败 / failed: JPEG error #"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("（文件不完整，在图像数据之前就结束了）\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("b0.bmp: 失败 / failed: 输出文件与先处理的“B0.BMP”"), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("12 converted, 2 failed"), std::string::npos) << result.output;
    EXPECT_EQ(FolderNames(out / "new").size(), 12u);  // the missing destination was made
    std::uint8_t bgr[3];
    LoadedPicture(out / "new/B0.bmp").PixelBgr(3, 0, bgr);
    EXPECT_LT(bgr[2], 50) << "B0.bmp holds the later entry's picture";
}

TEST_F(CliRun, AnOriginalIsNeverReplaced)
{
    WriteJpegFile(source / "KEEP.jpg", TestPicture(9, 9, 1, 2, 3));
    const std::vector<std::uint8_t> original = ReadBytes(source / "KEEP.jpg");
    const Result result = RunCli({"--size", "4x4", "--format", "jpeg", source.Path(), source.Path()});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("KEEP.jpg: 失败 / failed: " + OwnSourceMessage("KEEP.jpg")), std::string::npos)
        << result.output;
    EXPECT_EQ(ReadBytes(source / "KEEP.jpg"), original);
    // A source whose stem is not upper case gets its output beside it.
    EXPECT_EQ(LoadedPicture(source / "J0.jpg").Width(), 4);
    EXPECT_EQ(LoadedPicture(source / "j0.jpg").Width(), 17);
}

// Pictures whose files end early are written as ever, each with a warning line; warnings are
// counted in the summary and leave the exit status alone.
TEST_F(CliRun, IncompleteSourcesAreConvertedWithAWarning)
{
    WriteCutCopy(source / "j5.jpg", source / "cut.jpg", 30);
    WriteCutCopy(source / "b5.bmp", source / "cut.bmp", 40);
    TempFolder out;
    const Result result = RunCli({"--size", "6x4", "--jobs", "2", source.Path(), out.Path()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    for (const char* entry : {"cut.jpg", "cut.bmp"}) {
        EXPECT_NE(result.output.find(std::string(entry) + ": 警告 / warning: 源文件不完整，缺失部分已补为灰色或黑色\n"),
                  std::string::npos)
            << result.output;
    }
    EXPECT_EQ(result.output.find("j5.jpg: 警告"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("已转换 14 张，失败 0 张，跳过 1 个其他文件，警告 2 个 / 14 converted, 0 failed, 1 other "
                                 "files skipped, 2 warnings\n"),
              std::string::npos)
        << result.output;
    EXPECT_EQ(FolderNames(out.Path()).size(), 14u);
}

// On a terminal the bar is redrawn in place; failures and warnings still get lines of their own.
TEST(ProgressPrinterTest, FailuresAndWarningsGetLinesOfTheirOwn)
{
    const std::string failure = "JPEG error #53（文件内容不是 JPEG 图片）";
    const std::string warning = "源文件不完整，缺失部分已补为灰色或黑色";
    for (const bool terminal : {false, true}) {
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* out = open_memstream(&buffer, &size);
        ASSERT_NE(out, nullptr);
        {
            ProgressPrinter printer(out, terminal, 3);
            printer.Done("a.jpg", nullptr);
            printer.Done("b.jpg", &failure, nullptr);
            printer.Done("c.bmp", nullptr, &warning);
            printer.Finish();
        }
        std::fclose(out);
        const std::string text(buffer, size);
        std::free(buffer);
        if (terminal) {
            EXPECT_NE(text.find("\r\x1b[Kb.jpg: 失败 / failed: " + failure + "\n"), std::string::npos) << text;
            EXPECT_NE(text.find("\r\x1b[Kc.bmp: 警告 / warning: " + warning + "\n"), std::string::npos) << text;
            EXPECT_EQ(text.find("a.jpg"), std::string::npos) << text;
            EXPECT_TRUE(text.ends_with("3/3 100%\n")) << text;
        } else {
            EXPECT_EQ(text, "1/3 a.jpg\n2/3 b.jpg: 失败 / failed: " + failure + "\n3/3 c.bmp: 警告 / warning: " + warning
                                + "\n");
        }
    }
}

// Under a process limit that leaves no thread to start (a container's), every picture is
// converted all the same: on fewer threads, down to the program's own, and a JPEG without
// its second thread. The limit binds only a user without the power to exceed it, so as root
// the program runs as nobody.
TEST_F(CliRun, NoThreadToBeHadConvertsOnTheProgramsOwn)
{
    WriteJpegFile(source / "large.jpg", TestPicture(800, 600, 30, 60, 90));  // would take two threads
    TempFolder out;
    for (const std::string& folder : {source.Path(), out.Path()})
        std::filesystem::permissions(folder, std::filesystem::perms::all);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(90);
        const rlimit none{1, 1};
        if (setrlimit(RLIMIT_NPROC, &none) != 0)
            _exit(91);
        // LeakSanitizer needs a thread of its own at exit; a sanitizer build checks leaks in
        // the other tests.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execl(PICBATCH_CLI_PATH, PICBATCH_CLI_PATH, "--size", "7x5", "--jobs", "4", source.Path().c_str(),
              out.Path().c_str(), static_cast<char*>(nullptr));
        _exit(92);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(FolderNames(out.Path()).size(), 13u);  // 12 pictures and large.jpg
    EXPECT_EQ(LoadedPicture(out / "LARGE.jpg").Width(), 7);
}

TEST(CliConversionChoices, ReachEveryPicture)
{
    const TempFolder source;
    ExifContents camera;
    camera.orientation = 6;
    camera.gps = true;
    WriteBytes(source / "tagged.jpg",
               TaggedJpeg(30, 20, [](int x, int y, std::uint8_t* bgr) { std::fill_n(bgr, 3, x * 8 + y); },
                          ExifBlock(camera), {}));
    struct Case {
        std::vector<std::string> args;
        ConversionOptions options;
    };
    const std::vector<Case> cases = {
        {{}, {}},
        {{"--orientation", "keep"}, {OrientationChoice::Keep, MetadataChoice::Drop}},
        {{"--metadata", "keep"}, {OrientationChoice::Apply, MetadataChoice::Keep}},
        {{"--metadata", "keep-no-gps"}, {OrientationChoice::Apply, MetadataChoice::KeepWithoutGps}},
    };
    std::vector<std::vector<std::uint8_t>> outputs;
    for (const Case& c : cases) {
        const TempFolder out;
        std::vector<std::string> args = {"--size", "7x5", "--jobs", "2"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {source.Path(), out.Path()});
        const Result result = RunCli(args);
        EXPECT_EQ(result.exitCode, 0) << result.output;
        const ConversionPlan plan = PlanConversion(source / "tagged.jpg", out / "expected.jpg",
                                                   {7, 5, OutputMode::KeepFormat, c.options});
        CarryOut(plan);
        const std::optional<std::string> expected = plan.output.path;
        ASSERT_TRUE(expected);
        const std::vector<std::uint8_t> written = ReadBytes(out / "TAGGED.jpg");
        EXPECT_EQ(written, ReadBytes(*expected)) << ::testing::PrintToString(c.args);
        outputs.push_back(written);
    }
    // Each choice made a difference.
    for (std::size_t i = 0; i < outputs.size(); ++i)
        for (std::size_t j = i + 1; j < outputs.size(); ++j)
            EXPECT_NE(outputs[i], outputs[j]) << i << " " << j;
}

// The quality and progression reach every lossy output as the encoders take them.
TEST_F(CliRun, QualityAndProgressionReachTheLossyOutputs)
{
    WriteBytes(source / "w.webp", EncodeWebpLossy(TestPicture(15, 9, 20, 160, 90)));
    TempFolder out;
    const Result result = RunCli({"--size", "7x5", "--quality", "40", "--progressive", source.Path(), out.Path()});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const EncodeSettings settings{40, true};
    for (const std::string name : {"j0.jpg", "w.webp", "b0.bmp"}) {
        SCOPED_TRACE(name);
        Raster resampled;
        LoadAndResample(source / name, 7, 5, resampled);
        const PictureFormat& format = *FormatOfName(name);
        const std::string written = out / (AsciiUpper(name.substr(0, name.find('.'))) + name.substr(name.find('.')));
        EXPECT_EQ(ReadBytes(written), EncodeToBytes(format, resampled, false, settings));
    }
}

TEST(CliOptions, TreesNamesAndShares)
{
    const CliOptions options = ParseCliOptions({"--size", "5x4", "--recursive", "--name={name}_{n}", "--skip-up-to-date",
                                                "--shard", "2/3", "in", "out"},
                                               1);
    EXPECT_TRUE(options.request.options.recursive);
    EXPECT_TRUE(options.request.options.skipUpToDate);
    EXPECT_EQ(options.request.options.nameTemplate, "{name}_{n}");
    EXPECT_EQ(options.shard, (Shard{2, 3}));
    const CliOptions list = ParseCliOptions({"--size", "5x4", "--files-from", "-", "--null", "in", "out"}, 1);
    EXPECT_EQ(list.filesFrom, "-");
    EXPECT_TRUE(list.nullSeparated);
    EXPECT_EQ(ParseCliOptions({"--size", "5x4", "in", "out"}, 1).request.options, ConversionOptions{});
}

// {w} and {h} name the written size: contain's own, pad's canvas.
TEST(CliNames, SizeTokensNameTheWrittenSize)
{
    TempFolder source;
    WriteBmpFile(source / "b.bmp", TestPicture(13, 9, 40, 90, 200));
    for (const auto& [fit, expected] : {std::pair{"contain", "b_8x6.bmp"}, std::pair{"pad", "b_8x8.bmp"}}) {
        SCOPED_TRACE(fit);
        TempFolder out;
        const Result result = RunCli({"--size", "8x8", "--fit", fit, "--name", "{name}_{w}x{h}", source.Path(), out.Path()});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(FolderNames(out.Path()), (std::set<std::string>{expected}));
    }
}

// A NUL-separated list from standard input, with a line outside the source: the run goes on,
// the line fails with why, and the summary counts every kind.
TEST_F(CliRun, AListFromStandardInput)
{
    TempFolder out;
    const std::string command = "printf 'j1.jpg\\0../x.jpg\\0j1.jpg\\0\\0notes.txt\\0' | " + Quoted(PICBATCH_CLI_PATH)
        + " --size 5x4 --files-from - --null --verbose " + Quoted(source.Path()) + " " + Quoted(out.Path()) + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 1) << output;
    EXPECT_EQ(FolderNames(out.Path()), (std::set<std::string>{"J1.jpg"}));
    EXPECT_NE(output.find("../x.jpg: 失败 / failed: " + OutsideBaseMessage()), std::string::npos) << output;
    EXPECT_NE(output.find("j1.jpg: 跳过 / skipped: 重复 / duplicate"), std::string::npos) << output;
    EXPECT_NE(output.find("已转换 1 张，失败 1 张，跳过 1 个其他文件，警告 0 个，跳过 2 个不能转换的图片名（空行 1 个，重复 1 个）"),
              std::string::npos)
        << output;
}

TEST_F(CliRun, BadUsageExitsWithTwo)
{
    TempFolder out;
    EXPECT_EQ(RunCli({"--size", "7x5", "--files-from", source / "no list", source.Path(), out.Path()}).exitCode, 2);
    EXPECT_EQ(RunCli({"--size", "7x5", "--shard", "5/4", source.Path(), out.Path()}).exitCode, 2);
    EXPECT_EQ(RunCli({"--size", "7x0", source.Path(), out.Path()}).exitCode, 2);
    EXPECT_EQ(RunCli({"--size", "50%", "--fit", "pad", source.Path(), out.Path()}).exitCode, 2);
    EXPECT_EQ(RunCli({"--size", "7x5", source / "missing", out.Path()}).exitCode, 2);
    EXPECT_EQ(RunCli({"--size", "7x5", source.Path(), source / "notes.txt"}).exitCode, 2);
    EXPECT_TRUE(FolderNames(out.Path()).empty());

    // A quality out of range names the option and the range, in both languages.
    for (const char* quality : {"0", "101", "abc"}) {
        const Result result = RunCli({"--size", "7x5", "--quality", quality, source.Path(), out.Path()});
        EXPECT_EQ(result.exitCode, 2) << quality;
        EXPECT_NE(result.output.find("--quality: 应为 1 到 100 的整数 / expected a whole number from 1 to 100, not '"
                                     + std::string(quality) + "'"),
                  std::string::npos)
            << result.output;
    }
    EXPECT_TRUE(FolderNames(out.Path()).empty());

    const Result help = RunCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("Usage: picbatch-cli --size WxH"), std::string::npos);
    EXPECT_NE(help.output.find("用法"), std::string::npos);
    // The formats are named from the format table: every one, in this order.
    EXPECT_NE(help.output.find("文件夹中的每个 BMP、JPEG、PNG 和 WebP 图片缩放到"), std::string::npos);
    EXPECT_NE(help.output.find("Resizes every BMP, JPEG, PNG and WebP picture of folder SOURCE"), std::string::npos);
}

}  // namespace

}  // namespace picbatch
