// An encoder fed one row at a time, as a resampler makes the rows, so a picture need not be
// stored whole to be saved.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace picbatch {

class RowEncoder {
public:
    virtual ~RowEncoder() = default;

    // The next row, top row first: 3 x width bytes of blue, green, red. Rows past the
    // height are ignored.
    virtual void AddRow(const std::uint8_t* bgr) = 0;
    // Ends the file once every row was added; throws std::logic_error before.
    virtual void Finish() = 0;
};

class Raster;

// Makes the encoder of a width x height picture.
using RowEncoderStart = std::function<std::unique_ptr<RowEncoder>(int width, int height)>;

// Feeds every row of picture (any form that converts to Bgr24), top row first, to the encoder
// that start makes, and finishes it. An empty picture makes no encoder. Throws what the
// encoder throws.
void EncodeWholePicture(const Raster& picture, const RowEncoderStart& start);

}  // namespace picbatch
