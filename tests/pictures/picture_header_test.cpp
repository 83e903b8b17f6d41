// The header readers of the format table: the size a file declares, and the memory its
// decoding holds on either road, read without decoding the picture.
#include "pictures/picture_header.h"

#include <gtest/gtest.h>

#include <fstream>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp_file_header.h"
#include "pictures/jpeg/jpeg_file_header.h"
#include "pictures/picture_format.h"
#include "tests/common/libjpeg_compress.h"
#include "tests/common/test_picture.h"
#include "tests/pictures/bmp_builder.h"
#include "tests/pictures/scratch_folder.h"

namespace picbatch {

namespace {

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

TEST(PictureHeader, EveryFormatReadsTheSizeOfTheFilesItWrites)
{
    const ScratchFolder folder;
    for (const char* formatName : {"JPEG", "BMP"}) {
        const PictureFormat& format = FormatOf(formatName);
        SCOPED_TRACE(std::string(format.extension));
        ASSERT_NE(format.readHeader, nullptr);
        std::string name = "p";
        name += format.extension;
        const std::string path = folder / name;
        WriteFileBytes(path, EncodeToBytes(format, TestPicture(67, 45, 10, 200, 30)));
        const PictureHeader header = format.readHeader(path);
        EXPECT_EQ(header.width, 67);
        EXPECT_EQ(header.height, 45);
        // Every road holds at least the rows it hands over, and whole reading the 24-bit picture.
        EXPECT_GE(header.streamedBytes, 67 * 3);
        EXPECT_GE(header.wholePictureBytes, 67 * 45 * 3);
        EXPECT_GE(header.wholeReadBytes, header.wholePictureBytes);
    }
}

// A multi-scan file keeps every coefficient of the picture while it decodes: 128 bytes a block,
// each component's blocks rounded up to whole MCUs (4:2:0: 16 x 16 pixels for luma).
TEST(PictureHeader, AProgressiveJpegHoldsItsCoefficients)
{
    const ScratchFolder folder;
    WriteFileBytes(folder / "base.jpg", PatternJpeg(100, 50));
    WriteFileBytes(folder / "prog.jpg", PatternJpeg(100, 50, [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); }));
    const PictureHeader base = ReadJpegFileHeader(folder / "base.jpg");
    const PictureHeader progressive = ReadJpegFileHeader(folder / "prog.jpg");
    // Luma: 13 x 7 blocks rounded to 14 x 8; chroma: 7 x 4 blocks each.
    const std::int64_t coefficients = (14 * 8 + 2 * 7 * 4) * 128;
    EXPECT_EQ(progressive.streamedBytes - base.streamedBytes, coefficients);
    EXPECT_EQ(progressive.width, 100);
    EXPECT_EQ(progressive.height, 50);
}

// A file of 60 bytes may declare 16384 x 16384 pixels of 32 bits: its gigabyte store is never
// touched, but its 24-bit copy is made in full.
TEST(PictureHeader, AShortBmpCostsItsTwentyFourBitCopy)
{
    const ScratchFolder folder;
    BmpBuilder bomb;
    bomb.width = 4096;
    bomb.height = 4096;
    bomb.bitCount = 32;
    WriteFileBytes(folder / "bomb.bmp", bomb.Bytes());
    const PictureHeader header = ReadBmpFileHeader(folder / "bomb.bmp");
    EXPECT_EQ(header.width, 4096);
    EXPECT_EQ(header.height, 4096);
    EXPECT_EQ(header.wholePictureBytes, std::int64_t{4096} * 4096 * 3);
    EXPECT_LT(header.wholeReadBytes, std::int64_t{4096} * 4096 * 4);
    // Read in bands: two of at most 1 MiB each, the file's rows and their 24-bit form.
    EXPECT_LT(header.streamedBytes, std::int64_t{2} << 20);
}

TEST(PictureHeader, AHeaderThatCannotBeReadThrowsTheReadersError)
{
    const ScratchFolder folder;
    WriteText(folder / "text.jpg", "no picture here");
    WriteText(folder / "text.bmp", "no picture here");
    WriteText(folder / "empty.jpg", "");
    std::vector<std::uint8_t> cut = PatternJpeg(32, 32);
    cut.resize(20);
    WriteFileBytes(folder / "cut.jpg", cut);
    for (const char* name : {"text.jpg", "text.bmp", "empty.jpg", "cut.jpg", "missing.jpg", "missing.bmp"}) {
        SCOPED_TRACE(name);
        const std::string path = folder / name;
        EXPECT_THROW(FormatOfName(path)->readHeader(path), Error);
    }
}

}  // namespace

}  // namespace picbatch
