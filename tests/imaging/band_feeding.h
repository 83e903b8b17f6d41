// Feeding a band-fed resampler as a decoder does, for the tests of every kind of stream.
#pragma once

#include <gtest/gtest.h>

#include "imaging/raster.h"
#include "imaging/resample_path.h"
#include "imaging/target_row_sink.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace picbatch {

// Every path this processor runs: the reference and each Highway target compiled in that it
// supports.
inline std::vector<ResamplePath> AllPaths()
{
    std::vector<ResamplePath> paths = {ResamplePath::Reference};
    for (const ResamplePath path : VectorResamplePaths())
        paths.push_back(path);
    return paths;
}

// Feeds source to the stream make(sink) returns, in bands of band rows (the last one
// shorter), from one buffer that is overwritten after each band, as a decoder reuses its own.
// With viaSink the width x height result is put together from the rows handed to the sink,
// and Finish must give nothing.
template <class MakeStream>
Raster FedInBands(const Raster& source, int width, int height, int band, bool viaSink, MakeStream make)
{
    Raster collected;
    collected.SetPixelForm(PixelForm::Bgr24);
    collected.SetSizeForWriting(width, height);
    int sunk = 0;
    TargetRowSink sink;
    if (viaSink) {
        sink = [&](const std::uint8_t* row) {
            ASSERT_LT(sunk, height);
            std::copy_n(row, std::size_t{3} * static_cast<std::size_t>(width), collected.Row(sunk++).data());
        };
    }
    auto stream = make(sink);
    const std::size_t rowBytes = static_cast<std::size_t>(source.Width()) * 3;
    std::vector<std::uint8_t> buffer(rowBytes * static_cast<std::size_t>(band));
    for (int top = 0; top < source.Height(); top += band) {
        const int count = std::min(band, source.Height() - top);
        for (int i = 0; i < count; ++i)
            std::copy_n(source.Row(top + i).data(), rowBytes, buffer.begin() + static_cast<std::ptrdiff_t>(rowBytes) * i);
        stream.AddRows(buffer.data(), static_cast<std::int64_t>(rowBytes), count);
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0x5A});
    }
    Raster result = stream.Finish();
    if (!viaSink)
        return result;
    EXPECT_TRUE(result.Empty());
    EXPECT_EQ(sunk, height);
    return collected;
}

}  // namespace picbatch
