// Tests of the JPEG codec binding. Every JPEG is made here by libjpeg itself, and the binding's
// results are compared with direct libjpeg calls at the same parameters.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include "imaging/raster.h"
#include "pictures/byte_sink.h"
#include "pictures/encode_settings.h"
#include "pictures/jpeg/jpeg_cmyk.h"
#include "pictures/jpeg/jpeg_decoder.h"
#include "pictures/jpeg/jpeg_encoder.h"
#include "pictures/jpeg/jpeg_image.h"
#include "pictures/jpeg/jpeg_settings.h"
#include "tests/common/jpeg_markers.h"
#include "tests/common/libjpeg_compress.h"

namespace picbatch {

namespace {

using Bytes = std::vector<std::uint8_t>;
using PixelFn = std::function<void(int x, int y, std::uint8_t* sample)>;

// A test scene with detail in every channel, so that sampling and DCT errors show.
void Scene(int x, int y, std::uint8_t* bgr)
{
    bgr[0] = static_cast<std::uint8_t>(x * 7 + y * 3);
    bgr[1] = static_cast<std::uint8_t>((x * y) ^ (x + 2 * y));
    bgr[2] = static_cast<std::uint8_t>(255 - x * 2 + y * 5);
}

Raster MakePicture(int width, int height, const PixelFn& pixel = Scene)
{
    Raster picture;
    picture.SetPixelForm(PixelForm::Bgr24);
    picture.SetWidth(width);
    picture.SetHeight(height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixel(x, y, picture.Row(y).data() + x * 3);
    return picture;
}

// Direct libjpeg compression of a generated picture.
Bytes Compress(int width, int height, int components, J_COLOR_SPACE space, const PixelFn& pixel,
               const CompressSetup& setup = {})
{
    return LibjpegCompress(width, height, components, space, pixel, setup);
}

Bytes ColourJpeg(int width, int height, const std::function<void(jpeg_compress_struct&)>& setup = {})
{
    return Compress(width, height, 3, JCS_EXT_BGR, Scene, setup);
}

Bytes GrayJpeg(int width, int height, const std::function<void(jpeg_compress_struct&)>& setup = {})
{
    return Compress(width, height, 1, JCS_GRAYSCALE,
                    [](int x, int y, std::uint8_t* v) { *v = static_cast<std::uint8_t>(x * 255 / 63 + y % 3); },
                    setup);
}

Bytes ProgressiveJpeg(int width, int height)
{
    return ColourJpeg(width, height, [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); });
}

// Direct libjpeg decompression; rows top first, output_width x output_components bytes each.
// `setup` sets the parameters after jpeg_read_header.
std::vector<Bytes> Decompress(const Bytes& jpeg, const std::function<void(jpeg_decompress_struct&)>& setup)
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    err.emit_message = [](j_common_ptr, int) {};
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    setup(cinfo);
    jpeg_start_decompress(&cinfo);
    std::vector<Bytes> rows;
    while (cinfo.output_scanline < cinfo.output_height) {
        rows.emplace_back(std::size_t{cinfo.output_width} * static_cast<std::size_t>(cinfo.output_components));
        JSAMPROW row = rows.back().data();
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return rows;
}

// The binding's decoding parameters at the default settings.
void DefaultDecodeSetup(jpeg_decompress_struct& c)
{
    c.dct_method = JDCT_FLOAT;
    c.do_fancy_upsampling = TRUE;
    c.do_block_smoothing = TRUE;
    if (c.jpeg_color_space == JCS_GRAYSCALE) {
        c.quantize_colors = TRUE;
        c.desired_number_of_colors = 236;
        c.dither_mode = JDITHER_FS;
    } else {
        c.out_color_space = JCS_EXT_BGR;
    }
}

// The picture's rows without padding, top first, to compare with Decompress.
std::vector<Bytes> RowsOf(const Raster& picture)
{
    const auto bytes = static_cast<std::size_t>(picture.Width() * BitsPerPixel(picture.Form()) / 8);
    std::vector<Bytes> rows;
    for (int y = 0; y < picture.Height(); ++y)
        rows.emplace_back(picture.Row(y).begin(), picture.Row(y).begin() + static_cast<std::ptrdiff_t>(bytes));
    return rows;
}

Raster Decode(const Bytes& jpeg, const std::function<void(JpegSettings&)>& settings = {})
{
    JpegImage image;
    if (settings)
        settings(image.Settings());
    image.LoadJpegData(jpeg);
    return image.TakePicture();
}

Bytes Save(const Raster& picture, const std::function<void(JpegSettings&)>& settings = {})
{
    JpegImage image;
    if (settings)
        settings(image.Settings());
    image.AssignPicture(picture);
    Bytes out;
    image.SaveJpegData(out);
    return out;
}

// The JpegError that `action` raises, or nothing.
std::optional<JpegError> JpegErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const JpegError& e) {
        return e;
    }
    return std::nullopt;
}

