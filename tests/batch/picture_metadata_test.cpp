// Conversions of pictures as cameras write them: turned upright by their EXIF orientation on
// every road, their ICC profile carried into a JPEG output or applied for a BMP one, their
// EXIF block kept on request; files without either convert as ever.
#include <gtest/gtest.h>

#include <jpeglib.h>

#include "batch/convert_picture.h"
#include "imaging/orientation.h"
#include "imaging/resample.h"
#include "pictures/picture_format.h"
#include "tests/batch/picture_files.h"
#include "tests/common/tagged_jpeg.h"
#include "tests/pictures/bmp_builder.h"

#include <algorithm>
#include <string>
#include <vector>

namespace picbatch {

namespace {

// No symmetry: every turn and mirror shows.
void Sample(int x, int y, std::uint8_t* bgr)
{
    bgr[0] = static_cast<std::uint8_t>(x * 7 + y * 3);
    bgr[1] = static_cast<std::uint8_t>(x * y);
    bgr[2] = static_cast<std::uint8_t>((x ^ y) * 5);
}

constexpr int kStoredWidth = 61;
constexpr int kStoredHeight = 37;

std::string WriteTagged(const TempFolder& folder, const std::string& name, const std::vector<std::uint8_t>& exif,
                        const std::vector<std::uint8_t>& icc = {})
{
    const std::string path = folder / name;
    WriteBytes(path, TaggedJpeg(kStoredWidth, kStoredHeight, Sample, exif, icc));
    return path;
}

// "Make the source upright, then resample as usual": the stored picture as the program loads
// it, turned, resampled to width x height on the whole-picture road.
Raster UprightThenResampled(const std::string& path, Orientation orientation, int width, int height)
{
    Raster stored = LoadedPicture(path);
    Raster upright = Upright(stored, orientation);
    return ResampleLanczos(upright, width, height);
}

std::vector<std::uint8_t> Converted(const std::string& source, const std::string& destination, int width, int height,
                                    OutputMode mode, Threads threads, const ConversionOptions& options = {})
{
    const ConversionPlan plan = PlanConversion(source, destination, {width, height, mode, options}, threads);
    CarryOut(plan);
    const std::optional<std::string> written = plan.output.path;
    EXPECT_TRUE(written.has_value());
    return written ? ReadBytes(*written) : std::vector<std::uint8_t>{};
}

struct Decompress {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    explicit Decompress(const std::vector<std::uint8_t>& bytes)
    {
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
        jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
        jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
        jpeg_read_header(&cinfo, TRUE);
    }
    ~Decompress() { jpeg_destroy_decompress(&cinfo); }
    Decompress(const Decompress&) = delete;
    Decompress& operator=(const Decompress&) = delete;
};

// The ICC profile of JPEG data, as libjpeg puts it together.
std::vector<std::uint8_t> IccOf(const std::vector<std::uint8_t>& jpeg)
{
    Decompress d(jpeg);
    JOCTET* icc = nullptr;
    unsigned int length = 0;
    if (!jpeg_read_icc_profile(&d.cinfo, &icc, &length))
        return {};
    std::vector<std::uint8_t> bytes(icc, icc + length);
    std::free(icc);
    return bytes;
}

// The EXIF APP1 segments of JPEG data.
std::vector<std::vector<std::uint8_t>> ExifSegmentsOf(const std::vector<std::uint8_t>& jpeg)
{
    Decompress d(jpeg);
    std::vector<std::vector<std::uint8_t>> segments;
    for (jpeg_saved_marker_ptr m = d.cinfo.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1)
            segments.emplace_back(m->data, m->data + m->data_length);
    return segments;
}

bool SamePixels(const Raster& a, const Raster& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.Form() != b.Form())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        if (!std::ranges::equal(a.Row(y), b.Row(y)))
            return false;
    return true;
}

int NumberOf(const ExifData* data, ExifIfd ifd, ExifTag tag)
{
    const ExifEntry* entry = exif_content_get_entry(data->ifd[ifd], tag);
    if (!entry)
        return -1;
    const ExifByteOrder order = exif_data_get_byte_order(const_cast<ExifData*>(data));
    return entry->format == EXIF_FORMAT_SHORT ? exif_get_short(entry->data, order)
                                              : static_cast<int>(exif_get_long(entry->data, order));
}

TEST(PictureMetadataConversion, EveryOrientationIsTheUprightPictureResampledOnEveryRoad)
{
    const TempFolder folder;
    struct Target {
        int width, height;
    };
    // A reduction and an enlargement, both with the sides' ratio changed.
    for (const Target target : {Target{23, 29}, Target{80, 45}}) {
        for (int tag = 1; tag <= 8; ++tag) {
            const std::string source = WriteTagged(folder, "tagged.jpg", ExifBlock(tag));
            const Raster expected = UprightThenResampled(source, OrientationOfTag(tag), target.width, target.height);
            const std::string where = "tag " + std::to_string(tag) + " to " + std::to_string(target.width);
            for (const Threads threads : {Threads::One, Threads::TwoAtAnySize}) {
                EXPECT_EQ(Converted(source, folder / "out.jpg", target.width, target.height, OutputMode::Jpeg, threads),
                          EncodeToBytes(FormatOf("JPEG"), expected))
                    << where;
            }
            EXPECT_EQ(Converted(source, folder / "out.bmp", target.width, target.height, OutputMode::Bmp, Threads::One),
                      EncodeToBytes(FormatOf("BMP"), expected))
                << where;
            // Kept as stored, the tag changes nothing.
            const ConversionOptions keep{OrientationChoice::Keep, MetadataChoice::Drop};
            EXPECT_EQ(Converted(source, folder / "out.jpg", target.width, target.height, OutputMode::Jpeg,
                                Threads::One, keep),
                      EncodeToBytes(FormatOf("JPEG"), 
                          UprightThenResampled(source, Orientation::Normal, target.width, target.height)))
                << where;
        }
    }
}

TEST(PictureMetadataConversion, AProfileGoesIntoAJpegOutputUnchangedAndItsPixelsAsWithoutIt)
{
    const TempFolder folder;
    const std::string plain = WriteTagged(folder, "plain.jpg", {});
    const std::vector<std::uint8_t> withoutProfile
        = Converted(plain, folder / "plain-out.jpg", 30, 20, OutputMode::Jpeg, Threads::One);
    // One APP2 segment, and a profile that needs three.
    for (const std::size_t copyright : {std::size_t{0}, std::size_t{150000}}) {
        const std::vector<std::uint8_t> profile = Gamma18Profile(copyright);
        const std::string source = WriteTagged(folder, "profiled.jpg", {}, profile);
        for (const Threads threads : {Threads::One, Threads::TwoAtAnySize}) {
            const std::vector<std::uint8_t> output
                = Converted(source, folder / "out.jpg", 30, 20, OutputMode::Jpeg, threads);
            EXPECT_EQ(IccOf(output), profile) << profile.size() << " bytes";
            WriteBytes(folder / "a.jpg", output);
            WriteBytes(folder / "b.jpg", withoutProfile);
            EXPECT_TRUE(SamePixels(LoadedPicture(folder / "a.jpg"), LoadedPicture(folder / "b.jpg")));
        }
    }
}

TEST(PictureMetadataConversion, ABmpOutputHasThePixelsConvertedToSrgbAsLittleCmsConvertsThem)
{
    const TempFolder folder;
    const std::vector<std::uint8_t> profile = Gamma18Profile();
    const std::string source = WriteTagged(folder, "profiled.jpg", {}, profile);
    Raster expected = UprightThenResampled(source, Orientation::Normal, 30, 20);
    cmsHPROFILE from = cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform = cmsCreateTransform(from, TYPE_BGR_8, srgb, TYPE_BGR_8, INTENT_PERCEPTUAL, 0);
    ASSERT_NE(transform, nullptr);
    for (int y = 0; y < expected.Height(); ++y)
        cmsDoTransform(transform, expected.Row(y).data(), expected.Row(y).data(), 30);
    cmsDeleteTransform(transform);
    cmsCloseProfile(srgb);
    cmsCloseProfile(from);

    const std::vector<std::uint8_t> output = Converted(source, folder / "out.bmp", 30, 20, OutputMode::Bmp, Threads::One);
    EXPECT_EQ(output, EncodeToBytes(FormatOf("BMP"), expected));
    // Not by chance: the conversion changed the picture.
    EXPECT_NE(output, EncodeToBytes(FormatOf("BMP"), UprightThenResampled(source, Orientation::Normal, 30, 20)));
}

TEST(PictureMetadataConversion, KeptExifIsUprightWithoutThumbnailWithTheNewSizeAndTheLocationOnlyWhenAsked)
{
    const TempFolder folder;
    ExifContents camera;
    camera.orientation = 6;
    camera.pixelWidth = kStoredWidth;
    camera.pixelHeight = kStoredHeight;
    camera.gps = true;
    camera.thumbnail = TaggedJpeg(8, 8, Sample, {}, {});
    const std::string source = WriteTagged(folder, "camera.jpg", ExifBlock(camera));
    struct Case {
        MetadataChoice choice;
        bool gps;
    };
    for (const Case c : {Case{MetadataChoice::Keep, true}, Case{MetadataChoice::KeepWithoutGps, false}}) {
        for (const Threads threads : {Threads::One, Threads::TwoAtAnySize}) {
            const std::vector<std::uint8_t> output = Converted(source, folder / "out.jpg", 40, 30, OutputMode::Jpeg,
                                                               threads, {OrientationChoice::Apply, c.choice});
            const auto segments = ExifSegmentsOf(output);
            ASSERT_EQ(segments.size(), 1u);
            const ExifPointer data(exif_data_new_from_data(segments[0].data(),
                                                           static_cast<unsigned int>(segments[0].size())));
            EXPECT_EQ(NumberOf(data.get(), EXIF_IFD_0, EXIF_TAG_ORIENTATION), 1);
            EXPECT_EQ(NumberOf(data.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION), 40);
            EXPECT_EQ(NumberOf(data.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION), 30);
            EXPECT_NE(exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_MAKE), nullptr);
            EXPECT_EQ(data->size, 0u);
            EXPECT_EQ(data->ifd[EXIF_IFD_1]->count, 0u);
            EXPECT_EQ(data->ifd[EXIF_IFD_GPS]->count > 0, c.gps);
            // The pixels are the upright picture's, as without the block.
            const std::vector<std::uint8_t> dropped = Converted(source, folder / "out.jpg", 40, 30, OutputMode::Jpeg, threads);
            EXPECT_TRUE(ExifSegmentsOf(dropped).empty());
            WriteBytes(folder / "a.jpg", output);
            WriteBytes(folder / "b.jpg", dropped);
            EXPECT_TRUE(SamePixels(LoadedPicture(folder / "a.jpg"), LoadedPicture(folder / "b.jpg")));
        }
    }
    // Kept as stored, the orientation tag stays: the rows are still the stored ones.
    const std::vector<std::uint8_t> stored = Converted(source, folder / "out.jpg", 40, 30, OutputMode::Jpeg,
                                                       Threads::One, {OrientationChoice::Keep, MetadataChoice::Keep});
    const auto segments = ExifSegmentsOf(stored);
    ASSERT_EQ(segments.size(), 1u);
    const ExifPointer data(exif_data_new_from_data(segments[0].data(), static_cast<unsigned int>(segments[0].size())));
    EXPECT_EQ(NumberOf(data.get(), EXIF_IFD_0, EXIF_TAG_ORIENTATION), 6);
}

