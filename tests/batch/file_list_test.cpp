// Lists of files: every kind of line, both separators, and shards that together make one run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "batch/file_list.h"
#include "batch/folder_conversion.h"
#include "batch/folder_tree.h"
#include "tests/batch/picture_files.h"

namespace picbatch {
namespace {

namespace fs = std::filesystem;

std::shared_ptr<const ListFile> ListOf(const TempFolder& folder, const std::string& bytes)
{
    const std::string path = folder / "list";
    std::ofstream(path, std::ios::binary) << bytes;
    return ListFile::Open(path);
}

TEST(FileList, EveryLineIsAnEntryWithWhy)
{
    const TempFolder base;
    fs::create_directories(base / "sub");
    WriteBytes(base / "a.jpg", {1});
    WriteBytes(base / "sub/b line.png", {1});
    WriteBytes(base / "notes.txt", {1});
    struct Case {
        std::string line;
        std::string path;
        ListedEntry::Kind kind;
        PassedOverReason reason;
        std::string failure;
    };
    using Kind = ListedEntry::Kind;
    const std::vector<Case> cases = {
        {"a.jpg", "a.jpg", Kind::File, {}, {}},
        {"sub/b line.png", "sub/b line.png", Kind::File, {}, {}},
        {"notes.txt", "notes.txt", Kind::File, {}, {}},  // passed over by the run, as in a folder
        {base / "sub/../a.jpg", "a.jpg", Kind::PassedOver, PassedOverReason::Duplicate, {}},
        {"./sub//b line.png", "sub/b line.png", Kind::PassedOver, PassedOverReason::Duplicate, {}},
        {"", "", Kind::PassedOver, PassedOverReason::EmptyLine, {}},
        {"sub", "sub", Kind::PassedOver, PassedOverReason::Folder, {}},
        {"missing.jpg", "missing.jpg", Kind::Refused, {}, MissingListedFileMessage(ENOENT)},
        {"../a.jpg", "../a.jpg", Kind::Refused, {}, OutsideBaseMessage()},
        {"/etc/hostname", "/etc/hostname", Kind::Refused, {}, OutsideBaseMessage()},
    };
    for (const char separator : {'\n', '\0'}) {
        std::string bytes;
        for (const Case& c : cases)
            bytes += c.line + separator;
        FileList list(ListOf(base, bytes), base.Path(), separator);
        for (const Case& c : cases) {
            const std::optional<ListedEntry> entry = list.Next();
            ASSERT_TRUE(entry) << c.line;
            EXPECT_EQ(entry->path, c.path) << c.line;
            EXPECT_EQ(entry->kind, c.kind) << c.line;
            if (c.kind == Kind::PassedOver)
                EXPECT_EQ(entry->reason, c.reason) << c.line;
            EXPECT_EQ(entry->failure, c.failure) << c.line;
        }
        EXPECT_FALSE(list.Next());
    }
    // A newline is a name's byte like any other in a NUL-separated list; a last line needs no
    // separator.
    WriteBytes(base / "new\nline.jpg", {1});
    FileList list(ListOf(base, std::string("new\nline.jpg\0a.jpg", 18)), base.Path(), '\0');
    EXPECT_EQ(list.Next()->path, "new\nline.jpg");
    EXPECT_EQ(list.Next()->path, "a.jpg");
    EXPECT_FALSE(list.Next());
    EXPECT_THROW(ListFile::Open(base / "no such list"), Error);
    EXPECT_THROW(ListFile::Open(base.Path()), Error);
}

TEST(Shard, ParsedAndStable)
{
    EXPECT_EQ(ParseShard("1/4"), (Shard{1, 4}));
    EXPECT_EQ(ParseShard("4/4"), (Shard{4, 4}));
    for (const char* bad : {"0/4", "5/4", "a/b", "1/0", "-1/4", "+1/4", "1/4/", "14", "", "1/99999999999"})
        EXPECT_EQ(ParseShard(bad), std::nullopt) << bad;
    // The documented hash, so that scripts elsewhere can compute an entry's shard.
    EXPECT_EQ(Fnv1a64(""), 14695981039346656037ull);
    EXPECT_EQ(Fnv1a64("a"), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(ShardOf("a", 4), 0xaf63dc4c8601ec8cull % 4 + 1);
}

// Every split into shards writes, together, exactly the files of one run, numbered alike.
TEST(Shard, ShardsTogetherAreOneRun)
{
    const TempFolder source;
    std::string list;
    for (int i = 0; i < 12; ++i) {
        const std::string folder = "f" + std::to_string(i % 3);
        fs::create_directories(source / folder);
        const std::string entry = folder + "/p" + std::to_string(i) + ".jpg";
        WriteJpegFile(source / entry, TestPicture(10 + i, 8, static_cast<std::uint8_t>(20 * i), 90, 30));
        list += entry + "\n";
    }
    list += "missing.jpg\n";
    const TempFolder lists;
    ConversionOptions options;
    options.nameTemplate = "{name}-{n}";
    const auto run = [&](const std::string& destination, std::optional<Shard> shard, bool fromList) {
        FolderConversion job{source.Path(), destination, {6, 5, OutputMode::KeepFormat, options}, 2};
        job.shard = shard;
        job.request.options.recursive = !fromList;
        std::unique_ptr<EntrySource> entries;
        if (fromList)
            entries = std::make_unique<FileList>(ListOf(lists, list), source.Path(), '\n');
        else
            entries = std::make_unique<FolderTree>(source.Path(), destination);
        return ConvertFolder(job, std::move(entries), {}, {});
    };
    const auto files = [](const std::string& folder) {
        std::map<std::string, std::vector<std::uint8_t>> files;
        for (const auto& file : fs::recursive_directory_iterator(folder)) {
            if (file.is_regular_file())
                files[fs::relative(file.path(), folder).string()] = ReadBytes(file.path().string());
        }
        return files;
    };
    for (const bool fromList : {true, false}) {
        const TempFolder whole;
        const ConversionSummary one = run(whole.Path(), std::nullopt, fromList);
        EXPECT_EQ(one.converted, 12);
        // Numbered in the whole listing's order, whatever the shard.
        ASSERT_TRUE(files(whole.Path()).contains(fromList ? "f1/p10-11.jpg" : "f1/p10-06.jpg"));
        for (const std::uint32_t count : {2u, 5u}) {
            const TempFolder split;
            int converted = 0;
            std::size_t failures = 0;
            for (std::uint32_t index = 1; index <= count; ++index) {
                const ConversionSummary part = run(split.Path(), Shard{index, count}, fromList);
                converted += part.converted;
                failures += part.failures.size();
            }
            EXPECT_EQ(converted, one.converted) << count;
            EXPECT_EQ(failures, one.failures.size()) << count;
            EXPECT_EQ(files(split.Path()), files(whole.Path())) << count << (fromList ? " from a list" : " in a tree");
        }
    }
}

}  // namespace
}  // namespace picbatch
