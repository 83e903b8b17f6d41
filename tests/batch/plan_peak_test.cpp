// Each road a plan can take, with the options that change what it holds, converted in a child
// process whose peak memory is measured: the plan's estimate must cover the peak and stay
// within twice of it, so that the memory budget neither overcommits nor starves a run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "batch/conversion_plan.h"
#include "batch/convert_picture.h"
#include "batch/peak_estimate.h"
#include "imaging/raster.h"
#include "pictures/jpeg/jpeg_image.h"
#include "pictures/png/png.h"
#include "pictures/webp/webp.h"
#include "tests/batch/picture_files.h"
#include "tests/common/tagged_jpeg.h"

namespace picbatch {

namespace {

// Under AddressSanitizer every store is touched when it is made and freed memory is held in
// quarantine: the peak is not the product's.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPeakIsTheProducts = false;
#else
constexpr bool kPeakIsTheProducts = true;
#endif

// Several megapixels, so that what the process holds besides the conversion is small beside
// what the conversion holds.
constexpr int kWidth = 2400;
constexpr int kHeight = 1800;

// Pixels with detail at every scale, as in a photograph: encoders and decoders do real work.
void Sample(int x, int y, std::uint8_t* bgr)
{
    const auto noise = static_cast<std::uint32_t>(x * 73856093U ^ y * 19349663U) >> 27;
    bgr[0] = static_cast<std::uint8_t>(x / 5 + noise);
    bgr[1] = static_cast<std::uint8_t>(y / 3 + 2 * noise);
    bgr[2] = static_cast<std::uint8_t>((x ^ y) / 4 + noise);
}

Raster SampledPicture(PixelForm form)
{
    Raster picture;
    picture.SetPixelForm(form);
    picture.SetSizeForWriting(kWidth, kHeight);
    const int bytes = form == PixelForm::Bgra32 ? 4 : 3;
    for (int y = 0; y < kHeight; ++y) {
        std::uint8_t* row = picture.Row(y).data();
        for (int x = 0; x < kWidth; ++x) {
            Sample(x, y, row + bytes * x);
            if (bytes == 4)
                row[4 * x + 3] = static_cast<std::uint8_t>(x * 255 / kWidth);  // a gradient of transparency
        }
    }
    return picture;
}

std::vector<std::uint8_t> Jpeg(const std::vector<std::uint8_t>& exif = {}, const std::vector<std::uint8_t>& icc = {},
                               bool progressive = false)
{
    if (!progressive)
        return TaggedJpeg(kWidth, kHeight, Sample, exif, icc);
    return LibjpegCompress(kWidth, kHeight, 3, JCS_EXT_BGR, Sample,
                           [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); });
}

// VmRSS or VmHWM of this process, in KiB.
long StatusKiB(const char* field)
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long value = -1;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            value = std::strtol(line + length + 1, nullptr, 10);
    }
    std::fclose(status);
    return value;
}

// How far the resident memory of a child carrying out plan rose above what it held when the
// conversion started, in bytes; -1 when the child failed or could not measure. The child
// first returns its free heap to the system and resets its peak to its resident size.
std::int64_t MeasuredPeak(const ConversionPlan& plan)
{
    int pipe[2];
    if (::pipe(pipe) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        ::malloc_trim(0);
        const int clear = ::open("/proc/self/clear_refs", O_WRONLY);
        const bool reset = clear >= 0 && ::write(clear, "5", 1) == 1;
        if (clear >= 0)
            ::close(clear);
        const long before = StatusKiB("VmRSS");
        std::int64_t grown = -1;
        try {
            CarryOut(plan);
            if (reset && before >= 0)
                grown = (std::int64_t{StatusKiB("VmHWM")} - before) * 1024;
        } catch (...) {
        }
        const bool written = ::write(pipe[1], &grown, sizeof grown) == sizeof grown;
        ::_exit(written ? 0 : 1);  // no exit handlers: leak checks belong to the parent
    }
    ::close(pipe[1]);
    std::int64_t grown = -1;
    if (::read(pipe[0], &grown, sizeof grown) != sizeof grown)
        grown = -1;
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return grown;
}

