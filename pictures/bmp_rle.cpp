// Decoding of the run-length encoded pixel arrays of BMP files (RLE8 and RLE4).
#include "pictures/bmp_rle.h"

#include "imaging/raster.h"
#include "pictures/bmp_rle_codes.h"

namespace picbatch {

namespace {

// RLE data held in memory.
struct RleBytes {
    std::span<const std::uint8_t> bytes;
    std::int64_t Size() const { return static_cast<std::int64_t>(bytes.size()); }
    std::uint8_t At(std::int64_t pos) const { return bytes[static_cast<std::size_t>(pos)]; }
};

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
