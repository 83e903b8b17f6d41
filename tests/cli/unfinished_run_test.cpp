// picbatch-cli stopped mid-run and on faulty destinations: a signal stops it with its summary
// and the shell's status, no kill leaves a temporary or a partial output, and a full, read-only
// or deeply nested destination is reported with its cause or simply works.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "batch/output_claims.h"
#include "batch/source_listing.h"
#include "pictures/bmp/bmp.h"
#include "pictures/files/file_io.h"
#include "pictures/files/long_path.h"
#include "pictures/files/replace_file.h"
#include "tests/batch/picture_files.h"
#include "tests/cli/run_cli.h"
#include "tests/common/deep_folder.h"
#include "tests/common/small_tmpfs.h"
#include "tests/common/test_picture.h"

namespace picbatch {

namespace {

constexpr int kPictures = 24;

// Names in folder that are temporaries of the program.
std::vector<std::string> Temporaries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const std::string& name : FolderNames(folder)) {
        if (name.starts_with(".picbatch-"))
            names.push_back(name);
    }
    return names;
}

// A folder of pictures that take long enough to write that a signal meets the run mid-way,
// the outputs of an earlier run in the destination, and what a whole run writes.
class StoppedRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < kPictures; ++i) {
            const auto shade = static_cast<std::uint8_t>(6 * i);
            WriteBmpFile(source / (std::to_string(100 + i) + ".bmp"), TestPicture(64, 48, shade, 90, 200));
        }
        const Result earlier = RunCli({"--size", "8x6", source.Path(), destination.Path()});
        const Result whole = RunCli({"--size", kSize, source.Path(), complete.Path()});
        ASSERT_EQ(earlier.exitCode, 0) << earlier.output;
        ASSERT_EQ(whole.exitCode, 0) << whole.output;
        for (const std::string& name : FolderNames(destination.Path())) {
            oldBytes[name] = ReadBytes(destination / name);
            newBytes[name] = ReadBytes(complete / name);
        }
    }

    // Every output is the earlier run's or the whole run's, never a part; no temporary is left.
    void ExpectOnlyWholeOutputs()
    {
        EXPECT_TRUE(Temporaries(destination.Path()).empty()) << ::testing::PrintToString(Temporaries(destination.Path()));
        EXPECT_EQ(FolderNames(destination.Path()).size(), static_cast<std::size_t>(kPictures));
        int replaced = 0;
        for (const auto& [name, old] : oldBytes) {
            const std::vector<std::uint8_t> now = ReadBytes(destination / name);
            EXPECT_TRUE(now == old || now == newBytes[name]) << name << " is partial";
            replaced += now == newBytes[name] ? 1 : 0;
        }
        EXPECT_GT(replaced, 0);
    }

    static constexpr const char* kSize = "1200x900";
    TempFolder source;
    TempFolder destination;
    TempFolder complete;
    TempFolder logs;
    std::map<std::string, std::vector<std::uint8_t>> oldBytes;
    std::map<std::string, std::vector<std::uint8_t>> newBytes;
};

struct SignalCase {
    int signal;
    int exitCode;
};

TEST_F(StoppedRun, SigintAndSigtermStopWithTheSummaryAndTheShellsStatus)
{
    for (const SignalCase c : {SignalCase{SIGINT, 130}, SignalCase{SIGTERM, 143}}) {
        BackgroundCli run({"--size", kSize, "--jobs", "2", source.Path(), destination.Path()},
                          logs / ("run" + std::to_string(c.signal)));
        ASSERT_TRUE(run.Started());
        ASSERT_TRUE(run.WaitForOutput("2/24")) << "the run ended before it could be stopped";
        run.Signal(c.signal);
        const Result result = run.Wait();
        EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
        EXPECT_NE(result.output.find(" converted, 0 failed, 0 other files skipped"), std::string::npos)
            << result.output;
        EXPECT_EQ(result.output.find("24 converted"), std::string::npos) << "the run was not stopped";
        ExpectOnlyWholeOutputs();
    }
}

