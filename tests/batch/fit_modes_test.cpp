// The fit modes' files against the conversions they promise to equal: contain is a stretch to
// its size, cover a stretch of the window cut out first, pad the contain result on a canvas.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "batch/convert_picture.h"
#include "batch/fitted_size.h"
#include "imaging/error.h"
#include "pictures/png/png.h"
#include "tests/batch/picture_files.h"
#include "tests/common/libjpeg_compress.h"
#include "tests/common/tagged_jpeg.h"

namespace picbatch {

namespace {

// A busy pattern: every 8 x 8 block and chroma sample differs from its neighbours, so that a
// window decoded with the wrong neighbours shows.
std::uint8_t Noise(int x, int y, int channel)
{
    std::uint32_t v = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u
        ^ static_cast<std::uint32_t>(channel) * 83492791u;
    v ^= v >> 13;
    return static_cast<std::uint8_t>((v * 2654435761u) >> 24);
}

std::vector<std::uint8_t> NoiseJpeg(int width, int height, int components, const CompressSetup& setup = {})
{
    return LibjpegCompress(
        width, height, components, components == 1 ? JCS_GRAYSCALE : JCS_RGB,
        [&](int x, int y, std::uint8_t* samples) {
            for (int c = 0; c < components; ++c)
                samples[c] = static_cast<std::uint8_t>((x + 2 * y) / 3 + Noise(x, y, c) / 4);
        },
        setup);
}

Raster NoisePicture(int width, int height, bool alpha)
{
    Raster picture;
    picture.SetPixelForm(alpha ? PixelForm::Bgra32 : PixelForm::Bgr24);
    picture.SetSizeForWriting(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < (alpha ? 4 : 3); ++c)
                picture.Row(y)[static_cast<std::size_t>((alpha ? 4 : 3) * x + c)] = Noise(x, y, c);
    return picture;
}

class FitModes : public ::testing::Test {
protected:
    // The bytes written for source under request.
    std::vector<std::uint8_t> Converted(const std::string& source, ConversionRequest request)
    {
        const std::string destination = out / ("n" + std::to_string(++m_count) + "_" + Name(source));
        const ConversionPlan plan = PlanConversion(source, destination, request);
        CarryOut(plan);
        return ReadBytes(*plan.output.path);
    }

    std::vector<std::uint8_t> Stretched(const std::string& source, int width, int height, OutputMode mode)
    {
        return Converted(source, {width, height, mode, {}});
    }

    static std::string Name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

    static ConversionRequest Fit(int width, int height, FitMode fit, OutputMode mode = OutputMode::KeepFormat)
    {
        ConversionRequest request{width, height, mode, {}};
        request.options.fit = fit;
        return request;
    }

