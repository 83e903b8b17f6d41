// Loading by the file name's extension and saving under the output name in each mode, with
// the working picture and existing files kept intact on every failure.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp.h"
#include "pictures/files/file_io.h"
#include "pictures/jpeg/jpeg_image.h"
#include "pictures/load_picture.h"
#include "pictures/save_picture.h"
#include "pictures/upper_case.h"
#include "tests/common/without_permission_override.h"
#include "tests/pictures/bmp_builder.h"
#include "tests/pictures/scratch_folder.h"

namespace picbatch {

namespace fs = std::filesystem;

namespace {

// A Bgr24 picture with a gradient, so decoded pixels are not all alike.
Raster Gradient(int width, int height)
{
    Raster raster;
    raster.SetPixelForm(PixelForm::Bgr24);
    raster.SetWidth(width);
    raster.SetHeight(height);
    for (int y = 0; y < height; ++y) {
        auto row = raster.Row(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1));
            row[3 * x + 1] = static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1));
            row[3 * x + 2] = 128;
        }
    }
    return raster;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

enum class Format { Jpeg, Bmp, Png, Webp, Other };

Format FormatOf(const std::string& path)
{
    const auto bytes = ReadFileBytes(path);
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8)
        return Format::Jpeg;
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
        return Format::Bmp;
    if (bytes.size() >= 4 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G')
        return Format::Png;
    if (bytes.size() >= 12 && std::string(bytes.begin() + 8, bytes.begin() + 12) == "WEBP")
        return Format::Webp;
    return Format::Other;
}

// A 2 x 2 paletted BMP with four colours.
std::vector<std::uint8_t> PalettedBmp()
{
    BmpBuilder builder;
    builder.width = 2;
    builder.height = 2;
    builder.bitCount = 8;
    builder.colorsUsed = 4;
    builder.colorTable = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {9, 9, 9, 0}};
    builder.pixels = BmpPixelArray({{0, 1}, {2, 3}});
    return builder.Bytes();
}

// The working picture before a load that must not change it.
Raster Sentinel()
{
    return Gradient(3, 2);
}

void ExpectSentinel(const Raster& working)
{
    EXPECT_EQ(working.Width(), 3);
    EXPECT_EQ(working.Height(), 2);
    EXPECT_EQ(working.Form(), PixelForm::Bgr24);
}

}  // namespace

TEST(LoadPicture, DecodesJpegNamesInAnyCaseOntoA24BitPicture)
{
    ScratchFolder folder;
    ASSERT_EQ(SavePicture(Gradient(33, 17), folder / "PHOTO.JPG", OutputMode::Jpeg), folder / "PHOTO.jpg");
    fs::copy_file(folder / "PHOTO.jpg", folder / "mixed.JpG");
    for (const char* name : {"PHOTO.jpg", "mixed.JpG"}) {
        Raster working = Sentinel();
        EXPECT_TRUE(LoadPicture(folder / name, working)) << name;
        EXPECT_EQ(working.Width(), 33) << name;
        EXPECT_EQ(working.Height(), 17) << name;
        EXPECT_EQ(working.Form(), PixelForm::Bgr24) << name;
    }
    // The name is looked up as given: the file system tells letter cases apart.
    Raster working = Sentinel();
    EXPECT_FALSE(LoadPicture(folder / "photo.jpg", working));
    ExpectSentinel(working);
}

TEST(LoadPicture, TheEightBitSettingGivesAPalettedPicture)
{
    ScratchFolder folder;
    SavePicture(Gradient(8, 8), folder / "A.JPG", OutputMode::KeepFormat);
    const JpegSettings saved = DefaultJpegSettings();
    DefaultJpegSettings().pixelFormat = JpegPixelFormat::Bits8;
    Raster working;
    const bool loaded = LoadPicture(folder / "A.jpg", working);
    DefaultJpegSettings() = saved;
    EXPECT_TRUE(loaded);
    EXPECT_EQ(working.Form(), PixelForm::Paletted8);
    EXPECT_EQ(working.Width(), 8);
}