TEST(PictureMetadataConversion, AnOutputWithoutMetadataDropsTheKeptExifBlock)
{
    // The EXIF block of a JPEG kept for a BMP output went into the BMP data as JPEG segments
    // on the road that encodes rows as they come, and the conversion failed.
    const TempFolder folder;
    const std::string source = WriteTagged(folder, "camera.jpg", ExifBlock(6));
    for (const Threads threads : {Threads::One, Threads::TwoAtAnySize}) {
        for (const MetadataChoice choice : {MetadataChoice::Keep, MetadataChoice::KeepWithoutGps}) {
            EXPECT_EQ(Converted(source, folder / "out.bmp", 30, 20, OutputMode::Bmp, threads,
                                {OrientationChoice::Apply, choice}),
                      EncodeToBytes(FormatOf("BMP"), UprightThenResampled(source, OrientationOfTag(6), 30, 20)));
        }
    }
}

TEST(PictureMetadataConversion, DamagedOrForeignBlocksAreIgnored)
{
    const TempFolder folder;
    const std::string plain = WriteTagged(folder, "plain.jpg", {});
    const std::vector<std::uint8_t> expected = Converted(plain, folder / "out.jpg", 30, 20, OutputMode::Jpeg, Threads::One);
    std::vector<std::uint8_t> cut = ExifBlock(6);
    cut.resize(cut.size() / 2);
    std::vector<std::uint8_t> offsetsAway = ExifBlock(6);
    offsetsAway[10] = 0xFF;  // the first IFD's offset points far past the block
    offsetsAway[11] = 0xFF;
    const std::vector<std::vector<std::uint8_t>> blocks = {
        {'E', 'x', 'i', 'f', 0, 0}, {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0}, cut, offsetsAway, ExifBlock(9),
        ExifBlock(0),
    };
    for (const auto& block : blocks) {
        const std::string source = WriteTagged(folder, "odd.jpg", block);
        EXPECT_EQ(Converted(source, folder / "out.jpg", 30, 20, OutputMode::Jpeg, Threads::One), expected)
            << block.size() << " bytes";
    }
    // A CMYK profile does not describe the converted pixels: dropped, as a damaged profile is.
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    std::vector<std::uint8_t> notRgb = SavedProfile(lab);
    std::vector<std::uint8_t> damaged = Gamma18Profile();
    damaged.resize(100);
    for (const auto& profile : {notRgb, damaged}) {
        const std::string source = WriteTagged(folder, "odd.jpg", {}, profile);
        EXPECT_EQ(Converted(source, folder / "out.jpg", 30, 20, OutputMode::Jpeg, Threads::One), expected);
        EXPECT_EQ(Converted(source, folder / "out.bmp", 30, 20, OutputMode::Bmp, Threads::One),
                  EncodeToBytes(FormatOf("BMP"), UprightThenResampled(plain, Orientation::Normal, 30, 20)));
    }
}

