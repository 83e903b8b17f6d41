// Whole-file reads and safe replacement: contents, permissions, error texts, and that a
// failed replacement leaves the old file and no temporary behind.
#include "pictures/files/file_io.h"
#include "pictures/files/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

#include "tests/common/small_tmpfs.h"
#include "tests/common/without_permission_override.h"
#include "tests/pictures/scratch_folder.h"

namespace picbatch {

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

}  // namespace

TEST(SystemErrorText, DropsTrailingPeriodsBlanksAndControls)
{
    EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(SystemErrorText(EACCES), "Permission denied");
    const std::string unknown = SystemErrorText(123456);
    ASSERT_FALSE(unknown.empty());
    EXPECT_NE(unknown.back(), '.');
    EXPECT_NE(unknown.back(), ' ');
}

TEST(AbsolutePath, ResolvesAgainstTheCurrentFolderLexically)
{
    EXPECT_EQ(AbsolutePath("/a/b/../c.jpg"), "/a/c.jpg");
    EXPECT_EQ(AbsolutePath("/a//b.jpg"), "/a/b.jpg");
    const std::string current = fs::current_path().string();
    EXPECT_EQ(AbsolutePath("x.jpg"), (fs::path(current) / "x.jpg").string());
}

TEST(ReadFileBytes, ReadsWholeFilesOfAnySize)
{
    ScratchFolder folder;
    WriteText(folder / "empty", "");
    EXPECT_TRUE(ReadFileBytes(folder / "empty").empty());

    // Larger than one read chunk, and not a multiple of it.
    std::string big(200'000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 + i / 251);
    WriteText(folder / "big", big);
    EXPECT_EQ(ReadText(folder / "big"), big);
}

TEST(ReadFileBytes, RefusesWhatCannotBeOpenedWithTheAbsolutePath)
{
    ScratchFolder folder;
    EXPECT_EQ(MessageOf([&] { ReadFileBytes(folder / "missing.jpg"); }),
              "Cannot open file \"" + (folder / "missing.jpg") + "\". No such file or directory");
    EXPECT_EQ(FailureCauseOf([&] { ReadFileBytes(folder / "missing.jpg"); }), FailureCause::FileNotFound);
    EXPECT_EQ(FailureCauseOf([&] { ReadFileBytes(folder / "missing/a.jpg"); }), FailureCause::FileNotFound);
    fs::create_directory(folder.Path() / "sub.jpg");
    EXPECT_EQ(MessageOf([&] { ReadFileBytes(folder / "sub.jpg"); }),
              "Cannot open file \"" + (folder / "sub.jpg") + "\". Is a directory");
    // A FIFO without a writer must be refused at once, not block the caller.
    ASSERT_EQ(::mkfifo((folder / "pipe.jpg").c_str(), 0600), 0);
    EXPECT_EQ(MessageOf([&] { ReadFileBytes(folder / "pipe.jpg"); }),
              "Cannot open file \"" + (folder / "pipe.jpg") + "\". Invalid argument");
    // Larger than any allowed picture needs: refused before any memory is taken (the file
    // is sparse, so it costs no disk space).
    WriteText(folder / "huge.bmp", "BM");
    fs::resize_file(folder / "huge.bmp", (std::uintmax_t{2} << 30) + 1);
    EXPECT_EQ(MessageOf([&] { ReadFileBytes(folder / "huge.bmp"); }), "Out of system resources");
    EXPECT_EQ(FailureCauseOf([&] { ReadFileBytes(folder / "huge.bmp"); }), FailureCause::TooLarge);
}

TEST(FileExists, TellsFilesFromFoldersAndNothing)
{
    ScratchFolder folder;
    WriteText(folder / "a", "x");
    fs::create_directory(folder.Path() / "d");
    EXPECT_TRUE(FileExists(folder / "a"));
    EXPECT_FALSE(FileExists(folder / "d"));
    EXPECT_FALSE(FileExists(folder / "none"));
}

TEST(WriteAllBytesAt, AFullDeviceIsAStreamWriteErrorThatSaysWhy)
{
    const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        GTEST_SKIP() << "no /dev/full";
    const auto bytes = Bytes("some picture bytes");
    EXPECT_EQ(MessageOf([&] { WriteAllBytesAt(fd, 0, bytes); }), "Stream write error. No space left on device");
    EXPECT_EQ(FailureCauseOf([&] { WriteAllBytesAt(fd, 0, bytes); }), FailureCause::DiskFull);
    ::close(fd);
}

// A disk that fills up while the picture is written, and one mounted read-only: the message
// says why, the old file stays and no temporary is left behind.
TEST(ReplaceFile, AFullOrReadOnlyDiskSaysSoAndKeepsTheOldFile)
{
    SmallTmpfs disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.WhyNot();
    ReplaceFile(disk / "A.jpg", Bytes("old"));
    const std::vector<std::uint8_t> large(256 * 1024, 0x5A);
    EXPECT_EQ(MessageOf([&] { ReplaceFile(disk / "A.jpg", large); }), "Stream write error. No space left on device");
    EXPECT_EQ(FailureCauseOf([&] { ReplaceFile(disk / "A.jpg", large); }), FailureCause::DiskFull);
    EXPECT_EQ(ReadText(disk / "A.jpg"), "old");

    ASSERT_TRUE(disk.MakeReadOnly()) << std::strerror(errno);
    for (const std::string name : {"A.jpg", "B.jpg"}) {
        EXPECT_EQ(MessageOf([&] { ReplaceFile(disk / name, Bytes("new")); }),
                  "Cannot create file \"" + (disk / name) + "\". Read-only file system")
            << name;
        EXPECT_EQ(FailureCauseOf([&] { ReplaceFile(disk / name, Bytes("new")); }), FailureCause::ReadOnlyFileSystem)
            << name;
    }
    EXPECT_EQ(ReadText(disk / "A.jpg"), "old");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(disk.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"A.jpg"});
}

