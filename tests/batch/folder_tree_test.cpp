// Runs through folder trees: the walk's order and what it leaves out, the mirrored outputs,
// the originals across the tree, and outputs left up to date.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "batch/folder_conversion.h"
#include "batch/folder_tree.h"
#include "batch/output_claims.h"
#include "batch/run_engine.h"
#include "batch/up_to_date.h"
#include "tests/batch/picture_files.h"
#include "tests/common/without_permission_override.h"

namespace picbatch {
namespace {

namespace fs = std::filesystem;

// What a source gives, one line an entry: the path, and for entries not taken why.
std::vector<std::string> Walk(EntrySource& source)
{
    std::vector<std::string> lines;
    while (const std::optional<ListedEntry> entry = source.Next()) {
        std::string line = entry->path;
        if (entry->kind == ListedEntry::Kind::PassedOver)
            line += " passed over " + std::to_string(static_cast<int>(entry->reason));
        if (entry->kind == ListedEntry::Kind::Refused)
            line += " refused: " + entry->failure;
        lines.push_back(line);
    }
    return lines;
}

TEST(FolderTree, FolderByFolderInNameOrder)
{
    const TempFolder root;
    for (const char* folder : {"b", "A/deeper", "A/empty", "c.jpg", ".hidden", "out"})
        fs::create_directories(root / folder);
    for (const char* file : {"z.jpg", "B.txt", "A/a.bmp", "A/deeper/x.png", "b/y.jpg", "c.jpg/in.jpg", ".hidden/h.jpg",
                             "A/.h.jpg", "out/O.jpg"})
        WriteBytes(root / file, {1});
    fs::create_directory_symlink(root / "b", root / "A/link");
    fs::create_symlink(root / "z.jpg", root / "A/file-link.jpg");
    fs::create_symlink(root / "nowhere", root / "A/dangling.jpg");
    ASSERT_EQ(mkfifo((root / "A/fifo.jpg").c_str(), 0600), 0);

    FolderTree tree(root.Path(), root / "out");
    const auto passed = [](const char* path, PassedOverReason reason) {
        return std::string(path) + " passed over " + std::to_string(static_cast<int>(reason));
    };
    // A folder's pictures (names passed over among them), its other files, then its
    // subfolders; the destination, hidden names and what a link to a folder holds are never
    // entries.
    EXPECT_EQ(Walk(tree), (std::vector<std::string>{
                              "z.jpg", "B.txt", "A/a.bmp", passed("A/dangling.jpg", PassedOverReason::DanglingLink),
                              passed("A/fifo.jpg", PassedOverReason::NotRegularFile), "A/file-link.jpg",
                              passed("A/link", PassedOverReason::FolderLink), "A/deeper/x.png", "b/y.jpg",
                              "c.jpg/in.jpg"}));
    // Counting takes the same entries, in any order.
    const EntryCounts counts = CountEntries(FolderTree(root.Path(), root / "out"), std::nullopt);
    EXPECT_EQ(counts.pictures, 6u);
    EXPECT_EQ(counts.entries, 10u);
    EXPECT_EQ(counts.reported, 6u);
}

TEST(FolderTree, AnUnreadableFolderIsReportedAndTheWalkGoesOn)
{
    const TempFolder root;
    fs::create_directories(root / "a");
    fs::create_directories(root / "locked");
    WriteBytes(root / "a/1.jpg", {1});
    WriteBytes(root / "locked/2.jpg", {1});
    WriteBytes(root / "z.jpg", {1});
    fs::permissions(root / "locked", fs::perms::none);
    std::vector<std::string> lines;
    {
        const WithoutPermissionOverride noOverride;
        if (!noOverride.Active())
            GTEST_SKIP() << "root's power over permissions cannot be dropped here";
        FolderTree tree(root.Path(), "");
        lines = Walk(tree);
    }
    fs::permissions(root / "locked", fs::perms::owner_all);
    EXPECT_EQ(lines, (std::vector<std::string>{"z.jpg", "a/1.jpg",
                                               "locked refused: " + UnreadableFolderMessage(EACCES)}));
}

class TreeRun : public ::testing::Test {
protected:
    ConversionSummary Run(const std::string& destination, ConversionOptions options = {})
    {
        options.recursive = true;
        FolderConversion job{source.Path(), destination, {8, 6, OutputMode::KeepFormat, options}, 2};
        return ConvertFolder(job, std::make_unique<FolderTree>(source.Path(), destination), {}, {});
    }
    TempFolder source;
};

TEST_F(TreeRun, OutputsMirrorTheTreeAndNeverReplaceAnOriginal)
{
    fs::create_directories(source / "2024/Summer");
    WriteJpegFile(source / "2024/Summer/img.jpg", TestPicture(16, 12, 200, 30, 30));
    WriteBmpFile(source / "2024/Summer/IMG.bmp", TestPicture(16, 12, 30, 200, 30));
    WriteJpegFile(source / "top.jpg", TestPicture(16, 12, 30, 30, 200));

    // The destination inside the source: never listed; its subfolders are made on the way.
    fs::create_directories(source / "out");
    ConversionSummary summary = Run(source / "out");
    EXPECT_EQ(summary.converted, 3);
    EXPECT_TRUE(fs::is_regular_file(source / "out/2024/Summer/IMG.jpg"));
    EXPECT_TRUE(fs::is_regular_file(source / "out/2024/Summer/IMG.bmp"));
    EXPECT_TRUE(fs::is_regular_file(source / "out/TOP.jpg"));
    summary = Run(source / "out");
    EXPECT_EQ(summary.converted, 3) << "the outputs of the first run were taken for sources";

    // A destination holding a link to a picture elsewhere in the tree: that picture is a
    // source of the run, and is not replaced.
    const std::vector<std::uint8_t> original = ReadBytes(source / "2024/Summer/img.jpg");
    WriteJpegFile(source / "2024/Summer/TOP.jpg", TestPicture(16, 12, 1, 2, 3));
    fs::create_directories(source / "mirror");
    fs::create_symlink(source / "2024/Summer/TOP.jpg", source / "mirror/TOP.jpg");
    FolderConversion job{source.Path(), source / "mirror", {8, 6, OutputMode::Jpeg, {}}, 1};
    job.request.options.recursive = true;
    summary = ConvertFolder(job, std::make_unique<FolderTree>(source.Path(), source / "mirror"), {}, {});
    std::map<std::string, std::string> failures;
    for (const EntryFailure& failure : summary.failures)
        failures[failure.name] = failure.message;
    EXPECT_EQ(failures["top.jpg"], OtherSourceMessage("2024/Summer/TOP.jpg"));
    EXPECT_EQ(ReadBytes(source / "2024/Summer/img.jpg"), original);
}

// A folder of many other files: every name reaches the report, in batches the engine does
// not let grow with the folder.
TEST_F(TreeRun, OtherFilesAreHandedOnInBatches)
{
    std::vector<std::string> expected;
    for (int i = 0; i < 2500; ++i) {
        expected.push_back("other-" + std::to_string(i));
        WriteBytes(source / expected.back(), {});
    }
    WriteBmpFile(source / "a.bmp", TestPicture(5, 4, 1, 2, 3));
    const TempFolder out;
    std::vector<std::string> named;
    std::size_t largest = 0;
    RunEngine::Options options;
    options.entriesPassedOver = [&](const std::vector<std::string>& batch) {
        named.insert(named.end(), batch.begin(), batch.end());
        largest = std::max(largest, batch.size());
    };
    ConversionOptions recursive;
    recursive.recursive = true;
    RunEngine engine(std::make_unique<FolderTree>(source.Path(), out.Path()),
                     {source.Path(), out.Path(), {8, 6, OutputMode::KeepFormat, recursive}}, std::move(options));
    engine.Wait();
    std::sort(expected.begin(), expected.end());  // the tree hands other files on unsorted
    std::sort(named.begin(), named.end());
    EXPECT_EQ(named, expected);
    EXPECT_LE(largest, 1024U);
    EXPECT_EQ(engine.DonePictures(), 1U);
}

TEST(UpToDate, NewerOnlyToTheNanosecond)
{
    const TempFolder folder;
    WriteBytes(folder / "a.jpg", {1});
    WriteBytes(folder / "A.jpg", {2});
    fs::create_symlink(folder / "A.jpg", folder / "L.jpg");
    const auto setTime = [&](const std::string& name, long seconds, long nanoseconds) {
        const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
        ASSERT_EQ(utimensat(AT_FDCWD, (folder / name).c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    };
    struct Case {
        long sourceNs;
        long outputSeconds;
        long outputNs;
        bool upToDate;
    };
    const Case cases[] = {{5, 1000, 5, false}, {5, 1000, 6, true}, {6, 1000, 5, false}, {999999999, 1001, 0, true},
                          {0, 999, 999999999, false}};
    for (const Case& c : cases) {
        setTime("a.jpg", 1000, c.sourceNs);
        setTime("A.jpg", c.outputSeconds, c.outputNs);
        setTime("L.jpg", c.outputSeconds + 10, 0);
        EXPECT_EQ(OutputUpToDate(folder / "a.jpg", folder / "A.jpg"), c.upToDate) << c.outputSeconds << "." << c.outputNs;
        EXPECT_FALSE(OutputUpToDate(folder / "a.jpg", folder / "L.jpg")) << "a link is no output of a run";
    }
    EXPECT_FALSE(OutputUpToDate(folder / "a.jpg", folder / "missing.jpg"));
}

TEST_F(TreeRun, UpToDateOutputsAreLeftAndCounted)
{
    fs::create_directories(source / "sub");
    WriteJpegFile(source / "sub/a.jpg", TestPicture(16, 12, 200, 30, 30));
    WriteJpegFile(source / "b.jpg", TestPicture(16, 12, 30, 200, 30));
    // Older than any output: the file system's clock may give a file written a moment later
    // the same time, which is not newer.
    const timespec older[2] = {{1000, 0}, {1000, 0}};
    for (const char* name : {"sub/a.jpg", "b.jpg"})
        ASSERT_EQ(utimensat(AT_FDCWD, (source / name).c_str(), older, 0), 0);
    const TempFolder out;
    ConversionOptions skip;
    skip.skipUpToDate = true;
    EXPECT_EQ(Run(out.Path(), skip).converted, 2);
    // A changed source is converted again; its output's time is then later than its own.
    const timespec later[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
    const timespec old[2] = {{100, 0}, {100, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (out / "B.jpg").c_str(), old, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, (source / "b.jpg").c_str(), later, 0), 0);
    const ConversionSummary again = Run(out.Path(), skip);
    EXPECT_EQ(again.converted, 1);
    EXPECT_EQ(again.upToDate, 1);
    EXPECT_TRUE(again.failures.empty());
    EXPECT_EQ(Run(out.Path()).converted, 2) << "without the option every output is replaced";
}

}  // namespace
}  // namespace picbatch
