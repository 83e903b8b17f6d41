// Placing a picture on a canvas: the canvas filled row by row, the picture's rows copied in.
#include "imaging/canvas.h"

#include <cstddef>
#include <cstring>

namespace picbatch {

Raster OnCanvas(const Raster& picture, int width, int height, int left, int top, CanvasColour colour)
{
    const bool sourceAlpha = picture.Form() == PixelForm::Bgra32;
    const bool alpha = sourceAlpha || colour.alpha != 255;
    const std::size_t pixelBytes = alpha ? 4 : 3;
    const std::size_t sourceBytes = sourceAlpha ? 4 : 3;
    Raster canvas;
    canvas.SetPixelForm(alpha ? PixelForm::Bgra32 : PixelForm::Bgr24);
    canvas.SetSizeForWriting(width, height);
    const std::uint8_t fill[4] = {colour.blue, colour.green, colour.red, colour.alpha};
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = canvas.Row(y).data();
        for (int x = 0; x < width; ++x)
            std::memcpy(row + pixelBytes * static_cast<std::size_t>(x), fill, pixelBytes);
        if (y < top || y >= top + picture.Height())
            continue;
        const std::uint8_t* from = picture.Row(y - top).data();
        std::uint8_t* to = row + pixelBytes * static_cast<std::size_t>(left);
        if (pixelBytes == sourceBytes) {
            std::memcpy(to, from, pixelBytes * static_cast<std::size_t>(picture.Width()));
            continue;
        }
        for (int x = 0; x < picture.Width(); ++x, from += 3, to += 4) {  // opaque into a canvas with alpha
            std::memcpy(to, from, 3);
            to[3] = 255;
        }
    }
    return canvas;
}

}  // namespace picbatch