// The JPEG error code that `action` raises, or -1 when it raises none.
int JpegErrorCode(const std::function<void()>& action)
{
    try {
        action();
    } catch (const JpegError& e) {
        EXPECT_EQ(e.what(), "JPEG error #" + std::to_string(e.Code()));
        return e.Code();
    }
    return -1;
}

Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(JpegDecode, HeaderIsReadBeforeDecodingAndRedLandsInByteTwo)
{
    JpegImage image;
    image.LoadJpegData(Compress(640, 480, 3, JCS_RGB, [](int, int, std::uint8_t* rgb) {
        rgb[0] = 255, rgb[1] = 0, rgb[2] = 0;
    }));
    EXPECT_EQ(image.Width(), 640);
    EXPECT_EQ(image.Height(), 480);
    EXPECT_FALSE(image.Settings().progressiveEncoding);
    const Raster& picture = image.DecodeJpeg();
    ASSERT_EQ(picture.Form(), PixelForm::Bgr24);
    EXPECT_EQ(picture.Width(), 640);
    EXPECT_EQ(picture.Height(), 480);
    for (int y : {0, 239, 479}) {
        const std::uint8_t* p = picture.Row(y).data() + 3 * 321;
        EXPECT_LE(p[0], 2);
        EXPECT_LE(p[1], 2);
        EXPECT_GE(p[2], 253);
    }
}

// The binding decodes exactly as libjpeg does with the same parameters.
TEST(JpegDecode, MatchesLibjpegAtTheDefaultSettings)
{
    struct Case {
        const char* name;
        Bytes jpeg;
    };
    const Case cases[] = {
        {"baseline 4:2:0, odd size", ColourJpeg(37, 29)},
        {"4:4:4", ColourJpeg(16, 16, [](jpeg_compress_struct& c) { c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1; })},
        {"progressive (decoded in one output pass)", ProgressiveJpeg(41, 23)},
        // Coefficient arrays of 2 MiB and more take the huge-page memory path.
        {"progressive, large", ProgressiveJpeg(1040, 1032)},
        {"restart markers", ColourJpeg(40, 40, [](jpeg_compress_struct& c) { c.restart_in_rows = 1; })},
        {"arithmetic coding", ColourJpeg(24, 24, [](jpeg_compress_struct& c) { c.arith_code = TRUE; })},
        {"one row", ColourJpeg(9, 1)},
        {"one column", ColourJpeg(1, 9)},
        {"grayscale", GrayJpeg(64, 8)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Raster picture = Decode(c.jpeg);
        EXPECT_EQ(RowsOf(picture), Decompress(c.jpeg, DefaultDecodeSetup));
    }
}

TEST(JpegDecode, GrayscaleGivesAtMost236EqualChannelLevels)
{
    const Bytes jpeg = GrayJpeg(64, 16);
    JpegImage image;
    image.LoadJpegData(jpeg);
    Raster target;
    target.SetPixelForm(PixelForm::Bgr24);
    target.SetWidth(64);
    target.SetHeight(16);
    image.DrawJpeg(target);
    EXPECT_EQ(image.DecodeJpeg().Form(), PixelForm::Paletted8);
    EXPECT_LE(image.DecodeJpeg().ColorTable().size(), 236u);
    std::set<int> levels;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x) {
            const std::uint8_t* p = target.Row(y).data() + 3 * x;
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);
            levels.insert(p[0]);
        }
    EXPECT_LE(levels.size(), 236u);
    EXPECT_GT(levels.size(), 50u);
}

// libjpeg fills in what a cut-off file lacks; the binding decodes such a file as libjpeg's own
// memory source does, and notes that it was incomplete.
TEST(JpegDecode, FileCutHalfwayThroughItsScanDecodesWithoutErrorAndIsNoted)
{
    for (const Bytes& whole : {ColourJpeg(64, 64), ProgressiveJpeg(64, 64)}) {
        JpegImage image;
        const Bytes cut = CutHalfwayThroughScan(whole);
        image.LoadJpegData(cut);
        const Raster& picture = image.DecodeJpeg();
        EXPECT_EQ(picture.Width(), 64);
        EXPECT_EQ(picture.Height(), 64);
        EXPECT_EQ(RowsOf(picture), Decompress(cut, DefaultDecodeSetup));
        EXPECT_TRUE(image.DecodeNotes().incomplete);

        image.LoadJpegData(whole);
        image.DecodeJpeg();
        EXPECT_FALSE(image.DecodeNotes().incomplete);
    }
}

