// Segments spliced into JPEG data on its way to a file give the bytes of splicing them into
// the finished data, however the encoder cuts its writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "pictures/byte_sink.h"
#include "pictures/jpeg/jpeg_segments.h"

namespace picbatch {

namespace {

using Bytes = std::vector<std::uint8_t>;

// The start of an encoder's data: the start marker, a JFIF segment, then anything.
Bytes FakeJpeg(bool withJfif, std::size_t rest)
{
    Bytes jpeg{0xFF, 0xD8};
    if (withJfif)
        jpeg.insert(jpeg.end(), {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    for (std::size_t i = 0; i < rest; ++i)
        jpeg.push_back(static_cast<std::uint8_t>(i * 7));
    return jpeg;
}

Bytes Spliced(const Bytes& jpeg, const Bytes& exif, const Bytes& icc, std::size_t piece)
{
    Bytes out;
    MemorySink memory(out);
    SegmentSplicingSink sink(memory, exif, icc);
    for (std::size_t at = 0; at < jpeg.size(); at += piece) {
        const std::size_t count = std::min(piece, jpeg.size() - at);
        sink.WriteAt(static_cast<std::int64_t>(at), std::span(jpeg).subspan(at, count));
    }
    sink.Finish();
    return out;
}

TEST(SegmentSplicingSink, GivesTheSplicedDataForEveryCutOfTheWrites)
{
    const Bytes exif{'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42};
    // Over two APP2 segments.
    Bytes icc(70'000);
    for (std::size_t i = 0; i < icc.size(); ++i)
        icc[i] = static_cast<std::uint8_t>(i);
    for (const bool jfif : {true, false}) {
        const Bytes jpeg = FakeJpeg(jfif, 5000);
        for (const auto& [e, p] : {std::pair{exif, Bytes{}}, std::pair{Bytes{}, icc}, std::pair{exif, icc}}) {
            const Bytes expected = WithJpegSegments(jpeg, e, p);
            for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{19}, std::size_t{4096}})
                EXPECT_EQ(Spliced(jpeg, e, p, piece), expected) << "JFIF " << jfif << ", pieces of " << piece;
        }
    }
}

TEST(SegmentSplicingSink, RefusesWritesOutOfOrderAndDataWithoutItsStart)
{
    Bytes out;
    MemorySink memory(out);
    SegmentSplicingSink sink(memory, Bytes{'E', 'x', 'i', 'f', 0, 0}, {});
    const Bytes jpeg = FakeJpeg(true, 10);
    EXPECT_THROW(sink.WriteAt(4, jpeg), std::logic_error);

    SegmentSplicingSink shortData(memory, Bytes{'E', 'x', 'i', 'f', 0, 0}, {});
    shortData.WriteAt(0, Bytes{0xFF});
    EXPECT_THROW(shortData.Finish(), std::invalid_argument);

    SegmentSplicingSink notJpeg(memory, Bytes{'E', 'x', 'i', 'f', 0, 0}, {});
    EXPECT_THROW(notJpeg.WriteAt(0, Bytes{'G', 'I', 'F', '8'}), std::invalid_argument);
}

}  // namespace

}  // namespace picbatch
