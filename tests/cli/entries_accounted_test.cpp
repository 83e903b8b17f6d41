// picbatch-cli accounts for every entry with a picture's name, also those that are no
// convertible pictures, and keeps to a memory budget given on its command line.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cli/options.h"
#include "tests/batch/picture_files.h"
#include "tests/cli/run_cli.h"
#include "tests/pictures/bmp_builder.h"

namespace picbatch {

namespace {

constexpr std::int64_t kMiB = std::int64_t{1} << 20;

TEST(CliOptions, MemoryBudgetSizes)
{
    const struct {
        const char* text;
        std::int64_t bytes;
    } sizes[] = {
        {"512M", 512 * kMiB}, {"2G", 2048 * kMiB}, {"2g", 2048 * kMiB}, {"64k", 64 * 1024},
        {"1T", kMiB * kMiB}, {"1000", 1000},
    };
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.text);
        const CliOptions options = ParseCliOptions({"--size", "5x4", "--memory-budget", size.text, "in", "out"}, 1);
        EXPECT_EQ(options.memoryBudget, size.bytes);
    }
    EXPECT_EQ(ParseCliOptions({"--size", "5x4", "in", "out"}, 1).memoryBudget, std::nullopt);
    EXPECT_TRUE(ParseCliOptions({"--size", "5x4", "--verbose", "in", "out"}, 1).verbose);

    for (const char* bad : {"0", "0M", "", "M", "1.5G", "2GB", "1x", "-5", "+5", "99999999999999999999",
                            "4194305T"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(ParseCliOptions({"--size", "5x4", "--memory-budget", bad, "in", "out"}, 1), UsageError);
    }
    EXPECT_THROW(ParseCliOptions({"--size", "5x4", "--verbose=yes", "in", "out"}, 1), UsageError);
    EXPECT_THROW(ParseCliOptions({"--size", "5x4", "--verbose", "--verbose", "in", "out"}, 1), UsageError);
}

class CliEntries : public ::testing::Test {
protected:
    TempFolder source;
    TempFolder destination;
};

TEST_F(CliEntries, PictureNamesThatAreNoPicturesAreCountedAndListed)
{
    WriteBmpFile(source / "a.bmp", TestPicture(8, 6, 1, 2, 3));
    WriteBytes(source / "notes.txt", {'x'});
    ASSERT_EQ(::mkfifo((source / "f.jpg").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((source / "pipe").c_str(), 0600), 0);  // no picture's name: not counted
    std::filesystem::create_symlink("nowhere.jpg", source / "d.JPG");
    std::filesystem::create_symlink("loop.bmp", source / "loop.bmp");
    std::filesystem::create_directory(source / "x.jpg");
    std::filesystem::create_directory_symlink("x.jpg", source / "y.bmp");
    std::filesystem::create_symlink("nowhere.jpg", source / "\x1b[31mred.jpg");  // a name that would recolour

    const Result quiet = RunCli({"--size", "4x3", source.Path(), destination.Path()});
    EXPECT_EQ(quiet.exitCode, 0) << quiet.output;
    EXPECT_NE(quiet.output.find("已转换 1 张，失败 0 张，跳过 1 个其他文件，警告 0 个，跳过 6 个不能转换的图片名（文件夹 2 个，"
                                "非普通文件 1 个，链接循环 1 个，失效链接 2 个） / 1 converted, 0 failed, 1 other files "
                                "skipped, 0 warnings, 6 picture names skipped (2 folders, 1 non-regular file, 1 link "
                                "loop, 2 dangling links)\n"),
              std::string::npos)
        << quiet.output;
    EXPECT_EQ(quiet.output.find("skipped: "), std::string::npos) << quiet.output;

    const Result verbose = RunCli({"--verbose", "--size", "4x3", source.Path(), destination.Path()});
    EXPECT_EQ(verbose.exitCode, 0) << verbose.output;
    for (const char* line : {"d.JPG: 跳过 / skipped: 失效链接 / dangling link\n",
                             "f.jpg: 跳过 / skipped: 非普通文件 / not a regular file\n",
                             "loop.bmp: 跳过 / skipped: 链接循环 / link loop\n",
                             "x.jpg: 跳过 / skipped: 文件夹 / folder\n", "y.bmp: 跳过 / skipped: 文件夹 / folder\n",
                             "\\x1B[31mred.jpg: 跳过 / skipped: 失效链接 / dangling link\n"})
        EXPECT_NE(verbose.output.find(line), std::string::npos) << line << verbose.output;
    EXPECT_EQ(verbose.output.find("pipe"), std::string::npos) << verbose.output;
    EXPECT_EQ(FolderNames(destination.Path()), std::set<std::string>{"A.bmp"});
}

// The measured case: BMPs of 60-odd bytes declaring pictures of 32 bits, on many jobs.
TEST_F(CliEntries, BombsUnderASmallBudgetAllConvert)
{
    for (int i = 0; i < 8; ++i) {
        BmpBuilder bomb;
        bomb.width = 1024;
        bomb.height = 1024;
        bomb.bitCount = 32;
        WriteBytes(source / ("b" + std::to_string(i) + ".bmp"), bomb.Bytes());
    }
    for (const char* budget : {"1", "8M"}) {
        SCOPED_TRACE(budget);
        const TempFolder out;
        const Result result = RunCli({"--size", "4x3", "--jobs", "8", "--memory-budget", budget, source.Path(), out.Path()});
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_NE(result.output.find("8 converted, 0 failed, 0 other files skipped, 8 warnings\n"), std::string::npos)
            << result.output;
    }
}

}  // namespace

}  // namespace picbatch