// A 24-bit BMP of Sample's pixels with a header of headerSize bytes; colourSpace, when given,
// is written at the info header's offset 56 on (type, endpoints, gammas, ...).
std::vector<std::uint8_t> ColourBmp(std::uint32_t headerSize, const std::vector<std::uint32_t>& colourSpace = {})
{
    constexpr int kWidth = 21;
    constexpr int kHeight = 13;
    std::vector<std::vector<std::uint8_t>> rows(kHeight, std::vector<std::uint8_t>(3 * kWidth));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            Sample(x, y, &rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(3 * x)]);
    BmpBuilder builder;
    builder.headerSize = headerSize;
    builder.width = kWidth;
    builder.height = kHeight;
    builder.pixels = BmpPixelArray(rows);
    std::vector<std::uint8_t> bytes = builder.Bytes();
    for (std::size_t i = 0; i < colourSpace.size(); ++i)
        for (std::size_t b = 0; b < 4; ++b)
            bytes[14 + 56 + 4 * i + b] = static_cast<std::uint8_t>(colourSpace[i] >> (8 * b));
    return bytes;
}

// A 124-byte header's fields from offset 56 for an embedded profile of size bytes at offset
// (from the info header's start).
std::vector<std::uint32_t> EmbeddedAt(std::uint32_t offset, std::uint32_t size)
{
    std::vector<std::uint32_t> fields(14, 0);
    fields[0] = 0x4D424544;  // "MBED"
    fields[13] = 4;          // intent, then the profile's offset and size
    fields.push_back(offset);
    fields.push_back(size);
    return fields;
}

