// Decoding of the run-length encoded pixel arrays of BMP files (RLE8 and RLE4).
#include "pictures/bmp_rle.h"

#include <algorithm>

#include "imaging/raster.h"

namespace picbatch {

namespace {

// The second byte of a code whose first byte is 0 (the escapes); values from 3 up start an
// absolute run of that many pixels.
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfPicture = 1;
constexpr std::uint8_t kDelta = 2;

// Writes pixels at a moving position, dropping those outside the picture.
class PixelCursor {
public:
    explicit PixelCursor(Raster& raster)
        : m_store(raster.Bits()),
          m_width(raster.Width()),
          m_height(raster.Height()),
          m_rowSize(raster.RowSize()),
          m_fourBit(raster.Form() == PixelForm::Paletted4)
    {
    }

    int PixelsPerByte() const { return m_fourBit ? 2 : 1; }
    bool PastTop() const { return m_y >= m_height; }
    // Past the last pixel of the top row, or beyond.
    bool PastLastPixel() const { return PastTop() || (m_y == m_height - 1 && m_x >= m_width); }

    // count pixels from the current position on, pixel i being the index in packed[i] of
    // a run whose bytes hold indices: in RLE4 the high nibble for even i and the low one for
    // odd i, in RLE8 the whole byte. Only the pixels left of the right edge are written, so a
    // run costs nothing once it is past the edge.
    template <typename Packed>
    void PutRun(int count, Packed packed)
    {
        const std::int64_t inside =
            PastTop() ? 0 : std::clamp<std::int64_t>(m_width - m_x, 0, count);
        for (int i = 0; i < inside; ++i) {
            const std::uint8_t byte = packed(i);
            Put(m_x + i, m_fourBit ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
        }
        m_x += count;
    }

    void NextLine()
    {
        m_x = 0;
        ++m_y;
    }

    void Move(std::uint8_t right, std::uint8_t up)
    {
        m_x += right;
        m_y += up;
    }

private:
    // x lies inside the picture.
    void Put(std::int64_t x, std::uint8_t index)
    {
        const std::int64_t row = m_y * m_rowSize;
        if (m_fourBit) {
            auto& byte = m_store[static_cast<std::size_t>(row + x / 2)];
            // The leftmost of the two pixels of a byte is its high nibble.
            byte = x % 2 == 0 ? static_cast<std::uint8_t>((byte & 0x0F) | index << 4)
                              : static_cast<std::uint8_t>((byte & 0xF0) | (index & 0x0F));
        } else {
            m_store[static_cast<std::size_t>(row + x)] = index;
        }
    }

    std::span<std::uint8_t> m_store;
    // 64-bit: at most 255 pixels or rows per code, and fewer codes than bytes of data.
    std::int64_t m_x = 0;
    std::int64_t m_y = 0;  // from the bottom row, which is the store's first
    std::int64_t m_width;
    std::int64_t m_height;
    std::int64_t m_rowSize;
    bool m_fourBit;
};

}  // namespace

bool DecodeBmpRle(std::span<const std::uint8_t> data, Raster& raster)
{
    if (raster.Empty())
        return true;
    PixelCursor cursor(raster);
    std::size_t pos = 0;
    while (data.size() - pos >= 2 && !cursor.PastTop()) {
        const std::uint8_t count = data[pos];
        const std::uint8_t value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            // An encoded run: count pixels of one index, or in RLE4 of the two nibbles in turn.
            cursor.PutRun(count, [value](int) { return value; });
            continue;
        }
        switch (value) {
        case kEndOfLine:
            cursor.NextLine();
            break;
        case kEndOfPicture:
            return true;
        case kDelta:
            if (data.size() - pos < 2)
                return cursor.PastLastPixel();
            cursor.Move(data[pos], data[pos + 1]);
            pos += 2;
            break;
        default: {
            // An absolute run of `value` pixels, its bytes padded to an even count.
            const int perByte = cursor.PixelsPerByte();
            const std::size_t runBytes = (value + perByte - 1) / perByte;
            // Data that ends inside the run gives only the pixels it holds.
            const std::size_t present = std::min(runBytes, data.size() - pos);
            const int pixels = std::min<int>(value, static_cast<int>(present) * perByte);
            cursor.PutRun(pixels, [&](int i) { return data[pos + static_cast<std::size_t>(i / perByte)]; });
            pos += std::min(runBytes + runBytes % 2, data.size() - pos);
            break;
        }
        }
    }
    return cursor.PastLastPixel();
}

}  // namespace picbatch