// Wherever a file is cut, it is never taken for a whole one: cut before its scan data it fails
// as cut short (or, in its first bytes, as empty or no JPEG); cut later it decodes, noted as
// incomplete, whole-picture and band by band alike.
TEST(JpegDecode, AFileCutAnywhereFailsAsCutShortOrIsNoted)
{
    for (const Bytes& whole : {ColourJpeg(16, 16), ProgressiveJpeg(24, 16)}) {
        for (std::size_t size = 0; size < whole.size(); ++size) {
            SCOPED_TRACE("cut at " + std::to_string(size) + " of " + std::to_string(whole.size()));
            const Bytes cut = CutAt(whole, size);
            ReadNotes notes;
            try {
                JpegImage image;
                image.LoadJpegData(cut);
                image.DecodeJpeg();
                notes = image.DecodeNotes();
            } catch (const JpegError& error) {
                const FailureCause expected = size == 0 ? FailureCause::EmptyFile
                    : size == 1                         ? FailureCause::NotAPicture
                                                        : FailureCause::CutBeforePicture;
                EXPECT_EQ(error.Cause(), expected) << error.what();
                EXPECT_THROW(DecodeJpegRows(cut, JpegSettings{}, [](int, int) {}, [](auto, auto, auto) {}),
                             JpegError);
                continue;
            }
            EXPECT_TRUE(notes.incomplete);
            const ReadNotes banded = DecodeJpegRows(cut, JpegSettings{}, [](int, int) {}, [](auto, auto, auto) {});
            EXPECT_TRUE(banded.incomplete);
        }
    }
}

// Each case: how the file is made, where the failure shows, and libjpeg's code.
TEST(JpegErrors, BrokenFilesFailWithLibjpegsCode)
{
    const Bytes good = ColourJpeg(16, 16);
    const std::size_t sos = FindMarker(good, 0xDA);
    Bytes noScan(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(sos));
    noScan.insert(noScan.end(), {0xFF, 0xD9});
    // A progressive 4:4:4 frame of 16000 x 16000 needs 1.5 GB of coefficients before the
    // first row: more than libjpeg may take.
    const Bytes progressive444 = ColourJpeg(16, 16, [](jpeg_compress_struct& c) {
        c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
        jpeg_simple_progression(&c);
    });
    const std::string text = "just some words, not a picture\n";
    struct Case {
        const char* name;
        Bytes bytes;
        bool failsInLoad;
        int code;
        FailureCause cause;
    };
    const Case cases[] = {
        {"empty data", {}, false, 42, FailureCause::EmptyFile},
        {"text file", Bytes(text.begin(), text.end()), true, 53, FailureCause::NotAPicture},
        {"no frame", {0xFF, 0xD8, 0xFF, 0xD9}, true, 51, FailureCause::CutBeforePicture},
        {"frame but no scan", noScan, true, 59, FailureCause::CutBeforePicture},
        {"cut inside the frame header", CutAt(good, FindMarker(good, 0xC0) + 7), true, 11,
         FailureCause::CutBeforePicture},
        {"cut inside a Huffman table", CutAt(good, FindMarker(good, 0xC4) + 12), true, 8,
         FailureCause::CutBeforePicture},
        {"lossless frame", Patched(good, 0xC0, 1, 0xC3), true, 60, FailureCause::Unsupported},
        {"12-bit samples", Patched(good, 0xC0, 4, 12), true, 15, FailureCause::Unsupported},
        {"65500 x 65500 declared", WithFrameSize(good, 65500, 65500), true, 41, FailureCause::TooLarge},
        {"20000 x 20000 declared", WithFrameSize(good, 20000, 20000), true, 41, FailureCause::TooLarge},
        {"coefficients above the memory cap", WithFrameSize(progressive444, 16000, 16000, 0xC2), false, 49,
         FailureCause::TooLargeForMemory},
        // Damaged, for no cause the code tells: the first component's Huffman tables are not defined.
        {"undefined Huffman table", Patched(good, 0xDA, 6, 0x33), false, 50, FailureCause::Unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JpegImage image;
        Raster target;
        target.SetPixelForm(PixelForm::Bgr24);
        const std::optional<JpegError> inLoad = JpegErrorOf([&] { image.LoadJpegData(c.bytes); });
        const std::optional<JpegError> failure = inLoad ? inLoad : JpegErrorOf([&] { image.DrawJpeg(target); });
        EXPECT_EQ(inLoad.has_value(), c.failsInLoad);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->Code(), c.code);
        EXPECT_EQ(failure->Cause(), c.cause);
        if (c.bytes.empty()) {
            EXPECT_EQ(image.Width(), 0);
        }
    }
}

TEST(JpegErrors, PictureAtTheSizeLimitIsNotRefused)
{
    JpegImage image;
    image.LoadJpegData(WithFrameSize(ColourJpeg(16, 16), 16384, 16384));
    EXPECT_EQ(image.Width(), 16384);
}