struct Row {
    const char* name;
    std::string entry;                        // the source's name, in its format
    std::function<std::vector<std::uint8_t>()> source;
    ConversionRequest request;
    ConversionRoad road;                      // the road the row is about
    std::function<void(ConversionPlan&)> adjust = {};  // a fallback the processor would not take
    std::function<void(JpegSettings&)> settings = {};
    Threads threads = Threads::One;
};

const ConversionRequest kHalfJpeg{kWidth / 2, kHeight / 2, OutputMode::Jpeg, {}};
const ConversionRequest kHalfBmp{kWidth / 2, kHeight / 2, OutputMode::Bmp, {}};
const ConversionRequest kHalfKept{kWidth / 2, kHeight / 2, OutputMode::KeepFormat, {}};
// A fit mode into half the picture's box.
ConversionRequest Fitted(FitMode fit, OutputMode mode)
{
    ConversionRequest request{kWidth / 2, kHeight / 3, mode, {}};
    request.options.fit = fit;
    return request;
}
// A progressive JPEG output, whose encoder keeps every coefficient until the last row.
ConversionRequest Progressive(ConversionRequest request)
{
    request.options.progressive = true;
    return request;
}
// A turned picture's target: the upright picture halved.
const ConversionRequest kTurnedJpeg{kHeight / 2, kWidth / 2, OutputMode::Jpeg, {}};
const ConversionRequest kTurnedBmp{kHeight / 2, kWidth / 2, OutputMode::Bmp, {}};

