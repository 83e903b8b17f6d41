// The WebP reader and writers: lossless round trips byte for byte, lossy ones within a
// tolerance, alpha kept, animations and damaged files refused, files cut short noted.
#include "pictures/webp/webp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "tests/pictures/codec_cases.h"
#include "tests/pictures/webp_builder.h"

#include <webp/decode.h>

namespace picbatch {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Pixels of every value, alpha 0 included: the hardest case for an exact round trip.
Raster Noise(int width, int height, PixelForm form)
{
    std::mt19937 random(7);
    Raster picture;
    picture.SetPixelForm(form);
    picture.SetSizeForWriting(width, height);
    const std::size_t used = static_cast<std::size_t>(width) * (form == PixelForm::Bgra32 ? 4 : 3);
    for (int y = 0; y < height; ++y) {
        const auto row = picture.Row(y);
        std::generate_n(row.begin(), used, [&] { return static_cast<std::uint8_t>(random()); });
    }
    return picture;
}

// A smooth picture, as photographs are, for the lossy encoder.
Raster Gradient(int width, int height, PixelForm form)
{
    Raster picture;
    picture.SetPixelForm(form);
    picture.SetSizeForWriting(width, height);
    const int bytes = form == PixelForm::Bgra32 ? 4 : 3;
    for (int y = 0; y < height; ++y) {
        const auto row = picture.Row(y);
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = row.data() + static_cast<std::ptrdiff_t>(x) * bytes;
            pixel[0] = static_cast<std::uint8_t>(x * 255 / (width - 1));
            pixel[1] = static_cast<std::uint8_t>(y * 255 / (height - 1));
            pixel[2] = 100;
            if (bytes == 4)
                pixel[3] = x < width / 2 ? 255 : static_cast<std::uint8_t>(y * 4);
        }
    }
    return picture;
}

Bytes PixelBytes(const Raster& picture)
{
    const std::size_t used = static_cast<std::size_t>(picture.Width()) * (picture.Form() == PixelForm::Bgra32 ? 4 : 3);
    Bytes pixels;
    for (int y = 0; y < picture.Height(); ++y)
        pixels.insert(pixels.end(), picture.Row(y).begin(), picture.Row(y).begin() + static_cast<std::ptrdiff_t>(used));
    return pixels;
}

// A picture of each form (with alpha, opaque) written by encode and read back.
struct RoundTrip {
    PixelForm form;
    Raster source;
    Raster back;
    ReadNotes notes;
};

std::vector<RoundTrip> RoundTrips(Raster (*make)(int, int, PixelForm), std::vector<std::uint8_t> (*encode)(const Raster&))
{
    std::vector<RoundTrip> trips;
    for (const PixelForm form : {PixelForm::Bgra32, PixelForm::Bgr24}) {
        RoundTrip& trip = trips.emplace_back(RoundTrip{form, make(64, 48, form), {}, {}});
        trip.notes = ParseWebp(encode(trip.source), trip.back);
    }
    return trips;
}

TEST(WebpRoundTrip, LosslessGivesBackEveryByteAndSaysSo)
{
    for (const RoundTrip& trip : RoundTrips(Noise, EncodeWebpLossless)) {
        const PixelForm form = trip.form;
        SCOPED_TRACE(form == PixelForm::Bgra32 ? "with alpha" : "opaque");
        const Raster& source = trip.source;
        const Raster& back = trip.back;
        const ReadNotes& notes = trip.notes;
        EXPECT_TRUE(notes.lossless);
        EXPECT_FALSE(notes.incomplete);
        EXPECT_EQ(back.Form(), form);
        EXPECT_EQ(PixelBytes(back), PixelBytes(source));
    }
}

TEST(WebpRoundTrip, LossyStaysCloseAndKeepsAlpha)
{
    for (const RoundTrip& trip : RoundTrips(Gradient, EncodeWebpLossy)) {
        const PixelForm form = trip.form;
        SCOPED_TRACE(form == PixelForm::Bgra32 ? "with alpha" : "opaque");
        const Bytes expected = PixelBytes(trip.source);
        const Bytes got = PixelBytes(trip.back);
        EXPECT_FALSE(trip.notes.lossless);
        ASSERT_EQ(trip.back.Form(), form);
        ASSERT_EQ(got.size(), expected.size());
        const std::size_t step = form == PixelForm::Bgra32 ? 4 : 3;
        long total = 0;
        for (std::size_t i = 0; i < got.size(); ++i) {
            const int difference = std::abs(got[i] - expected[i]);
            if (step == 4 && i % 4 == 3) {
                EXPECT_EQ(difference, 0) << "alpha is stored without loss, at byte " << i;
            } else if (step == 3 || expected[i - i % 4 + 3] == 255) {  // colours of opaque pixels
                EXPECT_LE(difference, 24) << "at byte " << i;
                total += difference;
            }
        }
        EXPECT_LT(total, static_cast<long>(got.size()) * 3) << "on average well within a few steps";
    }
}

