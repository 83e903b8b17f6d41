// Where a band decoder hands a picture over: its size first, then its rows a band at a time.
#pragma once

#include <cstdint>
#include <functional>

namespace picbatch {

// Called once with a decoded picture's width and height, before any rows.
using PictureSizeSink = std::function<void(int width, int height)>;
// Called with consecutive bands of rows, top row first: row i of the band starts at
// first + i x step and holds 3 x width bytes of blue, green, red. A step of 0 hands over one
// row repeated count times (rows that a file leaves out), which the resampler filters once.
using PictureRowSink = std::function<void(const std::uint8_t* first, std::int64_t step, int count)>;

}  // namespace picbatch