// A file that repeats its last scan thousands of times must stop early, in both decoding modes.
TEST(JpegErrors, ScanFloodIsStopped)
{
    const Bytes single = ProgressiveJpeg(16, 16);
    const std::size_t lastScan = FindLastMarker(single, 0xDA);
    const std::size_t eoi = single.size() - 2;
    Bytes flood(single.begin(), single.begin() + static_cast<std::ptrdiff_t>(eoi));
    for (int i = 0; i < 1100; ++i)
        flood.insert(flood.end(), single.begin() + static_cast<std::ptrdiff_t>(lastScan),
                     single.begin() + static_cast<std::ptrdiff_t>(eoi));
    flood.insert(flood.end(), {0xFF, 0xD9});
    for (bool progressiveDisplay : {false, true}) {
        SCOPED_TRACE(progressiveDisplay ? "progressive display" : "single pass");
        JpegImage image;
        image.Settings().progressiveDisplay = progressiveDisplay;
        image.LoadJpegData(flood);
        try {
            image.DecodeJpeg();
            ADD_FAILURE() << "no error";
        } catch (const JpegError& e) {
            EXPECT_EQ(e.Code(), kJpegTooManyScans);
            EXPECT_STREQ(e.what(), "JPEG error #1001: more than 1000 scans");
        }
    }
}

// A failure after the header leaves the picture as far as it got, which later requests
// return without decoding again.
TEST(JpegErrors, FailedDecodeIsNotRepeated)
{
    // The first component's Huffman tables are not defined.
    const Bytes jpeg = Patched(ColourJpeg(16, 16), 0xDA, 6, 0x33);
    JpegImage image;
    image.LoadJpegData(jpeg);
    EXPECT_EQ(image.Width(), 16);
    EXPECT_EQ(JpegErrorCode([&] { image.DecodeJpeg(); }), 50);
    EXPECT_EQ(JpegErrorCode([&] { image.DecodeJpeg(); }), -1);
    EXPECT_EQ(image.Width(), 16);
}