TEST(PictureMetadataConversion, BmpColourSpacesAreTreatedAsProfiles)
{
    const TempFolder folder;
    WriteBytes(folder / "plain.bmp", ColourBmp(40));
    const std::vector<std::uint8_t> plainJpeg
        = Converted(folder / "plain.bmp", folder / "out.jpg", 9, 7, OutputMode::Jpeg, Threads::One);
    const std::vector<std::uint8_t> plainBmp
        = Converted(folder / "plain.bmp", folder / "out.bmp", 9, 7, OutputMode::Bmp, Threads::One);

    // The calibration of all zeros that many writers put in means none; sRGB and the system's
    // space, and a profile outside the file, change nothing either.
    const std::vector<std::vector<std::uint8_t>> unchanged = {
        ColourBmp(108), ColourBmp(124), ColourBmp(108, {0x73524742}), ColourBmp(124, {0x57696E20}),
        ColourBmp(124, EmbeddedAt(4000, 600)),
    };
    for (std::size_t i = 0; i < unchanged.size(); ++i) {
        WriteBytes(folder / "odd.bmp", unchanged[i]);
        EXPECT_EQ(Converted(folder / "odd.bmp", folder / "out.jpg", 9, 7, OutputMode::Jpeg, Threads::One), plainJpeg)
            << i;
        EXPECT_EQ(Converted(folder / "odd.bmp", folder / "out.bmp", 9, 7, OutputMode::Bmp, Threads::One), plainBmp)
            << i;
    }

    // An embedded profile: into a JPEG output as it is, applied for a BMP one.
    const std::vector<std::uint8_t> profile = Gamma18Profile();
    std::vector<std::uint8_t> embedded = ColourBmp(124);
    const auto offset = static_cast<std::uint32_t>(embedded.size() - 14);
    embedded = ColourBmp(124, EmbeddedAt(offset, static_cast<std::uint32_t>(profile.size())));
    embedded.insert(embedded.end(), profile.begin(), profile.end());
    WriteBytes(folder / "embedded.bmp", embedded);
    EXPECT_EQ(IccOf(Converted(folder / "embedded.bmp", folder / "out.jpg", 9, 7, OutputMode::Jpeg, Threads::One)),
              profile);
    const std::vector<std::uint8_t> converted
        = Converted(folder / "embedded.bmp", folder / "out.bmp", 9, 7, OutputMode::Bmp, Threads::One);
    EXPECT_NE(converted, plainBmp);
    EXPECT_EQ(converted.size(), plainBmp.size());

    // A calibration with the sRGB colorants and a gamma of 1.8 on each channel: an RGB profile
    // made of it goes into a JPEG output, and a BMP output has its pixels converted.
    const std::vector<std::uint32_t> calibrated = {
        0,
        // Red, green, blue X Y Z (D50-adapted sRGB colorants) in 2.30 fixed point.
        468314419, 240095232, 16372121, 413014681, 780222464, 104421232, 161195392, 65327456, 767165376,
        117965, 117965, 117965,  // 1.8 in 16.16 fixed point
    };
    WriteBytes(folder / "calibrated.bmp", ColourBmp(108, calibrated));
    const std::vector<std::uint8_t> calibratedJpeg
        = Converted(folder / "calibrated.bmp", folder / "out.jpg", 9, 7, OutputMode::Jpeg, Threads::One);
    const std::vector<std::uint8_t> carried = IccOf(calibratedJpeg);
    ASSERT_FALSE(carried.empty());
    cmsHPROFILE made = cmsOpenProfileFromMem(carried.data(), static_cast<cmsUInt32Number>(carried.size()));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(cmsGetColorSpace(made), cmsSigRgbData);
    cmsCloseProfile(made);
    EXPECT_NE(Converted(folder / "calibrated.bmp", folder / "out.bmp", 9, 7, OutputMode::Bmp, Threads::One),
              plainBmp);
}

}  // namespace

}  // namespace picbatch
