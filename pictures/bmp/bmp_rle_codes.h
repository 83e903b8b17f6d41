// The codes of a BMP's run-length encoded pixel array (RLE8 and RLE4), walked one at a time,
// so that the whole-picture decoder and the row-by-row one follow exactly the same rules.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>

namespace picbatch {

// The picture that the codes paint.
struct RleFrame {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool fourBit = false;  // RLE4: two pixels a byte
};

// Where a walk stands: the offset of the next code in the data and the pixel it paints next.
// y counts from the bottom row; x and y may lie past the right edge and the top. 64-bit: at
// most 255 pixels or rows per code, and fewer codes than bytes of data.
struct RleCursor {
    std::int64_t pos = 0;
    std::int64_t x = 0;
    std::int64_t y = 0;
};

inline bool RlePastTop(const RleFrame& frame, const RleCursor& at)
{
    return at.y >= frame.height;
}

// Past the last pixel of the top row, or beyond.
inline bool RlePastLastPixel(const RleFrame& frame, const RleCursor& at)
{
    return RlePastTop(frame, at) || (at.y == frame.height - 1 && at.x >= frame.width);
}

// The index of pixel i of a run whose bytes are given by packed(i): in RLE4 the high nibble
// for even i and the low one for odd i, in RLE8 the whole byte.
inline std::uint8_t RleRunIndex(std::uint8_t byte, int i, bool fourBit)
{
    return fourBit ? static_cast<std::uint8_t>(i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte;
}

// Runs the code at at.pos of data (data.Size() bytes, data.At(pos) one of them) and moves at
// past it. paint(y, x, count, packed) receives each run's pixels that lie inside the picture
// (count >= 1 from pixel x of row y on; packed(i) is the byte holding pixel i's index, see
// RleRunIndex), so runs past the right edge cost nothing. Returns nothing while codes follow;
// otherwise the walk is over and the result says whether the data was complete: false when
// it ended before its end-of-picture code while pixels were still to come. Data that ends
// inside a code ends the picture.
template <class Data, class Paint>
std::optional<bool> StepRle(Data& data, const RleFrame& frame, RleCursor& at, Paint&& paint)
{
    // The second byte of a code whose first byte is 0 (the escapes); values from 3 up start
    // an absolute run of that many pixels.
    constexpr std::uint8_t kEndOfLine = 0;
    constexpr std::uint8_t kEndOfPicture = 1;
    constexpr std::uint8_t kDelta = 2;

    const std::int64_t size = data.Size();
    if (size - at.pos < 2 || RlePastTop(frame, at))
        return RlePastLastPixel(frame, at);
    const std::uint8_t count = data.At(at.pos);
    const std::uint8_t value = data.At(at.pos + 1);
    at.pos += 2;
    const auto run = [&](int pixels, auto packed) {
        const std::int64_t inside = RlePastTop(frame, at) ? 0 : std::clamp<std::int64_t>(frame.width - at.x, 0, pixels);
        if (inside > 0)
            paint(at.y, at.x, static_cast<int>(inside), packed);
        at.x += pixels;
    };
    if (count > 0) {
        // An encoded run: count pixels of one index, or in RLE4 of the two nibbles in turn.
        run(count, [value](int) { return value; });
        return std::nullopt;
    }
    switch (value) {
    case kEndOfLine:
        at.x = 0;
        ++at.y;
        return std::nullopt;
    case kEndOfPicture:
        return true;
    case kDelta:
        if (size - at.pos < 2)
            return RlePastLastPixel(frame, at);
        at.x += data.At(at.pos);
        at.y += data.At(at.pos + 1);
        at.pos += 2;
        return std::nullopt;
    default: {
        // An absolute run of `value` pixels, its bytes padded to an even count.
        const int perByte = frame.fourBit ? 2 : 1;
        const std::int64_t runBytes = (value + perByte - 1) / perByte;
        // Data that ends inside the run gives only the pixels it holds.
        const std::int64_t present = std::min(runBytes, size - at.pos);
        const int pixels = std::min<int>(value, static_cast<int>(present) * perByte);
        const std::int64_t start = at.pos;
        run(pixels, [&data, start, perByte](int i) { return data.At(start + i / perByte); });
        at.pos += std::min(runBytes + runBytes % 2, size - at.pos);
        return std::nullopt;
    }
    }
}

}  // namespace picbatch