std::vector<Row> Rows()
{
    using enum ConversionRoad;
    return {
        {"plain JPEG, streamed", "a.jpg", [] { return Jpeg(); }, kHalfJpeg, Streamed},
        {"plain JPEG, streamed on two threads", "a.jpg", [] { return Jpeg(); }, kHalfJpeg, Streamed, {}, {},
         Threads::TwoAtAnySize},
        {"JPEG enlarged, streamed", "a.jpg", [] { return Jpeg(); }, {kWidth * 3 / 2, kHeight * 3 / 2, OutputMode::Jpeg, {}},
         Streamed},
        {"JPEG into a progressive JPEG, streamed", "a.jpg", [] { return Jpeg(); }, Progressive(kHalfJpeg),
         Streamed},
        {"JPEG enlarged into a progressive JPEG, streamed", "a.jpg", [] { return Jpeg(); },
         Progressive({kWidth * 3 / 2, kHeight * 3 / 2, OutputMode::Jpeg, {}}), Streamed},
        {"progressive JPEG, streamed with its coefficients", "a.jpg", [] { return Jpeg({}, {}, true); }, kHalfJpeg,
         Streamed},
        {"progressive JPEG under progressive display, decoded whole", "a.jpg", [] { return Jpeg({}, {}, true); },
         kHalfJpeg, Streamed, {}, [](JpegSettings& s) { s.progressiveDisplay = true; }},
        {"turned JPEG, streamed, the target kept", "a.jpg", [] { return Jpeg(ExifBlock(6)); }, kTurnedJpeg, Streamed},
        {"upside-down JPEG, streamed, the target kept", "a.jpg", [] { return Jpeg(ExifBlock(3)); }, kHalfJpeg,
         Streamed},
        {"mirrored JPEG, streamed", "a.jpg", [] { return Jpeg(ExifBlock(2)); }, kHalfJpeg, Streamed},
        {"JPEG with a profile and EXIF kept, streamed", "a.jpg", [] { return Jpeg(ExifBlock(1), Gamma18Profile()); },
         {kWidth / 2, kHeight / 2, OutputMode::Jpeg, {OrientationChoice::Apply, MetadataChoice::Keep}}, Streamed},
        {"JPEG converted to sRGB into a BMP, into a whole target", "a.jpg",
         [] { return Jpeg({}, Gamma18Profile()); }, kHalfBmp, BandsIntoTarget},
        {"turned JPEG converted to sRGB, into a whole target", "a.jpg",
         [] { return Jpeg(ExifBlock(8), Gamma18Profile()); }, kTurnedBmp, BandsIntoTarget},
        {"plain JPEG on the reference resampler", "a.jpg", [] { return Jpeg(); }, kHalfJpeg, Streamed,
         [](ConversionPlan& plan) { plan.resamplePath = ResamplePath::Reference; }},
        {"BMP in bands, streamed", "a.bmp", [] { return EncodeBmp(SampledPicture(PixelForm::Bgr24)); }, kHalfKept,
         Streamed},
        {"BMP in bands into a JPEG", "a.bmp", [] { return EncodeBmp(SampledPicture(PixelForm::Bgr24)); }, kHalfJpeg,
         Streamed},
        {"PNG with alpha, whole", "a.png", [] { return EncodePng(SampledPicture(PixelForm::Bgra32)); }, kHalfKept,
         Whole},
        {"opaque PNG, whole", "a.png", [] { return EncodePng(SampledPicture(PixelForm::Bgr24)); }, kHalfKept, Whole},
        {"PNG with alpha into a JPEG, whole", "a.png", [] { return EncodePng(SampledPicture(PixelForm::Bgra32)); },
         kHalfJpeg, Whole},
        {"PNG with alpha into a progressive JPEG, whole", "a.png",
         [] { return EncodePng(SampledPicture(PixelForm::Bgra32)); }, Progressive(kHalfJpeg), Whole},
        {"WebP with alpha, whole", "a.webp", [] { return EncodeWebpLossy(SampledPicture(PixelForm::Bgra32)); },
         kHalfKept, Whole},
        {"lossless WebP with alpha, whole", "a.webp",
         [] { return EncodeWebpLossless(SampledPicture(PixelForm::Bgra32)); }, kHalfKept, Whole},
        {"JPEG covered, its window decoded", "a.jpg", [] { return Jpeg(); }, Fitted(FitMode::Cover, OutputMode::Jpeg),
         Streamed},
        {"JPEG padded, streamed", "a.jpg", [] { return Jpeg(); }, Fitted(FitMode::Pad, OutputMode::Jpeg), Streamed},
        {"BMP covered in bands", "a.bmp", [] { return EncodeBmp(SampledPicture(PixelForm::Bgr24)); },
         Fitted(FitMode::Cover, OutputMode::KeepFormat), Streamed},
        {"PNG with alpha covered, whole", "a.png", [] { return EncodePng(SampledPicture(PixelForm::Bgra32)); },
         Fitted(FitMode::Cover, OutputMode::KeepFormat), Whole},
        // An opaque PNG is estimated as if it had alpha (a tRNS chunk may follow the header):
        // padded, its peak falls just below half of that, so the row pads one with alpha.
        {"PNG with alpha padded on a transparent canvas, whole", "a.png",
         [] { return EncodePng(SampledPicture(PixelForm::Bgra32)); }, Fitted(FitMode::Pad, OutputMode::KeepFormat),
         Whole},
    };
}

TEST(PlanPeak, EveryRoadsEstimateCoversItsPeakWithinTwice)
{
    const TempFolder source;
    const TempFolder destination;
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        const JpegSettings saved = DefaultJpegSettings();
        if (row.settings)
            row.settings(DefaultJpegSettings());
        WriteBytes(source / row.entry, row.source());
        ConversionPlan plan = PlanConversion(source / row.entry, destination / row.entry, row.request, row.threads);
        if (row.adjust) {
            row.adjust(plan);
            plan.peakBytes = EstimatePeak(plan);
        }
        ASSERT_TRUE(plan.header.has_value());
        EXPECT_EQ(plan.road, row.road);
        // Once here first, so that the child finds the libraries' code and their one-time
        // set-up in memory, as a run does from its second picture on, whatever tests ran
        // before this one.
        if (kPeakIsTheProducts)
            CarryOut(plan);
        const std::int64_t peak = MeasuredPeak(plan);
        DefaultJpegSettings() = saved;
        ASSERT_GT(peak, 0) << "the conversion failed, or the child could not measure it";
        std::printf("%-60s estimate %6.1f MiB, peak %6.1f MiB, ratio %.2f\n", row.name,
                    static_cast<double>(plan.peakBytes) / (1 << 20), static_cast<double>(peak) / (1 << 20),
                    static_cast<double>(plan.peakBytes) / static_cast<double>(peak));
        if (!kPeakIsTheProducts)
            continue;
        EXPECT_GE(plan.peakBytes, peak);
        EXPECT_LE(plan.peakBytes, 2 * peak);
    }
    if (!kPeakIsTheProducts)
        GTEST_SKIP() << "AddressSanitizer build: stores are touched when made, the peak is not the product's";
}

