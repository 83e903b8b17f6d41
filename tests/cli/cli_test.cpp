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
#include "cli/options.h"
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
        {"--size", "5x4", "in"},
        {"--size", "5x4", "in", "out", "more"},
        {"--size", "5x4", "", "out"},
        {"--size"},
        {"--size", "5x4", "--report", "", "in", "out"},
        {"--size", "5x4", "--report", "a", "--report=b", "in", "out"},
        {"--size", "5x4", "in", "out", "--report"},
    };
    for (const auto& args : cases)
        EXPECT_THROW(ParseCliOptions(args, 1), UsageError) << ::testing::PrintToString(args);
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

TEST_F(CliRun, BadUsageExitsWithTwo)
{
    TempFolder out;
    EXPECT_EQ(RunCli({"--size", "7x0", source.Path(), out.Path()}).exitCode, 2);
    EXPECT_EQ(RunCli({"--size", "7x5", source / "missing", out.Path()}).exitCode, 2);
    EXPECT_EQ(RunCli({"--size", "7x5", source.Path(), source / "notes.txt"}).exitCode, 2);
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
