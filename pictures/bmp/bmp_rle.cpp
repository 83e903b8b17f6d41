// Decoding of the run-length encoded pixel arrays of BMP files (RLE8 and RLE4).
#include "pictures/bmp/bmp_rle.h"

#include "imaging/raster.h"
#include "pictures/bmp/bmp_rle_codes.h"

namespace picbatch {

namespace {

// RLE data held in memory.
struct RleBytes {
    std::span<const std::uint8_t> bytes;
    std::int64_t Size() const { return static_cast<std::int64_t>(bytes.size()); }
    std::uint8_t At(std::int64_t pos) const { return bytes[static_cast<std::size_t>(pos)]; }
};

// Writes colour-table index `index` as pixel x of a row stored in the frame's form.
void PutRleIndex(std::uint8_t* row, std::int64_t x, std::uint8_t index, bool fourBit)
{
    if (fourBit) {
        std::uint8_t& byte = row[x / 2];
        // The leftmost of the two pixels of a byte is its high nibble.
        byte = x % 2 == 0 ? static_cast<std::uint8_t>((byte & 0x0F) | index << 4)
                          : static_cast<std::uint8_t>((byte & 0xF0) | (index & 0x0F));
    } else {
        row[x] = index;
    }
}

}  // namespace

bool DecodeBmpRle(std::span<const std::uint8_t> data, Raster& raster)
{
    if (raster.Empty())
        return true;
    const RleFrame frame{raster.Width(), raster.Height(), raster.Form() == PixelForm::Paletted4};
    std::uint8_t* const store = raster.Bits().data();
    const std::int64_t rowSize = raster.RowSize();
    RleBytes bytes{data};
    RleCursor at;
    // The store holds the bottom row first, as the data does.
    const auto paint = [&](std::int64_t y, std::int64_t x, int count, auto packed) {
        std::uint8_t* row = store + y * rowSize;
        for (int i = 0; i < count; ++i)
            PutRleIndex(row, x + i, RleRunIndex(packed(i), i, frame.fourBit), frame.fourBit);
    };
    for (;;) {
        if (const std::optional<bool> complete = StepRle(bytes, frame, at, paint))
            return *complete;
    }
}

}  // namespace picbatch