// The encoder must give exactly the stream libjpeg gives with the documented parameters.
TEST(JpegEncode, MatchesLibjpegByteForByte)
{
    for (auto [width, height] : {std::pair{37, 29}, std::pair{640, 480}, std::pair{1, 1}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        const Bytes expected = ColourJpeg(width, height, [](jpeg_compress_struct& c) {
            jpeg_set_quality(&c, 90, TRUE);
            c.dct_method = JDCT_FLOAT;
        });
        EXPECT_EQ(Save(MakePicture(width, height)), expected);
    }
}

TEST(JpegEncode, MatchesCjpegOnTheSamePixels)
{
    if (std::system("command -v cjpeg >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "cjpeg (libjpeg-turbo-progs) is not installed";
    const auto dir = std::filesystem::path(testing::TempDir()) / "jpeg_test_cjpeg";
    std::filesystem::create_directories(dir);
    const Raster picture = MakePicture(53, 31);
    {
        std::ofstream ppm(dir / "in.ppm", std::ios::binary);
        ppm << "P6\n53 31\n255\n";
        for (int y = 0; y < 31; ++y)
            for (int x = 0; x < 53; ++x) {
                const std::uint8_t* p = picture.Row(y).data() + 3 * x;
                const char rgb[3] = {static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0])};
                ppm.write(rgb, 3);
            }
    }
    const std::string command = "cjpeg -quality 90 -dct float -baseline -outfile '" + (dir / "out.jpg").string()
        + "' '" + (dir / "in.ppm").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(Save(picture), ReadFile(dir / "out.jpg"));

    // Every quality a run may ask for, baseline and progressive. cjpeg's -baseline keeps the
    // quantisation tables to 8 bits, as the encoder always does; with -progressive it writes
    // libjpeg's standard progression, its Huffman tables optimised, as the encoder does.
    for (const int quality : {1, 50, 75, 90, 100}) {
        for (const bool progressive : {false, true}) {
            SCOPED_TRACE(std::to_string(quality) + (progressive ? ", progressive" : ", baseline"));
            const std::string cjpeg = "cjpeg -quality " + std::to_string(quality) + " -dct float -baseline "
                + (progressive ? "-progressive " : "") + "-outfile '" + (dir / "out.jpg").string() + "' '"
                + (dir / "in.ppm").string() + "'";
            ASSERT_EQ(std::system(cjpeg.c_str()), 0);
            Bytes encoded;
            EncodeJpegPicture(picture, JpegSettingsFor({quality, progressive}), encoded);
            EXPECT_EQ(encoded, ReadFile(dir / "out.jpg"));
        }
    }
    std::filesystem::remove_all(dir);
}

// Progressive files hold the same coefficients in several scans: decoded, they are the
// baseline file's pixels, at every quality, and the smaller file beyond the lowest.
TEST(JpegEncode, ProgressiveDecodesToTheBaselinePixels)
{
    const Raster picture = MakePicture(101, 67);
    for (const int quality : {1, 30, 90, 100}) {
        SCOPED_TRACE(quality);
        Bytes baseline;
        Bytes progressive;
        EncodeJpegPicture(picture, JpegSettingsFor({quality, false}), baseline);
        EncodeJpegPicture(picture, JpegSettingsFor({quality, true}), progressive);
        EXPECT_EQ(FindMarker(baseline, 0xC2), std::string::npos);
        EXPECT_NE(FindMarker(progressive, 0xC2), std::string::npos);
        const Raster fromBaseline = Decode(baseline);
        const Raster fromProgressive = Decode(progressive);
        ASSERT_EQ(fromProgressive.Width(), 101);
        ASSERT_EQ(fromProgressive.Height(), 67);
        for (int y = 0; y < 67; ++y)
            ASSERT_TRUE(std::ranges::equal(fromProgressive.Row(y).first(3 * 101), fromBaseline.Row(y).first(3 * 101)))
                << "row " << y;
        if (quality > 1) {
            EXPECT_LT(progressive.size(), baseline.size());
        }
    }
}

TEST(JpegEncode, SavedStreamHasTheJfifBaselineLayout)
{
    const Bytes jpeg = Save(MakePicture(20, 10));
    ASSERT_GT(jpeg.size(), 200u);
    const Bytes head(jpeg.begin(), jpeg.begin() + 20);
    const Bytes expectedHead = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    EXPECT_EQ(head, expectedHead);
    const std::size_t sof = FindMarker(jpeg, 0xC0);
    ASSERT_NE(sof, std::string::npos);
    EXPECT_EQ(jpeg[sof + 4], 8);   // sample precision
    EXPECT_EQ(jpeg[sof + 9], 3);   // components
    EXPECT_EQ(jpeg[sof + 11], 0x22);
    EXPECT_EQ(jpeg[sof + 14], 0x11);
    EXPECT_EQ(jpeg[sof + 17], 0x11);
    EXPECT_EQ(FindMarker(jpeg, 0xDD), std::string::npos);  // no restart interval
    EXPECT_EQ(FindMarker(jpeg, 0xFE), std::string::npos);  // no comment
    EXPECT_EQ(FindMarker(jpeg, 0xEE), std::string::npos);  // no Adobe marker
    EXPECT_EQ(Bytes(jpeg.end() - 2, jpeg.end()), (Bytes{0xFF, 0xD9}));
    const Raster back = Decode(jpeg);
    EXPECT_EQ(back.Width(), 20);
    EXPECT_EQ(back.Height(), 10);
}

TEST(JpegEncode, OneRowAndOneColumnPicturesRoundTrip)
{
    for (auto [width, height] : {std::pair{7, 1}, std::pair{1, 7}, std::pair{1, 1}}) {
        const Raster picture = MakePicture(width, height, [](int, int, std::uint8_t* p) { p[0] = 40, p[1] = 120, p[2] = 200; });
        const Raster back = Decode(Save(picture));
        ASSERT_EQ(back.Width(), width);
        ASSERT_EQ(back.Height(), height);
        const std::uint8_t* p = back.Row(height - 1).data() + 3 * (width - 1);
        EXPECT_NEAR(p[0], 40, 3);
        EXPECT_NEAR(p[1], 120, 3);
        EXPECT_NEAR(p[2], 200, 3);
    }
}

TEST(JpegEncode, PictureWithoutPixelsWritesZeroBytes)
{
    JpegImage fresh;
    Bytes out;
    fresh.SaveJpegData(out);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(Save(Raster()).empty());
    Raster wide;
    wide.SetPixelForm(PixelForm::Bgr24);
    wide.SetWidth(5);
    EXPECT_TRUE(Save(wide).empty());
}

TEST(JpegEncode, TooWidePictureFailsEveryTimeAndWritesNothing)
{
    JpegImage image;
    image.AssignPicture(MakePicture(65501, 2, [](int, int, std::uint8_t*) {}));
    for (int attempt = 0; attempt < 2; ++attempt) {
        Bytes out;
        EXPECT_EQ(JpegErrorCode([&] { image.SaveJpegData(out); }), 41);
        EXPECT_TRUE(out.empty());
    }
}

TEST(JpegEncode, SecondSaveWritesTheSameBytes)
{
    JpegImage image;
    image.AssignPicture(MakePicture(33, 17));
    Bytes first;
    Bytes second;
    image.SaveJpegData(first);
    image.SaveJpegData(second);
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, second);
    EXPECT_EQ(image.Width(), 33);
}