TEST(ReplaceFile, CreatesWithOrdinaryPermissionsAndReplacesKeepingThem)
{
    ScratchFolder folder;
    const std::string target = folder / "PHOTO.jpg";
    const mode_t previousMask = ::umask(022);
    ReplaceFile(target, Bytes("first"));
    EXPECT_EQ(ReadText(target), "first");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read
                  | fs::perms::others_read);

    // A replaced file keeps its permissions, whatever the umask says of new ones.
    ::umask(077);
    ReplaceFile(target, Bytes("second, longer"));
    ::umask(previousMask);
    EXPECT_EQ(ReadText(target), "second, longer");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read
                  | fs::perms::others_read);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"PHOTO.jpg"});

    // Empty content and a relative path work too.
    const fs::path previous = fs::current_path();
    fs::current_path(folder.Path());
    ReplaceFile("rel.bmp", {});
    fs::current_path(previous);
    EXPECT_EQ(fs::file_size(folder / "rel.bmp"), 0u);
}

TEST(ReplaceFile, FailuresKeepTheOldFileAndLeaveNoTemporary)
{
    ScratchFolder folder;
    EXPECT_EQ(MessageOf([&] { ReplaceFile(folder / "missing/A.jpg", Bytes("x")); }),
              "Cannot create file \"" + (folder / "missing/A.jpg") + "\". No such file or directory");
    EXPECT_EQ(FailureCauseOf([&] { ReplaceFile(folder / "missing/A.jpg", Bytes("x")); }),
              FailureCause::FolderNotFound);
    EXPECT_TRUE(folder.Names().empty());

    // A folder where the output should go cannot be replaced by a file.
    fs::create_directory(folder.Path() / "B.jpg");
    EXPECT_EQ(MessageOf([&] { ReplaceFile(folder / "B.jpg", Bytes("x")); }),
              "Cannot create file \"" + (folder / "B.jpg") + "\". Is a directory");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"B.jpg"});

    WriteText(folder / "C.jpg", "old");
    const WithoutPermissionOverride asUser;
    if (!asUser.Active())
        GTEST_SKIP() << "cannot give up root's permission override here";
    fs::permissions(folder / "C.jpg", fs::perms::owner_read);
    EXPECT_EQ(MessageOf([&] { ReplaceFile(folder / "C.jpg", Bytes("new")); }),
              "Cannot create file \"" + (folder / "C.jpg") + "\". Permission denied");
    EXPECT_EQ(FailureCauseOf([&] { ReplaceFile(folder / "C.jpg", Bytes("new")); }), FailureCause::AccessDenied);
    fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    fs::permissions(folder / "C.jpg", fs::perms::owner_all);
    EXPECT_EQ(MessageOf([&] { ReplaceFile(folder / "C.jpg", Bytes("new")); }),
              "Cannot create file \"" + (folder / "C.jpg") + "\". Permission denied");
    fs::permissions(folder.Path(), fs::perms::owner_all);
    EXPECT_EQ(ReadText(folder / "C.jpg"), "old");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"B.jpg", "C.jpg"}));
}

}  // namespace picbatch
