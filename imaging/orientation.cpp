// Turning a stored picture upright: a copy of each pixel to where the orientation puts it.
#include "imaging/orientation.h"

#include <cstdint>
#include <cstring>

namespace picbatch {

namespace {

constexpr std::int64_t kPixelBytes = 3;

}  // namespace

Orientation OrientationOfTag(long value)
{
    return value >= 1 && value <= 8 ? static_cast<Orientation>(value) : Orientation::Normal;
}

bool SwapsSides(Orientation orientation)
{
    return static_cast<int>(orientation) >= static_cast<int>(Orientation::Transpose);
}

bool ReversesLines(Orientation orientation)
{
    switch (orientation) {
    case Orientation::MirrorRows:
    case Orientation::Rotate180:
    case Orientation::Rotate90:
    case Orientation::Transverse:
        return true;
    default:
        return false;
    }
}

bool ReversesLineOrder(Orientation orientation)
{
    switch (orientation) {
    case Orientation::Rotate180:
    case Orientation::MirrorColumns:
    case Orientation::Transverse:
    case Orientation::Rotate270:
        return true;
    default:
        return false;
    }
}

Raster Upright(Raster& stored, Orientation orientation)
{
    stored.SetPixelForm(PixelForm::Bgr24);
    if (orientation == Orientation::Normal || stored.Empty())
        return stored;
    const bool swaps = SwapsSides(orientation);
    const int width = swaps ? stored.Height() : stored.Width();
    const int height = swaps ? stored.Width() : stored.Height();
    Raster upright;
    upright.SetPixelForm(PixelForm::Bgr24);
    upright.SetSizeForWriting(width, height);
    const Raster& source = stored;
    // Upright line y is stored line (reversed order ? lines-1-y : y), read from its far end
    // when the lines are reversed.
    const bool reverseLine = ReversesLines(orientation);
    const bool reverseOrder = ReversesLineOrder(orientation);
    for (int y = 0; y < height; ++y) {
        const int line = reverseOrder ? height - 1 - y : y;
        std::uint8_t* out = upright.Row(y).data();
        for (int x = 0; x < width; ++x) {
            const int along = reverseLine ? width - 1 - x : x;
            const std::uint8_t* in = swaps ? source.Row(along).data() + kPixelBytes * line
                                           : source.Row(line).data() + kPixelBytes * along;
            std::memcpy(out + kPixelBytes * x, in, kPixelBytes);
        }
    }
    return upright;
}

}  // namespace picbatch
