// The output file on both of its roads (an unnamed temporary, a named one): nothing changes at
// the path before Commit, bytes land where they were written, failures keep the old file and
// leave no temporary, and paths longer than the system takes work. Leftovers of killed runs
// are told from the temporaries of running ones.
#include "pictures/files/output_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <gtest/gtest.h>

#include "pictures/files/long_path.h"
#include "pictures/files/replace_file.h"
#include "pictures/files/stale_temporaries.h"
#include "tests/common/deep_folder.h"
#include "tests/common/small_tmpfs.h"
#include "tests/pictures/scratch_folder.h"

namespace picbatch {

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

// The names in folder that are temporaries of this program.
std::vector<std::string> Temporaries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".picbatch-"))
            names.push_back(name);
    }
    return names;
}

class OutputFileRoad : public ::testing::TestWithParam<OutputFile::Temporary> {
protected:
    bool NamedRoad() const { return GetParam() == OutputFile::Temporary::Named; }
};

TEST_P(OutputFileRoad, ThePathChangesOnlyAtCommitAndGetsEveryByteWhereItWasWritten)
{
    ScratchFolder folder;
    WriteText(folder / "A.bmp", "old");
    const mode_t previousMask = ::umask(027);
    {
        OutputFile file(folder / "A.bmp", GetParam());
        // Out of order, as the bottom-up BMP rows are written.
        file.WriteAt(4, Bytes("5678"));
        file.WriteAt(0, Bytes("1234"));
        EXPECT_EQ(ReadText(folder / "A.bmp"), "old");
        EXPECT_EQ(Temporaries(folder.Path()).size(), NamedRoad() ? 1u : 0u);
        if (NamedRoad()) {
            EXPECT_FALSE(file.Unnamed());
        }
        file.Commit();
    }
    ::umask(previousMask);
    EXPECT_EQ(ReadText(folder / "A.bmp"), "12345678");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"A.bmp"});
}

// A new file gets 0666 less the umask; a file replacing another keeps that one's permission
// bits (never widened, never a set-user-ID bit carried over).
TEST_P(OutputFileRoad, AReplacedFileKeepsItsPermissions)
{
    const struct {
        std::optional<mode_t> before;
        mode_t after;
    } cases[] = {{std::nullopt, 0640}, {0600, 0600}, {0664, 0664}, {0400 | 0200 | 04000, 0600}};
    const mode_t previousMask = ::umask(027);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before ? std::to_string(*c.before) : "new");
        ScratchFolder folder;
        if (c.before) {
            WriteText(folder / "A.bmp", "old");
            ASSERT_EQ(::chmod((folder / "A.bmp").c_str(), *c.before), 0);
        }
        OutputFile file(folder / "A.bmp", GetParam());
        file.WriteAt(0, Bytes("new"));
        file.Commit();
        struct stat written {};
        ASSERT_EQ(::stat((folder / "A.bmp").c_str(), &written), 0);
        EXPECT_EQ(written.st_mode & 07777, c.after);
    }
    ::umask(previousMask);
}

// Written by root, the replacing file keeps the owner and group of the one it replaces.
TEST_P(OutputFileRoad, RootKeepsTheReplacedFilesOwner)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root gives files away";
    ScratchFolder folder;
    WriteText(folder / "A.bmp", "old");
    ASSERT_EQ(::chown((folder / "A.bmp").c_str(), 65534, 65534), 0);
    OutputFile file(folder / "A.bmp", GetParam());
    file.WriteAt(0, Bytes("new"));
    file.Commit();
    struct stat written {};
    ASSERT_EQ(::stat((folder / "A.bmp").c_str(), &written), 0);
    EXPECT_EQ(written.st_uid, 65534U);
    EXPECT_EQ(written.st_gid, 65534U);
}

TEST_P(OutputFileRoad, AnUncommittedFileLeavesTheOldOneAndNothingElse)
{
    ScratchFolder folder;
    WriteText(folder / "A.jpg", "old");
    {
        OutputFile file(folder / "A.jpg", GetParam());
        file.WriteAt(0, Bytes("half a picture"));
    }
    {
        OutputFile nothingWritten(folder / "B.jpg", GetParam());
    }
    EXPECT_EQ(ReadText(folder / "A.jpg"), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"A.jpg"});
}

// Nothing touches the disk before the first byte: an unusable destination is reported then,
// after whatever an encoder refused first.
TEST_P(OutputFileRoad, AMissingFolderIsReportedAtTheFirstWrite)
{
    ScratchFolder folder;
    const std::string path = folder / "missing/A.jpg";
    OutputFile file(path, GetParam());
    EXPECT_EQ(MessageOf([&] { file.WriteAt(0, Bytes("x")); }),
              "Cannot create file \"" + path + "\". No such file or directory");
    EXPECT_EQ(FailureCauseOf([&] { file.WriteAt(0, Bytes("x")); }), FailureCause::FolderNotFound);
}