// The encoder fed row by row refuses misuse instead of writing a stream that looks whole.
TEST(JpegEncode, RowEncoderRefusesAnEarlyEndAndUseAfterAFailure)
{
    Bytes out;
    MemorySink outSink(out);
    JpegRowEncoder unfinished(4, 3, DefaultJpegSettings(), outSink);
    const std::uint8_t row[12] = {};
    unfinished.AddRow(row);
    EXPECT_THROW(unfinished.Finish(), std::logic_error);

    Bytes tooWide;
    MemorySink tooWideSink(tooWide);
    std::optional<JpegRowEncoder> failed;
    EXPECT_EQ(JpegErrorCode([&] { failed.emplace(65501, 1, DefaultJpegSettings(), tooWideSink); }), 41);

    Bytes whole;
    MemorySink wholeSink(whole);
    JpegRowEncoder encoder(4, 1, DefaultJpegSettings(), wholeSink);
    encoder.AddRow(row);
    encoder.AddRow(row);  // past the height: ignored
    encoder.Finish();
    JpegImage image;
    image.AssignPicture(MakePicture(4, 1, [](int, int, std::uint8_t* bgr) { bgr[0] = bgr[1] = bgr[2] = 0; }));
    Bytes expected;
    image.SaveJpegData(expected);
    EXPECT_EQ(whole, expected);
    EXPECT_THROW(encoder.AddRow(row), std::logic_error);
}

