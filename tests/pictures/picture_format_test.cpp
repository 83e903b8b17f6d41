// The format table: which names are pictures, and for every row, a reader and writer that
// agree with each other and with the row's streamed forms.
#include "pictures/picture_format.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "imaging/raster.h"
#include "pictures/band_pipeline.h"
#include "pictures/byte_sink.h"
#include "pictures/files/file_io.h"
#include "pictures/files/output_file.h"
#include "pictures/files/replace_file.h"
#include "pictures/metadata_sink.h"
#include "pictures/picture_metadata.h"
#include "pictures/row_encoder.h"
#include "pictures/upper_case.h"
#include "tests/common/test_picture.h"
#include "tests/pictures/scratch_folder.h"

namespace picbatch {

namespace {

struct NameCase {
    const char* path;
    std::optional<std::string_view> name;
};

TEST(FormatOfName, TheExtensionOfTheFileNameDecidesInAnyCase)
{
    const NameCase cases[] = {
        {"a.jpg", "JPEG"},
        {"PHOTO.JPG", "JPEG"},
        {"scan.Bmp", "BMP"},
        {".jpg", "JPEG"},  // a name that is all extension is still a picture's
        {"/pics/照片.jpg", "JPEG"},
        {"jpg", std::nullopt},
        {"a.jpeg", "JPEG"},
        {"B.JPEG", "JPEG"},
        {"c.png", "PNG"},
        {"d.WebP", "WebP"},
        {"a.jpg.png", "PNG"},
        {"a.jpe", std::nullopt},
        {"a.pngx", std::nullopt},
        {"a.jpg.txt", std::nullopt},
        {"a.jpg ", std::nullopt},
        {"pics.jpg/notes", std::nullopt},  // the folder's name decides nothing
        {"pics.bmp/", std::nullopt},
        {"", std::nullopt},
    };
    for (const NameCase& c : cases) {
        const PictureFormat* format = FormatOfName(c.path);
        ASSERT_EQ(format != nullptr, c.name.has_value()) << c.path;
        if (format) {
            EXPECT_EQ(format->name, *c.name) << c.path;
        }
    }
}

TEST(FormatTable, RowsAreFoundByNameAndNamedInTexts)
{
    for (const PictureFormat& format : PictureFormats())
        EXPECT_EQ(&FormatOf(format.name), &format) << format.name;
    EXPECT_THROW(FormatOf("jpeg"), std::invalid_argument);  // the table's spelling only
    EXPECT_EQ(FormatNameList(", ", " and "), "BMP, JPEG, PNG and WebP");
}

std::vector<std::uint8_t> Pixels(const Raster& picture)
{
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < picture.Height(); ++y) {
        const auto row = picture.Row(y);
        pixels.insert(pixels.end(), row.begin(), row.begin() + 3 * picture.Width());
    }
    return pixels;
}

// What a format's band decoder hands over: the size, the pixels of every row, the notes.
struct Banded {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    ReadNotes notes;
};

Banded DecodedInBands(const PictureFormat& format, const std::string& path, bool alongside)
{
    Banded banded;
    format.decodeRows(
        path,
        [&](int w, int h) {
            banded.width = w;
            banded.height = h;
        },
        [&](const std::uint8_t* first, std::int64_t step, int count) {
            for (int i = 0; i < count; ++i)
                banded.pixels.insert(banded.pixels.end(), first + i * step, first + i * step + 3 * banded.width);
        },
        alongside ? 0 : kNeverAlongside, banded.notes);
    return banded;
}

class EveryFormat : public ::testing::TestWithParam<std::string_view> {
protected:
    const PictureFormat& Format() const { return FormatOf(GetParam()); }

    // The picture written by the row's writer, in a file named with the row's extension.
    std::string WrittenFile(const Raster& picture)
    {
        const std::string path = folder / ("picture" + std::string(Format().extension));
        OutputFile file(path);
        EncodePicture(Format(), picture, file);
        file.Commit();
        return path;
    }

