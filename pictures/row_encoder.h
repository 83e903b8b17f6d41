// An encoder fed one row at a time, as a resampler makes the rows, so a picture need not be
// stored whole to be saved.
#pragma once

#include <cstdint>

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

}  // namespace picbatch
