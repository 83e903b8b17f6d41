// The scan counter against libjpeg's own count, and a flood of scans refused before the
// decoder reaches its first scan.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "imaging/error.h"
#include "pictures/files/file_descriptor.h"
#include "pictures/jpeg/jpeg_decoder.h"
#include "pictures/jpeg/jpeg_image.h"
#include "pictures/jpeg/jpeg_scan_count.h"
#include "tests/common/hostile_files.h"
#include "tests/common/jpeg_markers.h"
#include "tests/common/libjpeg_compress.h"

namespace picbatch {

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Colour(int side, const CompressSetup& setup)
{
    return LibjpegCompress(side, side, 3, JCS_RGB, [](int x, int y, std::uint8_t* rgb) {
        rgb[0] = static_cast<std::uint8_t>(x * 9);
        rgb[1] = static_cast<std::uint8_t>(y * 5 + x);
        rgb[2] = static_cast<std::uint8_t>(x ^ y);
    }, setup);
}

// The scans libjpeg itself reads from jpeg, decoding it in buffered-image mode to the end.
int LibjpegScans(const Bytes& jpeg)
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.buffered_image = TRUE;
    jpeg_start_decompress(&cinfo);
    while (jpeg_consume_input(&cinfo) != JPEG_REACHED_EOI) {
    }
    const int scans = cinfo.input_scan_number;
    jpeg_abort_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return scans;
}

// An APP1 segment whose bytes look like a start-of-scan marker, after the SOI.
Bytes WithDecoyApp(const Bytes& jpeg)
{
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), {0xFF, 0xE1, 0x00, 0x08, 0xFF, 0xDA, 0x00, 0x0C, 0xFF, 0xDA});
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

TEST(JpegScanCount, AgreesWithLibjpeg)
{
    const struct {
        const char* name;
        Bytes jpeg;
    } cases[] = {
        {"baseline", Colour(40, [](jpeg_compress_struct&) {})},
        {"progressive", Colour(40, [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); })},
        // 0xFF bytes in the entropy-coded data are stuffed; restart markers lie inside it.
        {"restart markers", Colour(64, [](jpeg_compress_struct& c) {
             jpeg_simple_progression(&c);
             c.restart_interval = 1;
         })},
        {"decoy in an application segment",
         WithDecoyApp(Colour(24, [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); }))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CountJpegScans(c.jpeg, 1000), LibjpegScans(c.jpeg));
    }
}

TEST(JpegScanCount, StopsAtTheEndMarkerAndSoonAfterTheLimit)
{
    Bytes jpeg = Colour(16, [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); });
    const int scans = CountJpegScans(jpeg, 1000);
    // Scans after the end marker are not the picture's.
    const Bytes tail(jpeg.begin() + static_cast<std::ptrdiff_t>(FindMarker(jpeg, 0xDA)), jpeg.end());
    jpeg.insert(jpeg.end(), tail.begin(), tail.end());
    EXPECT_EQ(CountJpegScans(jpeg, 1000), scans);
    // Counting goes on to the end of the portion that passed the limit, no further.
    const int flood = CountJpegScans(ScanFloodJpeg(64, 5000), 1000);
    EXPECT_GT(flood, 1000);
    EXPECT_LT(flood, 5000);
}

// A flood of 1,001 scans whose second scan names a Huffman table that is not defined: a
// decoder that reached it would fail on it; refused ahead, the flood is reported instead,
// in both decoding modes, from memory and from a file.
TEST(JpegScanCount, FloodIsRefusedBeforeTheFirstScanIsDecoded)
{
    const Bytes flood = ScanFloodJpeg(1024, 1001);
    const std::size_t secondScan = FindMarker(flood, 0xDA, FindMarker(flood, 0xDA) + 2);
    Bytes broken = flood;
    broken[secondScan + 6] = 0x33;
    const auto path = std::filesystem::path(testing::TempDir()) / "scan_flood.jpg";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(broken.data()), static_cast<std::streamsize>(broken.size()));

    auto codeOf = [](const std::function<void()>& decode) {
        try {
            decode();
        } catch (const JpegError& error) {
            EXPECT_STREQ(error.what(), error.Code() == kJpegTooManyScans ? "JPEG error #1001: more than 1000 scans"
                                                                          : error.what());
            return error.Code();
        }
        return 0;
    };
    for (bool progressiveDisplay : {false, true}) {
        SCOPED_TRACE(progressiveDisplay ? "progressive display" : "one pass");
        JpegSettings settings;
        settings.progressiveDisplay = progressiveDisplay;
        const auto noSize = [](int, int) {};
        const auto noRows = [](const std::uint8_t*, std::int64_t, int) {};
        EXPECT_EQ(codeOf([&] { DecodeJpegRows(broken, settings, noSize, noRows); }), kJpegTooManyScans);
        EXPECT_EQ(codeOf([&] { DecodeJpegFileRows(path.string(), settings, noSize, noRows); }), kJpegTooManyScans);
    }
    std::filesystem::remove(path);
}

}  // namespace

}  // namespace picbatch