    ScratchFolder folder;
};

TEST_P(EveryFormat, TheRowIsFoundByItsOwnExtension)
{
    // What every caller relies on: a reader, a writer, and room for the metadata it carries.
    EXPECT_NE(Format().read, nullptr);
    EXPECT_TRUE(Format().encode || Format().startRowEncoding);
    if (Format().carryMetadata)
        EXPECT_GT(Format().maxIccBytes, 0u);
    const std::string_view extension = Format().extension;
    ASSERT_GE(extension.size(), 2u);
    EXPECT_EQ(extension[0], '.');
    for (char c : extension)
        EXPECT_FALSE(c >= 'A' && c <= 'Z') << "output names end in lower case: " << extension;
    EXPECT_EQ(FormatOfName("NAME" + std::string(extension)), &Format());
    EXPECT_EQ(ExtensionOfName("NAME" + std::string(extension)), extension);
    if (const std::string_view other = Format().otherExtension; !other.empty()) {
        EXPECT_EQ(FormatOfName("NAME" + AsciiUpper(other)), &Format());
        EXPECT_EQ(ExtensionOfName("NAME" + AsciiUpper(other)), other);
    }
}

TEST_P(EveryFormat, WhatTheWriterWritesTheReaderReads)
{
    const std::string path = WrittenFile(TestPicture(23, 17, 10, 200, 90));
    ReadNotes notes;
    Raster back = Format().read(path, notes);
    EXPECT_EQ(back.Width(), 23);
    EXPECT_EQ(back.Height(), 17);
    EXPECT_FALSE(notes.incomplete);
}

TEST_P(EveryFormat, BandsHoldTheReadersPixels)
{
    if (!Format().decodeRows)
        GTEST_SKIP() << "this format is read whole";
    const std::string path = WrittenFile(TestPicture(40, 37, 250, 30, 128));
    ReadNotes wholeNotes;
    Raster whole = Format().read(path, wholeNotes);
    whole.SetPixelForm(PixelForm::Bgr24);

    for (bool alongside : {false, true}) {
        const Banded banded = DecodedInBands(Format(), path, alongside);
        EXPECT_EQ(banded.width, 40);
        EXPECT_EQ(banded.height, 37);
        EXPECT_EQ(banded.pixels, Pixels(whole)) << (alongside ? "on two threads" : "on one thread");
        EXPECT_FALSE(banded.notes.incomplete);
    }
}

// A file that ends before its pixels do is read as it always was, and the readers say so.
TEST_P(EveryFormat, AFileCutShortIsReadAsEverAndNoted)
{
    const std::string whole = WrittenFile(TestPicture(64, 48, 250, 30, 128));
    std::vector<std::uint8_t> bytes = ReadFileBytes(whole);
    // 16 bytes short: inside the last pixels of a BMP, inside the scan data of a JPEG.
    bytes.resize(bytes.size() - 16);
    const std::string cut = folder / ("cut" + std::string(Format().extension));
    ReplaceFile(cut, bytes);

    ReadNotes notes;
    Raster picture = Format().read(cut, notes);
    EXPECT_TRUE(notes.incomplete);
    EXPECT_EQ(picture.Width(), 64);
    if (!Format().decodeRows)
        return;
    picture.SetPixelForm(PixelForm::Bgr24);
    for (bool alongside : {false, true}) {
        const Banded banded = DecodedInBands(Format(), cut, alongside);
        EXPECT_EQ(banded.pixels, Pixels(picture)) << (alongside ? "on two threads" : "on one thread");
        EXPECT_TRUE(banded.notes.incomplete) << (alongside ? "on two threads" : "on one thread");
    }
}

// The writer fed row by row puts the same bytes in memory and in a file, on either road
// of the output file; the whole picture's encoding is the same once more.
TEST_P(EveryFormat, RowByRowEncodingWritesTheSameBytesToMemoryAndToFiles)
{
    const Raster picture = TestPicture(31, 19, 0, 77, 255);
    std::vector<std::uint8_t> bytes;
    if (!Format().startRowEncoding) {
        // Written whole: the file holds exactly what the writer makes.
        bytes = EncodeToBytes(Format(), picture);
    } else {
        MemorySink memory(bytes);
        const std::unique_ptr<RowEncoder> encoder = Format().startRowEncoding(31, 19, EncodeSettings{}, memory);
        for (int y = 0; y < 19; ++y)
            encoder->AddRow(picture.Row(y).data());
        encoder->Finish();
        EXPECT_EQ(bytes, EncodeToBytes(Format(), picture));
    }

    for (const auto temporary : {OutputFile::Temporary::Unnamed, OutputFile::Temporary::Named}) {
        const std::string path = folder / ("written" + std::string(Format().extension));
        OutputFile file(path, temporary);
        EncodePicture(Format(), picture, file);
        file.Commit();
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }
}

// The quality reaches the lossy formats only, progression JPEG only; a row encoder writes what
// the whole picture's encoding does at the same settings, and a lossless source stays so.
TEST_P(EveryFormat, EncodeSettingsReachTheLossyEncodingsOnly)
{
    const bool lossy = Format().name == "JPEG" || Format().name == "WebP";
    const bool progressive = Format().name == "JPEG";
    const Raster picture = TestPicture(64, 48, 30, 140, 220);
    const std::vector<std::uint8_t> standard = EncodeToBytes(Format(), picture);
    EXPECT_EQ(EncodeToBytes(Format(), picture, false, {90, false}), standard);

    struct Case {
        EncodeSettings settings;
        bool changes;
    };
    for (const Case& c : {Case{{30, false}, lossy}, Case{{100, false}, lossy}, Case{{90, true}, progressive},
                          Case{{30, true}, lossy}}) {
        SCOPED_TRACE(std::to_string(c.settings.quality) + (c.settings.progressive ? ", progressive" : ""));
        const std::vector<std::uint8_t> bytes = EncodeToBytes(Format(), picture, false, c.settings);
        EXPECT_EQ(bytes != standard, c.changes);
        if (c.settings.quality == 30 && lossy) {
            EXPECT_LT(bytes.size(), standard.size());
        }
        ReadNotes notes;
        const std::string path = folder / ("set" + std::string(Format().extension));
        ReplaceFile(path, bytes);
        const Raster back = Format().read(path, notes);
        EXPECT_EQ(back.Width(), 64);
        EXPECT_EQ(back.Height(), 48);
        if (Format().encodeLossless) {
            EXPECT_EQ(EncodeToBytes(Format(), picture, true, c.settings), EncodeToBytes(Format(), picture, true));
        }
        if (Format().startRowEncoding) {
            std::vector<std::uint8_t> rows;
            MemorySink memory(rows);
            const std::unique_ptr<RowEncoder> encoder = Format().startRowEncoding(64, 48, c.settings, memory);
            for (int y = 0; y < 48; ++y)
                encoder->AddRow(picture.Row(y).data());
            encoder->Finish();
            EXPECT_EQ(rows, bytes);
        }
        // Only an encoder that holds its whole picture says so, for the budget.
        const std::int64_t held = Format().rowEncodingBytes ? Format().rowEncodingBytes(64, 48, c.settings) : 0;
        EXPECT_EQ(held > 0, progressive && c.settings.progressive);
    }
    // A quality beyond the range (a settings file edited by hand) is the nearer end's, in
    // every format: libwebp itself would refuse it.
    EXPECT_EQ(EncodeToBytes(Format(), picture, false, {0, false}), EncodeToBytes(Format(), picture, false, {1, false}));
    EXPECT_EQ(EncodeToBytes(Format(), picture, false, {250, false}),
              EncodeToBytes(Format(), picture, false, {100, false}));
}

TEST_P(EveryFormat, TheMetadataItCarriesIsReadBack)
{
    if (!Format().carryMetadata)
        GTEST_SKIP() << "carries no metadata";
    ASSERT_NE(Format().readMetadata, nullptr);
    // Larger than one JPEG segment holds, so that it must be split and put together again.
    std::vector<std::uint8_t> icc(70000);
    for (std::size_t i = 0; i < icc.size(); ++i)
        icc[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    ASSERT_LE(icc.size(), Format().maxIccBytes);
    const std::string path = folder / ("carried" + std::string(Format().extension));
    OutputFile file(path);
    const std::unique_ptr<MetadataSink> sink = Format().carryMetadata(file, {}, icc);
    EncodePicture(Format(), TestPicture(12, 9, 40, 50, 60), *sink);
    sink->Finish();
    file.Commit();
    EXPECT_EQ(Format().readMetadata(path).iccProfile, icc);
}

// Every row, a new one included, in the table's order.
std::vector<std::string_view> RowNames()
{
    std::vector<std::string_view> names;
    for (const PictureFormat& format : PictureFormats())
        names.push_back(format.name);
    return names;
}

INSTANTIATE_TEST_SUITE_P(Table, EveryFormat, ::testing::ValuesIn(RowNames()),
                         [](const auto& info) { return std::string(FormatOf(info.param).extension.substr(1)); });

}  // namespace

}  // namespace picbatch