TEST_P(OutputFileRoad, AFullOrReadOnlyDiskSaysWhyAndKeepsTheOldFile)
{
    SmallTmpfs disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.WhyNot();
    ReplaceFile(disk / "A.jpg", Bytes("old"));
    const std::vector<std::uint8_t> block(16 * 1024, 0x5A);
    const auto fill = [&] {
        OutputFile file(disk / "A.jpg", GetParam());
        for (std::int64_t offset = 0; offset < 1024 * 1024; offset += static_cast<std::int64_t>(block.size()))
            file.WriteAt(offset, block);
        file.Commit();
    };
    EXPECT_EQ(MessageOf(fill), "Stream write error. No space left on device");
    EXPECT_EQ(FailureCauseOf(fill), FailureCause::DiskFull);
    EXPECT_EQ(ReadText(disk / "A.jpg"), "old");
    EXPECT_TRUE(Temporaries(disk.Path()).empty());

    ASSERT_TRUE(disk.MakeReadOnly()) << std::strerror(errno);
    const auto write = [&] {
        OutputFile file(disk / "B.jpg", GetParam());
        file.WriteAt(0, Bytes("new"));
    };
    EXPECT_EQ(MessageOf(write), "Cannot create file \"" + (disk / "B.jpg") + "\". Read-only file system");
    EXPECT_EQ(FailureCauseOf(write), FailureCause::ReadOnlyFileSystem);
    EXPECT_EQ(ReadText(disk / "A.jpg"), "old");
}

// A destination deeper than PATH_MAX: made, written and read back through folder descriptors.
TEST_P(OutputFileRoad, PathsLongerThanTheSystemTakesWork)
{
    const DeepFolder folder;
    const std::string deep = folder.Path();
    const std::string path = deep + "/A.jpg";
    {
        OutputFile file(path, GetParam());
        file.WriteAt(0, Bytes("deep"));
        file.Commit();
    }
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(ReadText(path), "deep");
    EXPECT_FALSE(FileExists(deep + "/B.jpg"));
    EXPECT_EQ(FailureCauseOf([&] { ReadFileBytes(deep + "/B.jpg"); }), FailureCause::FileNotFound);
    EXPECT_GE(OpenFolder(deep, O_RDONLY).Get(), 0);
}

INSTANTIATE_TEST_SUITE_P(Roads, OutputFileRoad,
                         ::testing::Values(OutputFile::Temporary::Unnamed, OutputFile::Temporary::Named),
                         [](const auto& info) {
                             return std::string(info.param == OutputFile::Temporary::Named ? "Named" : "Unnamed");
                         });

TEST(TemporaryName, IsHiddenAndCarriesThisProcess)
{
    const std::string name = TemporaryName();
    EXPECT_TRUE(name.starts_with(".picbatch-")) << name;
    EXPECT_TRUE(name.ends_with(".tmp")) << name;
    EXPECT_NE(name.find("-" + std::to_string(::getpid()) + "-"), std::string::npos) << name;
    EXPECT_NE(TemporaryName(), name);
}

// A process id that no longer runs: a child's that has ended.
pid_t EndedProcess()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

// Only the leftovers of this host's processes that no longer run, and that nobody holds, go.
TEST(RemoveStaleTemporaries, RemovesOnlyWhatNoRunningProcessCanOwn)
{
    ScratchFolder folder;
    const std::string ended = std::to_string(EndedProcess());
    const std::string stale = TemporaryNamePrefix() + ended + "-abcdefgh.tmp";
    const std::string kept[] = {
        TemporaryNamePrefix() + std::to_string(::getpid()) + "-abcdefgh.tmp",  // a running process's
        ".picbatch-elsewhere-" + ended + "-abcdefgh.tmp",                       // another host's
        ".picbatch-abcdefgh.tmp",                                                // no process id
        TemporaryNamePrefix() + ended + "-abcdefgh.tmp.bmp",
        TemporaryNamePrefix() + ended + "-abc.tmp",
        "A.bmp",
    };
    WriteText(folder / stale, "left by a killed run");
    for (const std::string& name : kept)
        WriteText(folder / name, "x");
    const std::string locked = TemporaryNamePrefix() + ended + "-locked00.tmp";
    WriteText(folder / locked, "x");
    const int holder = ::open((folder / locked).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    const std::string link = TemporaryNamePrefix() + ended + "-link0000.tmp";
    fs::create_symlink(folder / "A.bmp", folder.Path() / link);

    EXPECT_EQ(RemoveStaleTemporaries(folder.Path().string()), 1);
    ::close(holder);
    std::vector<std::string> expected(std::begin(kept), std::end(kept));
    expected.push_back(locked);
    expected.push_back(link);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Names(), expected);
}

}  // namespace

}  // namespace picbatch