// What the plan decides ahead of the layers below: the resampler path they would otherwise
// change, the decoder that decodes whole, the target an orientation keeps whole, and which
// metadata goes where.
TEST(PlanPeak, ThePlanSaysWhatTheLowerLayersWillDo)
{
    const TempFolder source;
    const TempFolder destination;
    WriteBytes(source / "a.jpg", TaggedJpeg(40, 30, Sample, ExifBlock(6), Gamma18Profile()));
    const ConversionRequest keep{20, 10, OutputMode::KeepFormat, {OrientationChoice::Apply, MetadataChoice::Keep}};
    const ConversionPlan jpeg = PlanConversion(source / "a.jpg", destination / "a.jpg", keep);
    EXPECT_EQ(jpeg.road, ConversionRoad::Streamed);
    EXPECT_EQ(jpeg.orientation, Orientation::Rotate90);
    EXPECT_EQ(jpeg.uprightWidth, 30);
    EXPECT_EQ(jpeg.uprightHeight, 40);
    EXPECT_TRUE(jpeg.targetKeptWhole);
    EXPECT_EQ(jpeg.colour, ColourHandling::ProfileKept);
    EXPECT_FALSE(jpeg.exif.empty());
    EXPECT_EQ(jpeg.resamplePath, FastestResamplePath());
    EXPECT_EQ(jpeg.output.path, destination / "a.jpg");

    // A BMP output takes neither the profile nor the EXIF block: its pixels are converted
    // whole, and no segment is spliced into its data.
    const ConversionPlan bmp =
        PlanConversion(source / "a.jpg", destination / "a.jpg", {20, 10, OutputMode::Bmp, keep.options});
    EXPECT_EQ(bmp.road, ConversionRoad::BandsIntoTarget);
    EXPECT_EQ(bmp.colour, ColourHandling::ToSrgb);
    EXPECT_TRUE(bmp.exif.empty());
    EXPECT_NO_THROW(CarryOut(bmp));

    // Keeping the stored orientation keeps the target's rows in order.
    const ConversionPlan stored = PlanConversion(source / "a.jpg", destination / "a.jpg",
                                                 {20, 10, OutputMode::Jpeg, {OrientationChoice::Keep, {}}});
    EXPECT_EQ(stored.orientation, Orientation::Normal);
    EXPECT_FALSE(stored.targetKeptWhole);
    EXPECT_TRUE(stored.exif.empty());

    // Progressive display: the band decoder decodes whole, and the plan knows it.
    const JpegSettings saved = DefaultJpegSettings();
    DefaultJpegSettings().progressiveDisplay = true;
    const ConversionPlan whole = PlanConversion(source / "a.jpg", destination / "a.jpg", keep);
    DefaultJpegSettings() = saved;
    EXPECT_TRUE(whole.sourceDecodedWhole);
    EXPECT_GT(whole.peakBytes, jpeg.peakBytes);

    // A file that is not there: the whole road, whose loader reports it; no header, the
    // smallest estimate.
    const ConversionPlan missing = PlanConversion(source / "b.jpg", destination / "b.jpg", keep);
    EXPECT_EQ(missing.road, ConversionRoad::Whole);
    EXPECT_FALSE(missing.header.has_value());
    EXPECT_EQ(missing.peakBytes, kConversionBaseBytes);
}

}  // namespace

}  // namespace picbatch