// WebP's sides end at 16383 pixels: a larger target fails with libwebp's code.
TEST(WebpWrite, SidesBeyondWebpsLimitFailWithLibwebpsCode)
{
    Raster wide;
    wide.SetPixelForm(PixelForm::Bgr24);
    wide.SetSizeForWriting(16384, 1);
    EXPECT_EQ(MessageOf([&] { EncodeWebpLossy(wide); }),
              "WebP error #" + std::to_string(VP8_ENC_ERROR_BAD_DIMENSION));
}

std::vector<RefusedFile> FailCases()
{
    const Bytes good = EncodeWebpLossless(Noise(8, 8, PixelForm::Bgr24));
    Bytes notWebp = good;
    notWebp[0] = 'X';
    Bytes badData = good;
    std::fill(badData.begin() + 21, badData.end(), std::uint8_t{0xFF});
    return {
        {"empty", {}, kStreamReadError, FailureCause::EmptyFile},
        {"not_a_webp", notWebp, "WebP error #" + std::to_string(VP8_STATUS_BITSTREAM_ERROR), FailureCause::NotAPicture},
        {"short_text", {'h', 'i', '\n'}, "WebP error #" + std::to_string(VP8_STATUS_BITSTREAM_ERROR),
         FailureCause::NotAPicture},
        {"cut_in_header", Bytes(good.begin(), good.begin() + 16), kStreamReadError, FailureCause::CutBeforePicture},
        {"animated", AnimatedWebp(6, 4), kAnimatedWebp, FailureCause::Animated},
        {"damaged_data", badData, "WebP error #" + std::to_string(VP8_STATUS_BITSTREAM_ERROR), FailureCause::Unknown},
    };
}

TEST(WebpRead, AnimationsAndDamagedFilesRaiseAndKeepTheRaster)
{
    ExpectEachRefused(FailCases(), ParseWebp);
    EXPECT_EQ(MessageOf([] { ReadWebpSize(AnimatedWebp(6, 4)); }), kAnimatedWebp);
}

TEST(WebpRead, TheSizeIsReadFromTheHeaderAlone)
{
    const Bytes file = EncodeWebpLossless(Noise(30, 20, PixelForm::Bgr24));
    const PictureSize size = ReadWebpSize(Bytes(file.begin(), file.begin() + 30));
    EXPECT_EQ(size.width, 30);
    EXPECT_EQ(size.height, 20);
}

// A file whose picture data ends early is read with the rows it has, the rest black.
TEST(WebpRead, AFileCutInItsPictureDataKeepsItsRowsAndIsNoted)
{
    const Raster source = Noise(64, 64, PixelForm::Bgr24);
    Bytes file = EncodeWebpLossless(source);
    file.resize(file.size() * 3 / 4);
    Raster picture;
    const ReadNotes notes = ParseWebp(file, picture);
    EXPECT_TRUE(notes.incomplete);
    ASSERT_EQ(picture.Width(), 64);
    EXPECT_TRUE(std::equal(source.Row(0).begin(), source.Row(0).end(), picture.Row(0).begin()));
    EXPECT_EQ(picture.Row(63)[0], 0);

    // With alpha, the rows left out are opaque black, as in every reader.
    const Raster withAlpha = Noise(64, 64, PixelForm::Bgra32);
    Bytes alphaFile = EncodeWebpLossless(withAlpha);
    alphaFile.resize(alphaFile.size() * 3 / 4);
    Raster alphaPicture;
    EXPECT_TRUE(ParseWebp(alphaFile, alphaPicture).incomplete);
    ASSERT_EQ(alphaPicture.Form(), PixelForm::Bgra32);
    EXPECT_TRUE(std::equal(withAlpha.Row(0).begin(), withAlpha.Row(0).end(), alphaPicture.Row(0).begin()));
    const auto last = alphaPicture.Row(63);
    EXPECT_EQ(Bytes(last.begin(), last.begin() + 4), (Bytes{0, 0, 0, 255}));
}

// With PICBATCH_FUZZ_SEEDS set, the files these tests build become seeds of the fuzzer.
TEST(WebpRead, WritesFuzzSeeds)
{
    const FuzzSeeds seeds(".webp");
    if (!seeds.Wanted())
        GTEST_SKIP() << "PICBATCH_FUZZ_SEEDS not set";
    seeds.Save("lossless_alpha", EncodeWebpLossless(Noise(16, 9, PixelForm::Bgra32)));
    seeds.Save("lossy_alpha", EncodeWebpLossy(Gradient(16, 9, PixelForm::Bgra32)));
    seeds.Save("lossy", EncodeWebpLossy(Gradient(16, 9, PixelForm::Bgr24)));
    for (const RefusedFile& c : FailCases())
        seeds.Save(c.name, c.bytes);
}

}  // namespace

}  // namespace picbatch