TEST(LoadPicture, BmpKeepsTheFormOfItsFileWhateverTheFolderIsCalled)
{
    ScratchFolder folder;
    fs::create_directory(folder / "holiday.jpg");
    for (const std::string& path : {folder / "scan.bmp", folder / "holiday.jpg/scan.BMP"}) {
        WriteBytes(path, PalettedBmp());
        Raster working = Sentinel();
        EXPECT_TRUE(LoadPicture(path, working)) << path;
        EXPECT_EQ(working.Form(), PixelForm::Paletted8) << path;
        EXPECT_EQ(working.Width(), 2);
        EXPECT_EQ(working.ColorTable().size(), 4u);
    }
}

TEST(LoadPicture, NothingToLoadChangesNothingAndRaisesNothing)
{
    ScratchFolder folder;
    WriteText(folder / "notes.txt", "text");
    WriteBytes(folder / "picture.bmp.txt", PalettedBmp());
    fs::create_directory(folder / "folder.jpg");
    for (const std::string& path : {folder / "missing.jpg", folder / "missing.bmp", folder / "notes.txt",
                                   folder / "picture.bmp.txt", folder / "folder.jpg"}) {
        Raster working = Sentinel();
        EXPECT_FALSE(LoadPicture(path, working)) << path;
        ExpectSentinel(working);
    }
}

TEST(LoadPicture, DamagedFilesRaiseAndKeepTheWorkingPicture)
{
    ScratchFolder folder;
    WriteText(folder / "text.jpg", "this is not a JPEG file at all");
    WriteText(folder / "text.bmp", "this is not a BMP file at all");
    // A BMP under a JPEG name is decoded as JPEG, and fails as one.
    WriteBytes(folder / "renamed.jpg", PalettedBmp());
    auto truncated = ReadFileBytes((SavePicture(Gradient(40, 40), folder / "T.JPG", OutputMode::Jpeg), folder / "T.jpg"));
    truncated.resize(truncated.size() / 3);
    WriteBytes(folder / "cut.jpg", truncated);
    for (const char* name : {"text.jpg", "renamed.jpg", "text.bmp"}) {
        Raster working = Sentinel();
        EXPECT_THROW(LoadPicture(folder / name, working), Error) << name;
        ExpectSentinel(working);
    }
    // A JPEG that ends early may decode with grey rows or fail; either way nothing leaks
    // into the working picture unless the whole load succeeded.
    Raster working = Sentinel();
    try {
        LoadPicture(folder / "cut.jpg", working);
        EXPECT_EQ(working.Width(), 40);
    } catch (const Error&) {
        ExpectSentinel(working);
    }
}

struct SaveCase {
    const char* name;
    const char* source;  // the entry as listed
    OutputMode mode;
    const char* output;  // nullptr: nothing written
    Format format;
};

// Test listings show the case's entry instead of its bytes.
void PrintTo(const SaveCase& c, std::ostream* out) { *out << c.source; }