// Four-component and RGB-coded files become the colours a viewer shows.
TEST(JpegColour, CmykYcckAndRgbFilesBecomeBlueGreenRed)
{
    const std::uint8_t ink[4] = {30, 90, 200, 40};  // C, M, Y, K in ink amounts
    auto stored = [&](bool inverted) {
        return [=](int, int, std::uint8_t* s) {
            for (int i = 0; i < 4; ++i)
                s[i] = inverted ? static_cast<std::uint8_t>(255 - ink[i]) : ink[i];
        };
    };
    auto viewed = [&](int inkIndex) { return (255 - ink[inkIndex]) * (255 - ink[3]) / 255; };
    struct Case {
        const char* name;
        Bytes jpeg;
    };
    const Case cases[] = {
        {"Adobe CMYK", Compress(16, 16, 4, JCS_CMYK, stored(true), [](jpeg_compress_struct& c) { jpeg_set_colorspace(&c, JCS_CMYK); })},
        {"Adobe YCCK", Compress(16, 16, 4, JCS_CMYK, stored(true), [](jpeg_compress_struct& c) { jpeg_set_colorspace(&c, JCS_YCCK); })},
        {"CMYK without Adobe marker", Compress(16, 16, 4, JCS_CMYK, stored(false), [](jpeg_compress_struct& c) {
             jpeg_set_colorspace(&c, JCS_CMYK);
             c.write_Adobe_marker = FALSE;
         })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Raster picture = Decode(c.jpeg);
        ASSERT_EQ(picture.Form(), PixelForm::Bgr24);
        const std::uint8_t* p = picture.Row(8).data() + 3 * 8;
        EXPECT_NEAR(p[2], viewed(0), 3);
        EXPECT_NEAR(p[1], viewed(1), 3);
        EXPECT_NEAR(p[0], viewed(2), 3);
    }
    const Bytes rgbCoded = Compress(16, 16, 3, JCS_RGB, [](int, int, std::uint8_t* rgb) { rgb[0] = 250, rgb[1] = 128, rgb[2] = 5; },
                                    [](jpeg_compress_struct& c) { jpeg_set_colorspace(&c, JCS_RGB); });
    const Raster rgb = Decode(rgbCoded);
    const std::uint8_t* p = rgb.Row(3).data();
    EXPECT_NEAR(p[2], 250, 3);
    EXPECT_NEAR(p[1], 128, 3);
    EXPECT_NEAR(p[0], 5, 3);
}

TEST(JpegColour, CmykRowConversion)
{
    // C, M, Y, K stored as ink amounts (plain) or as their inverse (Adobe).
    const std::uint8_t plain[8] = {0, 0, 0, 0, 255, 128, 0, 51};
    const std::uint8_t adobe[8] = {255, 255, 255, 255, 0, 127, 255, 204};
    for (bool inverted : {false, true}) {
        std::uint8_t bgr[6] = {};
        CmykRowToBgr(inverted ? adobe : plain, bgr, 2, inverted);
        EXPECT_EQ(Bytes(bgr, bgr + 6), (Bytes{255, 255, 255, 204, 102, 0}));
    }
}

// The settings the system leaves at their defaults still do what they say.
TEST(JpegSettingsTest, NonDefaultDecodeSettingsMatchLibjpeg)
{
    const Bytes colour = ColourJpeg(40, 24);
    const Bytes progressive = ProgressiveJpeg(40, 24);
    struct Case {
        const char* name;
        const Bytes& jpeg;
        std::function<void(JpegSettings&)> settings;
        std::function<void(jpeg_decompress_struct&)> libjpeg;
    };
    const Case cases[] = {
        {"best speed", colour, [](JpegSettings& s) { s.performance = JpegPerformance::BestSpeed; },
         [](jpeg_decompress_struct& c) {
             DefaultDecodeSetup(c);
             c.dct_method = JDCT_IFAST;
         }},
        {"half scale", colour, [](JpegSettings& s) { s.scale = JpegScale::Half; },
         [](jpeg_decompress_struct& c) {
             DefaultDecodeSetup(c);
             c.scale_denom = 2;
         }},
        {"eighth scale", colour, [](JpegSettings& s) { s.scale = JpegScale::Eighth; },
         [](jpeg_decompress_struct& c) {
             DefaultDecodeSetup(c);
             c.scale_denom = 8;
         }},
        {"no smoothing", progressive, [](JpegSettings& s) { s.smoothing = false; },
         [](jpeg_decompress_struct& c) {
             DefaultDecodeSetup(c);
             c.do_block_smoothing = FALSE;
         }},
        {"grayscale output", colour, [](JpegSettings& s) { s.grayscale = true; },
         [](jpeg_decompress_struct& c) {
             DefaultDecodeSetup(c);
             c.out_color_space = JCS_GRAYSCALE;
             c.quantize_colors = TRUE;
             c.desired_number_of_colors = 236;
         }},
        {"8-bit pixel format", colour, [](JpegSettings& s) { s.pixelFormat = JpegPixelFormat::Bits8; },
         [](jpeg_decompress_struct& c) {
             DefaultDecodeSetup(c);
             c.quantize_colors = TRUE;
             c.desired_number_of_colors = 236;
             c.two_pass_quantize = TRUE;
         }},
        // The quick intermediate passes are overwritten by a final pass at full quality.
        {"progressive display", progressive, [](JpegSettings& s) { s.progressiveDisplay = true; }, DefaultDecodeSetup},
        {"progressive display, 8-bit", progressive,
         [](JpegSettings& s) {
             s.progressiveDisplay = true;
             s.pixelFormat = JpegPixelFormat::Bits8;
         },
         [](jpeg_decompress_struct& c) {
             DefaultDecodeSetup(c);
             c.quantize_colors = TRUE;
             c.desired_number_of_colors = 236;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Raster picture = Decode(c.jpeg, c.settings);
        EXPECT_EQ(RowsOf(picture), Decompress(c.jpeg, c.libjpeg));
        if (picture.Form() == PixelForm::Paletted8) {
            EXPECT_LE(picture.ColorTable().size(), 236u);
            EXPECT_GT(picture.ColorTable().size(), 8u);
        }
    }
}

// Quantized colours keep their channels: the colour table is read in blue-green-red order.
TEST(JpegSettingsTest, EightBitFormatKeepsEachChannelInPlace)
{
    const Bytes jpeg = Compress(32, 32, 3, JCS_RGB, [](int x, int, std::uint8_t* rgb) {
        rgb[0] = x < 16 ? 220 : 20, rgb[1] = 120, rgb[2] = x < 16 ? 30 : 240;
    });
    for (bool progressiveDisplay : {false, true}) {
        const Raster picture = Decode(jpeg, [&](JpegSettings& s) {
            s.pixelFormat = JpegPixelFormat::Bits8;
            s.progressiveDisplay = progressiveDisplay;
        });
        ASSERT_EQ(picture.Form(), PixelForm::Paletted8);
        for (auto [x, red, blue] : {std::tuple{4, 220, 30}, std::tuple{28, 20, 240}}) {
            const ColorEntry c = picture.ColorTable().at(picture.Row(10)[x]);
            EXPECT_NEAR(c.red, red, 24);
            EXPECT_NEAR(c.green, 120, 24);
            EXPECT_NEAR(c.blue, blue, 24);
        }
    }
}

TEST(JpegSettingsTest, GrayscaleAndProgressiveEncoding)
{
    const Raster picture = MakePicture(32, 16);
    const Bytes gray = Save(picture, [](JpegSettings& s) { s.grayscale = true; });
    EXPECT_EQ(gray[FindMarker(gray, 0xC0) + 9], 1);  // one component
    EXPECT_EQ(Decode(gray).Form(), PixelForm::Paletted8);

    const Bytes progressive = Save(picture, [](JpegSettings& s) { s.progressiveEncoding = true; });
    EXPECT_NE(FindMarker(progressive, 0xC2), std::string::npos);
    JpegImage image;
    image.LoadJpegData(progressive);
    EXPECT_TRUE(image.Settings().progressiveEncoding);
    const Raster back = image.TakePicture();
    const Raster baseline = Decode(Save(picture));
    ASSERT_EQ(back.Width(), 32);
    for (int x = 0; x < 32 * 3; ++x)
        EXPECT_NEAR(back.Row(5)[x], baseline.Row(5)[x], 4);
}

TEST(JpegSettingsTest, DisplayDepthOfEightBitsOrLessSelectsTheEightBitFormat)
{
    const JpegSettings saved = DefaultJpegSettings();
    for (auto [depth, expected] : {std::pair{32, JpegPixelFormat::Bits24}, std::pair{0, JpegPixelFormat::Bits24},
                                   std::pair{8, JpegPixelFormat::Bits8}}) {
        DefaultJpegSettings() = JpegSettings{};
        ApplyDisplayColorDepth(depth);
        EXPECT_EQ(JpegImage().Settings().pixelFormat, expected) << depth;
    }
    DefaultJpegSettings() = saved;
}

TEST(JpegImage, SizeCannotBeChanged)
{
    JpegImage image;
    EXPECT_THROW(image.SetWidth(10), PictureOperationError);
    EXPECT_THROW(image.SetHeight(10), PictureOperationError);
}

TEST(JpegImage, DrawingCopiesThePictureAndAnEmptyObjectDrawsNothing)
{
    Raster target;
    target.SetPixelForm(PixelForm::Bgr24);
    target.SetWidth(12);
    target.SetHeight(6);
    const Raster white = target;
    JpegImage empty;
    empty.DrawJpeg(target);
    EXPECT_EQ(RowsOf(target), RowsOf(white));

    JpegImage image;
    image.LoadJpegData(ColourJpeg(12, 6));
    image.DrawJpeg(target);
    EXPECT_EQ(RowsOf(target), RowsOf(image.DecodeJpeg()));
}

TEST(JpegImage, EmbeddedRecordRoundTrip)
{
    JpegImage source;
    source.AssignPicture(MakePicture(10, 10));
    Bytes record;
    source.WriteEmbedded(record);
    Bytes saved;
    source.SaveJpegData(saved);
    ASSERT_EQ(record.size(), saved.size() + 4);
    record.push_back(0xAB);  // what follows the record is not read
    JpegImage copy;
    EXPECT_EQ(copy.ReadEmbedded(record), saved.size() + 4);
    EXPECT_EQ(copy.Width(), 10);
    Bytes again;
    copy.WriteEmbedded(again);  // loaded data is written back unchanged
    record.pop_back();
    EXPECT_EQ(again, record);

    Bytes none;
    JpegImage().WriteEmbedded(none);
    EXPECT_EQ(none, (Bytes{0, 0, 0, 0}));
    for (const Bytes& shortRecord : {Bytes{5, 0}, Bytes{5, 0, 0, 0, 0xFF, 0xD8}}) {
        try {
            JpegImage().ReadEmbedded(shortRecord);
            ADD_FAILURE() << "short record read";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Stream read error");
        }
    }
}

// Several pictures may be decoded and encoded on different threads at once.
TEST(JpegImage, ConcurrentUseGivesTheSameResults)
{
    const Bytes jpeg = ProgressiveJpeg(96, 64);
    const Raster expected = Decode(jpeg);
    const Bytes expectedSaved = Save(expected);
    std::vector<int> ok(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const Raster picture = Decode(jpeg);
                ok[t] += RowsOf(picture) == RowsOf(expected) && Save(picture) == expectedSaved;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(ok, std::vector<int>(4, 5));
}

// With PICBATCH_FUZZ_SEEDS set, leaves the files made here as seeds for the fuzz target.
TEST(JpegFuzzSeeds, WrittenWhenAsked)
{
    const char* root = std::getenv("PICBATCH_FUZZ_SEEDS");
    if (!root || !*root)
        GTEST_SKIP() << "PICBATCH_FUZZ_SEEDS is not set";
    const auto dir = std::filesystem::path(root) / "jpeg";
    std::filesystem::create_directories(dir);
    const auto cmyk = Compress(8, 8, 4, JCS_CMYK, [](int x, int y, std::uint8_t* s) { s[0] = s[1] = s[2] = s[3] = static_cast<std::uint8_t>(x * y); },
                               [](jpeg_compress_struct& c) { jpeg_set_colorspace(&c, JCS_CMYK); });
    const std::pair<const char*, Bytes> seeds[] = {
        {"baseline.jpg", ColourJpeg(24, 16)},
        {"progressive.jpg", ProgressiveJpeg(24, 16)},
        {"grayscale.jpg", GrayJpeg(16, 8)},
        {"cmyk.jpg", cmyk},
        {"one_row.jpg", ColourJpeg(17, 1)},
        {"truncated.jpg", CutHalfwayThroughScan(ColourJpeg(32, 32))},
        {"arithmetic.jpg", ColourJpeg(16, 16, [](jpeg_compress_struct& c) { c.arith_code = TRUE; })},
    };
    for (const auto& [name, bytes] : seeds) {
        std::ofstream out(dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good()) << name;
    }
}

}  // namespace

}  // namespace picbatch