TEST_F(StoppedRun, SigkillLeavesNoTemporaryAndNoPartialOutput)
{
    BackgroundCli run({"--size", kSize, "--jobs", "2", source.Path(), destination.Path()}, logs / "run");
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(run.WaitForOutput("2/24")) << "the run ended before it could be killed";
    run.Signal(SIGKILL);
    EXPECT_EQ(run.Wait().exitCode, -SIGKILL);
    ExpectOnlyWholeOutputs();
}

TEST(FaultyDestination, AFullDiskFailsEachPictureWithItsCauseAndLeavesNothing)
{
    SmallTmpfs disk(256 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.WhyNot();
    // Both roads: a BMP loaded whole, JPEG files streamed from the decoder into the file.
    TempFolder source;
    WriteBmpFile(source / "0.bmp", TestPicture(16, 12, 1, 2, 3));
    for (int i = 1; i < 4; ++i)
        WriteJpegFile(source / (std::to_string(i) + ".jpg"), TestPicture(16, 12, 1, 2, 3));
    const Result result = RunCli({"--size", "300x200", "--format", "bmp", source.Path(), disk.Path()});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("Stream write error. No space left on device"), std::string::npos) << result.output;
    EXPECT_TRUE(Temporaries(disk.Path()).empty());
    for (const std::string& name : FolderNames(disk.Path()))
        EXPECT_EQ(ReadBytes(disk / name).size(), 54u + 300 * 200 * 3) << name << " is partial";
}

TEST(FaultyDestination, AReadOnlyDiskExitsWithOneAndSaysWhy)
{
    SmallTmpfs disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.WhyNot();
    TempFolder source;
    WriteBmpFile(source / "a.bmp", TestPicture(16, 12, 1, 2, 3));
    ASSERT_TRUE(disk.MakeReadOnly()) << std::strerror(errno);

    // The destination folder cannot be made: not a usage error, a failure with its cause.
    const Result missing = RunCli({"--size", "8x6", source.Path(), disk / "new"});
    EXPECT_EQ(missing.exitCode, 1) << missing.output;
    EXPECT_NE(missing.output.find("cannot use destination folder: " + (disk / "new") + ": Read-only file system"),
              std::string::npos)
        << missing.output;

    // The folder is there, its pictures cannot be written.
    const Result existing = RunCli({"--size", "8x6", source.Path(), disk.Path()});
    EXPECT_EQ(existing.exitCode, 1) << existing.output;
    EXPECT_NE(existing.output.find("Cannot create file \"" + (disk / "A.bmp") + "\". Read-only file system"),
              std::string::npos)
        << existing.output;
}

TEST(LongPaths, FoldersDeeperThanTheSystemTakesConvert)
{
    const DeepFolder deep;
    const std::string source = deep / "source";
    const std::string destination = deep / "out/pictures";  // made by the run
    ASSERT_GE(MakeFolders(source, O_PATH).Get(), 0) << std::strerror(errno);
    ReplaceFile(source + "/a.bmp", EncodeBmp(TestPicture(16, 12, 1, 2, 3)));

    const Result result = RunCli({"--size", "8x6", source, destination});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(ListFolderFiles(destination), std::vector<std::string>{"A.bmp"});
    Raster written;
    ParseBmp(ReadFileBytes(destination + "/A.bmp"), written);
    EXPECT_EQ(written.Width(), 8);

    // The originals are known there too: an output that is its own source is refused.
    const Result inPlace = RunCli({"--size", "4x3", destination, destination});
    EXPECT_EQ(inPlace.exitCode, 1) << inPlace.output;
    EXPECT_NE(inPlace.output.find(OwnSourceMessage("A.bmp")), std::string::npos) << inPlace.output;
    ParseBmp(ReadFileBytes(destination + "/A.bmp"), written);
    EXPECT_EQ(written.Width(), 8);
}

}  // namespace

}  // namespace picbatch