    TempFolder in;
    TempFolder out;
    int m_count = 0;
};

TEST_F(FitModes, ContainIsAStretchToItsSize)
{
    WriteBytes(in / "wide.jpg", NoiseJpeg(300, 100, 3));
    WriteBmpFile(in / "tall.bmp", NoisePicture(50, 120, false));
    WriteBytes(in / "alpha.png", EncodePng(NoisePicture(90, 40, true)));
    EXPECT_EQ(Converted(in / "wide.jpg", Fit(120, 90, FitMode::Contain)), Stretched(in / "wide.jpg", 120, 40, OutputMode::KeepFormat));
    EXPECT_EQ(Converted(in / "tall.bmp", Fit(120, 90, FitMode::Contain)), Stretched(in / "tall.bmp", 38, 90, OutputMode::KeepFormat));
    EXPECT_EQ(Converted(in / "alpha.png", Fit(120, 90, FitMode::Contain)), Stretched(in / "alpha.png", 120, 53, OutputMode::KeepFormat));
}

// Cover against the window cut out of the loaded picture, written without loss and stretched.
TEST_F(FitModes, CoverIsTheWindowCutOutThenStretched)
{
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        int width;
        int height;
    };
    const auto progressive = [](jpeg_compress_struct& cinfo) { jpeg_simple_progression(&cinfo); };
    const auto fullChroma = [](jpeg_compress_struct& cinfo) {
        cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
    };
    const Case cases[] = {
        {"panorama, 4:2:0, window off the blocks", NoiseJpeg(600, 200, 3), 120, 90},
        {"tall, rows skipped above and below", NoiseJpeg(200, 600, 3), 120, 90},
        {"4:4:4", NoiseJpeg(419, 130, 3, fullChroma), 64, 48},
        {"progressive", NoiseJpeg(600, 203, 3, progressive), 120, 90},
        {"progressive tall", NoiseJpeg(203, 600, 3, progressive), 120, 90},
        {"grey", NoiseJpeg(500, 170, 1), 100, 75},
        {"window near the edge", NoiseJpeg(260, 100, 3), 240, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = in / (std::string("cover") + std::to_string(m_count) + ".jpg");
        WriteBytes(source, c.bytes);
        Raster whole = LoadedPicture(source);
        const FittedSize fitted = FitSize(whole.Width(), whole.Height(), Fit(c.width, c.height, FitMode::Cover));
        ASSERT_NE(fitted.window.width * fitted.window.height, whole.Width() * whole.Height());
        const std::string cut = in / "cut.bmp";
        WriteBmpFile(cut, CroppedPicture(whole, fitted.window));
        EXPECT_EQ(Converted(source, Fit(c.width, c.height, FitMode::Cover, OutputMode::Jpeg)),
                  Stretched(cut, c.width, c.height, OutputMode::Jpeg));
    }

    WriteBmpFile(in / "wide.bmp", NoisePicture(333, 100, false));
    Raster wide = NoisePicture(333, 100, false);
    WriteBmpFile(in / "cut.bmp", CroppedPicture(wide, {100, 0, 133, 100}));
    EXPECT_EQ(Converted(in / "wide.bmp", Fit(40, 30, FitMode::Cover)), Stretched(in / "cut.bmp", 40, 30, OutputMode::KeepFormat));

    Raster alpha = NoisePicture(100, 333, true);
    WriteBytes(in / "tall.png", EncodePng(alpha));
    WriteBytes(in / "cut.png", EncodePng(CroppedPicture(alpha, {0, 129, 100, 75})));
    EXPECT_EQ(Converted(in / "tall.png", Fit(40, 30, FitMode::Cover)), Stretched(in / "cut.png", 40, 30, OutputMode::KeepFormat));
}

// A stored-sideways JPEG (EXIF 6): the upright window is found in the stored rows.
TEST_F(FitModes, CoverOfATurnedPhotoCutsItsUprightWindow)
{
    const auto sample = [](int x, int y, std::uint8_t* bgr) {
        for (int c = 0; c < 3; ++c)
            bgr[c] = Noise(x, y, c);
    };
    WriteBytes(in / "turned.jpg", TaggedJpeg(400, 100, sample, ExifBlock(6), {}));
    Raster stored = LoadedPicture(in / "turned.jpg");
    Raster upright = Upright(stored, Orientation::Rotate90);
    ASSERT_EQ(upright.Width(), 100);
    WriteBmpFile(in / "cut.bmp", CroppedPicture(upright, {0, 125, 100, 150}));
    EXPECT_EQ(Converted(in / "turned.jpg", Fit(80, 120, FitMode::Cover, OutputMode::Jpeg)),
              Stretched(in / "cut.bmp", 80, 120, OutputMode::Jpeg));
}

TEST_F(FitModes, PadPlacesTheContainResultOnTheBackground)
{
    struct Case {
        const char* name;
        std::string source;
        OutputMode mode;
        Background background;
        std::uint8_t border[4];  // blue, green, red, alpha
    };
    WriteBmpFile(in / "wide.bmp", NoisePicture(300, 100, false));
    WriteBytes(in / "alpha.png", EncodePng(NoisePicture(100, 300, true)));
    WriteBytes(in / "opaque.png", EncodePng(NoisePicture(100, 300, false)));
    const Background red{Background::Kind::Colour, 0xff, 0x20, 0x10};
    const Background transparent{Background::Kind::Transparent};
    const Case cases[] = {
        {"white by default", in / "wide.bmp", OutputMode::KeepFormat, {}, {255, 255, 255, 255}},
        {"a colour", in / "wide.bmp", OutputMode::KeepFormat, red, {0x10, 0x20, 0xff, 255}},
        {"transparent is white without alpha", in / "wide.bmp", OutputMode::KeepFormat, transparent,
         {255, 255, 255, 255}},
        {"transparent by default with alpha", in / "alpha.png", OutputMode::KeepFormat, {}, {255, 255, 255, 0}},
        {"an opaque picture gains alpha", in / "opaque.png", OutputMode::KeepFormat, {}, {255, 255, 255, 0}},
        {"a colour with alpha", in / "alpha.png", OutputMode::KeepFormat, red, {0x10, 0x20, 0xff, 255}},
        {"alpha laid over white into BMP", in / "alpha.png", OutputMode::Bmp, red, {0x10, 0x20, 0xff, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConversionRequest request = Fit(90, 60, FitMode::Pad, c.mode);
        request.options.background = c.background;
        const std::string padded = out / ("pad" + std::to_string(++m_count) + "_" + Name(c.source));
        const std::string contained = out / ("contain" + std::to_string(m_count) + "_" + Name(c.source));
        const ConversionPlan plan = PlanConversion(c.source, padded, request);
        CarryOut(plan);
        const ConversionPlan inside = PlanConversion(c.source, contained, Fit(90, 60, FitMode::Contain, c.mode));
        CarryOut(inside);
        const Raster canvas = LoadedPicture(*plan.output.path);
        const Raster picture = LoadedPicture(*inside.output.path);
        ASSERT_EQ(canvas.Width(), 90);
        ASSERT_EQ(canvas.Height(), 60);
        const bool alpha = canvas.Form() == PixelForm::Bgra32;
        EXPECT_EQ(alpha, c.border[3] != 255 || picture.Form() == PixelForm::Bgra32);
        const std::size_t bytes = alpha ? 4 : 3;
        const int left = (90 - picture.Width()) / 2;
        const int top = (60 - picture.Height()) / 2;
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 90; ++x) {
                const std::uint8_t* got = canvas.Row(y).data() + bytes * static_cast<std::size_t>(x);
                const bool inPicture = x >= left && x < left + picture.Width() && y >= top && y < top + picture.Height();
                if (!inPicture) {
                    ASSERT_EQ(std::vector(got, got + bytes), std::vector(c.border, c.border + bytes)) << x << "," << y;
                    continue;
                }
                const std::size_t from = picture.Form() == PixelForm::Bgra32 ? 4 : 3;
                const std::uint8_t* want = picture.Row(y - top).data() + from * static_cast<std::size_t>(x - left);
                ASSERT_EQ(std::vector(got, got + 3), std::vector(want, want + 3)) << x << "," << y;
                if (alpha)
                    ASSERT_EQ(got[3], from == 4 ? want[3] : 255) << x << "," << y;
            }
        }
    }
}

TEST_F(FitModes, ShrinkOnlyKeepsPicturesThatFitAndTheBoxTurnsWithThePhoto)
{
    const Raster small = NoisePicture(30, 20, false);
    WriteBmpFile(in / "small.bmp", small);
    ConversionRequest request = Fit(800, 600, FitMode::Pad);
    request.options.shrinkOnly = true;
    EXPECT_EQ(Converted(in / "small.bmp", request), ReadBytes(in / "small.bmp"));  // the identity resample
    request.width = 25;  // too wide now: shrunk as ever
    EXPECT_EQ(Converted(in / "small.bmp", request), Converted(in / "small.bmp", Fit(25, 600, FitMode::Pad)));

    // Stored 60 x 40 and tagged to be turned a quarter: upright a portrait.
    WriteBytes(in / "turned.jpg", TaggedJpeg(60, 40, [](int x, int y, std::uint8_t* bgr) { bgr[0] = bgr[1] = bgr[2] = Noise(x, y, 0); },
                                            ExifBlock(6), {}));
    ConversionRequest box{90, 60, OutputMode::Bmp, {}};
    box.options.boxFollowsOrientation = true;
    const ConversionPlan plan = PlanConversion(in / "turned.jpg", out / "turned.jpg", box);
    CarryOut(plan);
    const Raster turned = LoadedPicture(*plan.output.path);
    EXPECT_EQ(turned.Width(), 60);
    EXPECT_EQ(turned.Height(), 90);
    box.options.boxFollowsOrientation = false;
    const ConversionPlan kept = PlanConversion(in / "turned.jpg", out / "kept.jpg", box);
    CarryOut(kept);
    EXPECT_EQ(LoadedPicture(*kept.output.path).Width(), 90);
}

TEST_F(FitModes, ASizeBeyondTheLimitsFailsThatPictureAsTooLarge)
{
    WriteBmpFile(in / "line.bmp", NoisePicture(7000, 2, false));
    ConversionRequest request;
    request.form = SizeForm::Percent;
    request.percent = 1000;
    const ConversionPlan plan = PlanConversion(in / "line.bmp", out / "line.bmp", request);
    try {
        CarryOut(plan);
        FAIL() << "converted";
    } catch (const Error& error) {
        EXPECT_EQ(error.Cause(), FailureCause::TooLarge);
    }
    EXPECT_TRUE(FolderNames(out.Path()).empty());
}

}  // namespace

}  // namespace picbatch