class SavePictureCases : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SavePictureCases, WritesTheOutputNameInTheModesFormat)
{
    const SaveCase& c = GetParam();
    ScratchFolder folder;
    fs::create_directory(folder / "out.jpg");
    const std::string destination = folder / "out.jpg";
    const auto written = SavePicture(Gradient(5, 4), destination + "/" + AsciiUpper(c.source), c.mode);
    if (!c.output) {
        EXPECT_FALSE(written);
        EXPECT_TRUE(folder.Names("out.jpg").empty());
        return;
    }
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, destination + "/" + c.output);
    EXPECT_EQ(folder.Names("out.jpg"), std::vector<std::string>{c.output});
    EXPECT_EQ(FormatOf(*written), c.format);
    Raster back;
    ASSERT_TRUE(LoadPicture(*written, back));
    EXPECT_EQ(back.Width(), 5);
    EXPECT_EQ(back.Height(), 4);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SavePictureCases,
    ::testing::Values(
        SaveCase{"JpegKept", "photo.jpg", OutputMode::KeepFormat, "PHOTO.jpg", Format::Jpeg},
        SaveCase{"JpegAsBmp", "photo.jpg", OutputMode::Bmp, "PHOTO.bmp", Format::Bmp},
        SaveCase{"JpegAsJpeg", "Photo.JPG", OutputMode::Jpeg, "PHOTO.jpg", Format::Jpeg},
        // The folder "out.jpg" must not make a BMP source a JPEG output.
        SaveCase{"BmpKeptInsideJpgFolder", "scan.bmp", OutputMode::KeepFormat, "SCAN.bmp", Format::Bmp},
        SaveCase{"BmpAsJpeg", "scan.bmp", OutputMode::Jpeg, "SCAN.jpg", Format::Jpeg},
        SaveCase{"DotsInStem", "a.b.c.Bmp", OutputMode::KeepFormat, "A.B.C.bmp", Format::Bmp},
        SaveCase{"UnicodeStem", "照片.jpg", OutputMode::KeepFormat, "照片.jpg", Format::Jpeg},
        // A JPEG written as JPEG keeps the ending of its name; another format takes its own.
        SaveCase{"JpegNameKept", "a.jpeg", OutputMode::KeepFormat, "A.jpeg", Format::Jpeg},
        SaveCase{"JpegNameAsJpeg", "Shot.JPEG", OutputMode::Jpeg, "SHOT.jpeg", Format::Jpeg},
        SaveCase{"JpegNameAsBmp", "a.jpeg", OutputMode::Bmp, "A.bmp", Format::Bmp},
        SaveCase{"PngKept", "icon.png", OutputMode::KeepFormat, "ICON.png", Format::Png},
        SaveCase{"PngAsJpeg", "icon.Png", OutputMode::Jpeg, "ICON.jpg", Format::Jpeg},
        SaveCase{"WebpKept", "pic.WEBP", OutputMode::KeepFormat, "PIC.webp", Format::Webp},
        SaveCase{"WebpAsBmp", "pic.webp", OutputMode::Bmp, "PIC.bmp", Format::Bmp},
        SaveCase{"OtherNameKept", "notes.txt", OutputMode::KeepFormat, nullptr, Format::Other},
        SaveCase{"NameTooShortForAnExtension", "ab", OutputMode::Jpeg, nullptr, Format::Other}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SavePicture, ReplacesAnExistingOutput)
{
    ScratchFolder folder;
    WriteText(folder / "PHOTO.jpg", "old");
    SavePicture(Gradient(6, 3), folder / "PHOTO.JPG", OutputMode::KeepFormat);
    SavePicture(Gradient(7, 2), folder / "PHOTO.JPG", OutputMode::KeepFormat);
    Raster back;
    ASSERT_TRUE(LoadPicture(folder / "PHOTO.jpg", back));
    EXPECT_EQ(back.Width(), 7);
    EXPECT_EQ(back.Height(), 2);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"PHOTO.jpg"});
}

TEST(SavePicture, FailuresKeepTheOldFileAndLeaveNoTemporary)
{
    ScratchFolder folder;
    WriteText(folder / "WIDE.jpg", "old picture");

    // Wider than a JPEG can be: the encoder fails before anything on disk changes.
    EXPECT_THROW(SavePicture(Gradient(65501, 1), folder / "WIDE.JPG", OutputMode::KeepFormat), JpegError);
    EXPECT_EQ(ReadText(folder / "WIDE.jpg"), "old picture");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"WIDE.jpg"});

    EXPECT_EQ(MessageOf([&] { SavePicture(Gradient(2, 2), folder / "missing/A.BMP", OutputMode::KeepFormat); }),
              "Cannot create file \"" + (folder / "missing/A.bmp") + "\". No such file or directory");

    const WithoutPermissionOverride asUser;
    if (!asUser.Active())
        GTEST_SKIP() << "cannot give up root's permission override here";
    fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(MessageOf([&] { SavePicture(Gradient(2, 2), folder / "WIDE.JPG", OutputMode::Jpeg); }),
              "Cannot create file \"" + (folder / "WIDE.jpg") + "\". Permission denied");
    fs::permissions(folder.Path(), fs::perms::owner_all);
    EXPECT_EQ(ReadText(folder / "WIDE.jpg"), "old picture");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"WIDE.jpg"});
}

}  // namespace picbatch
