// The hand-over of decoded bands to a second thread: bands arrive whole and in order while
// the producer reuses its buffers, and a consumer's failure stops both sides cleanly.
#include "pictures/band_pipeline.h"

#include <gtest/gtest.h>
#include <thread>

#include <array>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "pictures/jpeg/jpeg_decoder.h"
#include "pictures/jpeg/jpeg_error_manager.h"
#include "pictures/jpeg/jpeg_image.h"
#include "tests/common/libjpeg_compress.h"
#include "tests/pictures/scratch_folder.h"

namespace picbatch {

namespace {

constexpr int kBands = 40;
constexpr std::size_t kBandBytes = 4096;

// Writes band j into buffer j % kSlots, as the decoder does, filled with j's own value.
void Produce(BandPipeline& pipeline, std::array<std::vector<std::uint8_t>, BandPipeline::kSlots>& buffers, int bands)
{
    for (int j = 0; j < bands; ++j) {
        std::vector<std::uint8_t>& buffer = buffers[static_cast<std::size_t>(j % BandPipeline::kSlots)];
        buffer.assign(kBandBytes, static_cast<std::uint8_t>(j));
        pipeline.Push(buffer.data(), 1, j);
    }
}

std::array<std::vector<std::uint8_t>, BandPipeline::kSlots> Buffers()
{
    return {};
}

}  // namespace

TEST(BandPipeline, BandsArriveInOrderAndWholeWhileBuffersAreReused)
{
    std::vector<int> seen;
    bool intact = true;
    auto buffers = Buffers();
    {
        BandPipeline pipeline([&](const std::uint8_t* first, std::int64_t, int count) {
            for (std::size_t i = 0; i < kBandBytes; ++i)
                intact = intact && first[i] == static_cast<std::uint8_t>(count);
            seen.push_back(count);
        });
        Produce(pipeline, buffers, kBands);
        pipeline.WaitIdle();
        EXPECT_EQ(pipeline.Failure(), nullptr);
    }
    ASSERT_EQ(seen.size(), std::size_t{kBands});
    for (int j = 0; j < kBands; ++j)
        EXPECT_EQ(seen[static_cast<std::size_t>(j)], j);
    EXPECT_TRUE(intact) << "a buffer was written while the consumer read it";
}

TEST(BandPipeline, ConsumersFailureReachesTheProducerAndStopsTheBands)
{
    int consumed = 0;
    auto buffers = Buffers();
    BandPipeline pipeline([&](const std::uint8_t*, std::int64_t, int count) {
        ++consumed;
        if (count == 5)
            throw std::runtime_error("band 5 refused");
    });
    std::string message;
    try {
        Produce(pipeline, buffers, kBands);
    } catch (const std::runtime_error& error) {
        message = error.what();
    }
    EXPECT_EQ(message, "band 5 refused");
    pipeline.WaitIdle();
    EXPECT_EQ(consumed, 6) << "no band after the failing one is worked on";
    ASSERT_NE(pipeline.Failure(), nullptr);
}

TEST(BandPipeline, FailureOnTheLastBandIsKeptForTheProducer)
{
    auto buffers = Buffers();
    BandPipeline pipeline([&](const std::uint8_t*, std::int64_t, int count) {
        if (count == 2)
            throw std::runtime_error("last band refused");
    });
    // The last Push may return before its band is worked on, or see the failure already.
    try {
        Produce(pipeline, buffers, 3);
    } catch (const std::runtime_error&) {
    }
    pipeline.WaitIdle();
    EXPECT_NE(pipeline.Failure(), nullptr);
}

TEST(BandPipeline, GoesAwayWithBandsNotYetTaken)
{
    auto buffers = Buffers();
    BandPipeline pipeline([](const std::uint8_t*, std::int64_t, int) {});
    Produce(pipeline, buffers, 2);
}  // the destructor must neither hang nor touch the buffers after they are gone

namespace {

// What the row sink of a decode saw: each band's rows, bytes in order, and how it ended.
struct Decoded {
    std::vector<std::vector<std::uint8_t>> bands;
    std::string error = "(no error)";
};

Decoded DecodeFile(const std::string& path, bool alongside, int failAtBand = -1)
{
    Decoded decoded;
    int width = 0;
    try {
        DecodeJpegFileRows(
            path, DefaultJpegSettings(), [&](int w, int) { width = w; },
            [&](const std::uint8_t* first, std::int64_t step, int count) {
                if (static_cast<int>(decoded.bands.size()) == failAtBand)
                    throw std::runtime_error("sink refused a band");
                std::vector<std::uint8_t>& band = decoded.bands.emplace_back();
                for (int r = 0; r < count; ++r)
                    band.insert(band.end(), first + r * step, first + r * step + 3 * width);
            },
            alongside ? 0 : kNeverAlongside);
    } catch (const std::exception& error) {
        decoded.error = error.what();
    }
    return decoded;
}

}  // namespace

TEST(BandPipeline, DecodingAlongsideHandsOverTheSameRowsAndFailsAlike)
{
    const ScratchFolder folder;
    const std::vector<std::uint8_t> jpeg = LibjpegCompress(301, 203, 3, JCS_RGB, [](int x, int y, std::uint8_t* s) {
        s[0] = static_cast<std::uint8_t>(x * y);
        s[1] = static_cast<std::uint8_t>(x + 3 * y);
        s[2] = static_cast<std::uint8_t>(x ^ y);
    });
    const auto write = [&](const std::string& name, std::size_t length) {
        std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()),
                                                             static_cast<std::streamsize>(length));
        return folder / name;
    };
    const std::string whole = write("whole.jpg", jpeg.size());
    const std::string cut = write("cut.jpg", jpeg.size() / 2);
    const std::string header = write("header.jpg", 30);

    const int bands = static_cast<int>(DecodeFile(whole, false).bands.size());
    ASSERT_GT(bands, 2);
    const struct {
        const char* name;
        std::string path;
        int failAtBand;
    } cases[] = {
        {"whole file", whole, -1},
        {"cut file", cut, -1},
        {"header only", header, -1},
        {"sink failing on the first band", whole, 0},
        {"sink failing halfway", whole, bands / 2},
        {"sink failing on the last band", whole, bands - 1},
    };
    for (const auto& c : cases) {
        const Decoded alone = DecodeFile(c.path, false, c.failAtBand);
        const Decoded alongside = DecodeFile(c.path, true, c.failAtBand);
        EXPECT_EQ(alongside.error, alone.error) << c.name;
        EXPECT_TRUE(alongside.bands == alone.bands) << c.name;
    }
}

// Below the size where it pays, the rows stay on the decoding thread.
TEST(BandPipeline, TheSecondThreadIsTakenFromAPictureSizeOn)
{
    const ScratchFolder folder;
    const std::vector<std::uint8_t> jpeg = LibjpegCompress(64, 48, 3, JCS_RGB, [](int x, int y, std::uint8_t* s) {
        s[0] = s[1] = s[2] = static_cast<std::uint8_t>(x + y);
    });
    std::ofstream(folder / "small.jpg", std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
    for (const std::int64_t from : {std::int64_t{64 * 48}, std::int64_t{64 * 48 + 1}, kNeverAlongside}) {
        std::thread::id sinkThread;
        DecodeJpegFileRows(
            folder / "small.jpg", DefaultJpegSettings(), [](int, int) {},
            [&](const std::uint8_t*, std::int64_t, int) { sinkThread = std::this_thread::get_id(); }, from);
        EXPECT_EQ(sinkThread != std::this_thread::get_id(), from == 64 * 48) << from;
    }
}

}  // namespace picbatch
