// The failure texts of a run's entries: the message of what failed, and where the cause is
// known, a short explanation. Each cause is met for real: files made here, a folder without
// permissions, a small file system filled up or mounted read-only.
#include "batch/failure_text.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <gtest/gtest.h>

#include "batch/entry_conversion.h"
#include "batch/output_claims.h"
#include "imaging/raster.h"
#include "tests/batch/picture_files.h"
#include "tests/common/jpeg_markers.h"
#include "tests/common/libjpeg_compress.h"
#include "tests/common/small_tmpfs.h"
#include "tests/common/without_permission_override.h"
#include "tests/pictures/png_builder.h"
#include "tests/pictures/webp_builder.h"

namespace picbatch {

namespace {

std::vector<std::uint8_t> Jpeg(int width, int height, const CompressSetup& setup = {})
{
    return LibjpegCompress(width, height, 3, JCS_RGB,
                           [](int x, int y, std::uint8_t* rgb) {
                               rgb[0] = static_cast<std::uint8_t>(x * 9);
                               rgb[1] = static_cast<std::uint8_t>(y * 5);
                               rgb[2] = static_cast<std::uint8_t>(x ^ y);
                           },
                           setup);
}

// png with the checksum of its first chunk of type turned wrong.
std::vector<std::uint8_t> WithBadChecksum(std::vector<std::uint8_t> png, const std::string& type)
{
    const auto at = static_cast<std::size_t>(std::search(png.begin(), png.end(), type.begin(), type.end()) - png.begin());
    const std::size_t length = std::size_t{png[at - 4]} << 24 | std::size_t{png[at - 3]} << 16
        | std::size_t{png[at - 2]} << 8 | png[at - 1];
    png[at + 4 + length + 3] ^= 1;
    return png;
}

// png with a text chunk after its header whose checksum does not match.
std::vector<std::uint8_t> WithDamagedText(std::vector<std::uint8_t> png)
{
    const std::string chunk = std::string("\0\0\0\x0DtEXtComment\0hello", 21) + std::string(4, '\0');
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());  // the signature and IHDR: 33 bytes
    return png;
}

// The failure text of converting source/entry into destination as a run does, or "(no failure)".
std::string EntryFailure(const std::string& source, const std::string& destination, const std::string& entry,
                         int width = 5, int height = 4)
{
    OutputClaims claims;
    const EntryLocation location{source, destination, entry};
    return EntryFailureOf([&] {
        ConvertEntry(location, PlanEntry(location, {width, height, OutputMode::KeepFormat, {}}), claims);
    }).value_or("(no failure)");
}

TEST(EntryFailureText, PictureFailuresSayWhatIsWrongWithTheFile)
{
    const TempFolder source;
    const TempFolder destination;
    const std::vector<std::uint8_t> good = Jpeg(16, 16);
    const std::vector<std::uint8_t> progressive444 = Jpeg(16, 16, [](jpeg_compress_struct& c) {
        c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
        jpeg_simple_progression(&c);
    });
    const std::string text = "just some words\n";
    const std::vector<std::uint8_t> bmp = EncodeBmp(TestPicture(8, 6, 1, 2, 3));
    const std::vector<std::uint8_t> png = BuildPng({2, 2}, std::vector<std::uint8_t>(12, 0x80));
    const struct {
        const char* entry;
        std::vector<std::uint8_t> bytes;
        const char* failure;
    } cases[] = {
        {"empty.jpg", {}, "JPEG error #42（文件是空的）"},
        {"text.jpg", {text.begin(), text.end()}, "JPEG error #53（文件内容不是 JPEG 图片）"},
        {"cut.jpg", CutAt(good, FindMarker(good, 0xC0) + 7), "JPEG error #11（文件不完整，在图像数据之前就结束了）"},
        {"no scan.jpg", CutAt(good, FindMarker(good, 0xDA)), "JPEG error #59（文件不完整，在图像数据之前就结束了）"},
        {"cut.bmp", CutAt(bmp, 30), "Stream read error（文件不完整，在图像数据之前就结束了）"},
        {"large.jpg", WithFrameSize(good, 20000, 20000), "JPEG error #41（图片太大，超出了处理上限）"},
        {"lossless.jpg", Patched(good, 0xC0, 1, 0xC3),
         "JPEG error #60（不支持这种 JPEG，例如无损、算术编码或 12 位的 JPEG）"},
        {"12 bits.jpg", Patched(good, 0xC0, 4, 12), "JPEG error #15（不支持这种 JPEG，例如无损、算术编码或 12 位的 JPEG）"},
        {"memory.jpg", WithFrameSize(progressive444, 16000, 16000, 0xC2), "JPEG error #49（图片太大，解码所需的内存超出了上限）"},
        {"empty.png", {}, "Stream read error（文件是空的）"},
        {"text.png", {text.begin(), text.end()}, "PNG error #4（文件内容不是 PNG 图片）"},
        {"large.png", PngHeaderDeclaring(20000, 20000), "PNG image is too large（图片太大，超出了处理上限）"},
        {"text.webp", {text.begin(), text.end()}, "WebP error #3（文件内容不是 WebP 图片）"},
        {"moving.webp", AnimatedWebp(4, 4), "Animated WebP image is not supported（不支持动画图片，只能转换静态图片）"},
        {"bad checksum.png", WithBadChecksum(png, "IDAT"), "PNG error #18（文件已损坏，校验和不符）"},
        // Damaged in a way the code does not explain: the message alone.
        {"damaged.jpg", Patched(good, 0xDA, 6, 0x33), "JPEG error #50"},
    };
    for (const auto& c : cases) {
        WriteBytes(source / c.entry, c.bytes);
        EXPECT_EQ(EntryFailure(source.Path(), destination.Path(), c.entry), c.failure) << c.entry;
    }
    EXPECT_EQ(EntryFailure(source.Path(), destination.Path(), "gone.jpg"),
              "File not found（文件不存在，可能已被移动或删除）");
    // The error box keeps the bare message.
    EXPECT_EQ(FailureOf([] { throw Error("JPEG error #42", FailureCause::EmptyFile); }), "JPEG error #42");
    EXPECT_EQ(EntryFailureOf([] { throw std::bad_alloc(); }), "Out of system resources（内存不足）");
}

// Files that convert all the same, and what their warning says: a file cut short, and data
// that libjpeg finds corrupt and decodes past.
TEST(EntryWarningText, DamagedAndIncompleteSourcesAreWarnedOf)
{
    const TempFolder source;
    const TempFolder destination;
    const std::vector<std::uint8_t> good = Jpeg(64, 64);
    const std::size_t scan = FindMarker(good, 0xDA);
    const std::size_t end = FindLastMarker(good, 0xD9);
    std::vector<std::uint8_t> endedEarly(good.begin(), good.begin() + static_cast<std::ptrdiff_t>((scan + end) / 2));
    endedEarly.insert(endedEarly.end(), {0xFF, 0xD9});  // the first half, then the end marker
    const std::vector<std::uint8_t> png = BuildPng({2, 2}, std::vector<std::uint8_t>(12, 0x80));
    std::vector<std::uint8_t> extraneous = good;
    extraneous.insert(extraneous.begin() + static_cast<std::ptrdiff_t>(end), 24, 0x55);  // bytes before the end
    const struct {
        const char* entry;
        std::vector<std::uint8_t> bytes;
        std::optional<std::string> warning;
    } cases[] = {
        {"whole.jpg", good, std::nullopt},
        {"cut.jpg", CutAt(good, (scan + end) / 2), kIncompleteSourceWarning},
        {"ended early.jpg", endedEarly, kDamagedSourceWarning},
        {"extraneous bytes.jpg", extraneous, kDamagedSourceWarning},
        {"whole.png", png, std::nullopt},
        {"damaged text.png", WithDamagedText(png), kDamagedSourceWarning},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        WriteBytes(source / c.entry, c.bytes);
        OutputClaims claims;
        const EntryLocation location{source.Path(), destination.Path(), c.entry};
        const ConversionNotes notes =
            ConvertEntry(location, PlanEntry(location, {5, 4, OutputMode::KeepFormat, {}}), claims);
        EXPECT_EQ(WarningOf(notes), c.warning);
    }
}

TEST(EntryFailureText, FileFailuresSayWhyTheSystemRefused)
{
    const TempFolder source;
    const TempFolder destination;
    WriteBmpFile(source / "a.bmp", TestPicture(8, 6, 1, 2, 3));
    EXPECT_EQ(EntryFailure(source.Path(), destination / "missing", "a.bmp"),
              "Cannot create file \"" + destination / "missing/A.bmp" + "\". No such file or directory（目标文件夹不存在）");

    const WithoutPermissionOverride asUser;
    if (!asUser.Active())
        GTEST_SKIP() << "cannot give up root's permission override here";
    std::filesystem::permissions(destination.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(EntryFailure(source.Path(), destination.Path(), "a.bmp"),
              "Cannot create file \"" + destination / "A.bmp" + "\". Permission denied（没有访问权限）");
    std::filesystem::permissions(destination.Path(), std::filesystem::perms::owner_all);
    std::filesystem::permissions(source / "a.bmp", std::filesystem::perms::none);
    EXPECT_EQ(EntryFailure(source.Path(), destination.Path(), "a.bmp"),
              "Cannot open file \"" + source / "a.bmp" + "\". Permission denied（没有访问权限）");
    std::filesystem::permissions(source / "a.bmp", std::filesystem::perms::owner_all);
}

TEST(EntryFailureText, AFullOrReadOnlyDiskIsNamed)
{
    SmallTmpfs disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.WhyNot();
    const TempFolder source;
    WriteBmpFile(source / "a.bmp", TestPicture(8, 6, 1, 2, 3));
    // 400 x 300 at 24 bits is about 352 KiB: more than the disk holds.
    EXPECT_EQ(EntryFailure(source.Path(), disk.Path(), "a.bmp", 400, 300),
              "Stream write error. No space left on device（磁盘已满）");
    EXPECT_EQ(FolderNames(disk.Path()), std::set<std::string>{}) << "no temporary file is left";

    ASSERT_TRUE(disk.MakeReadOnly());
    EXPECT_EQ(EntryFailure(source.Path(), disk.Path(), "a.bmp"),
              "Cannot create file \"" + disk / "A.bmp" + "\". Read-only file system（磁盘是只读的，不能写入）");
}

}  // namespace

}  // namespace picbatch
