// Cutting a window out of a picture, and finding it in the picture's stored form.
#include "imaging/picture_window.h"

#include <cstdint>
#include <cstring>

#include "imaging/raster.h"

namespace picbatch {

PictureWindow StoredWindow(Orientation orientation, int storedWidth, int storedHeight, PictureWindow upright)
{
    const int x = upright.x;
    const int y = upright.y;
    const int w = upright.width;
    const int h = upright.height;
    // Each case follows where Orientation's comment says an upright pixel is stored.
    switch (orientation) {
    case Orientation::Normal:
        break;
    case Orientation::MirrorRows:
        return {storedWidth - x - w, y, w, h};
    case Orientation::Rotate180:
        return {storedWidth - x - w, storedHeight - y - h, w, h};
    case Orientation::MirrorColumns:
        return {x, storedHeight - y - h, w, h};
    case Orientation::Transpose:
        return {y, x, h, w};
    case Orientation::Rotate90:
        return {y, storedHeight - x - w, h, w};
    case Orientation::Transverse:
        return {storedWidth - y - h, storedHeight - x - w, h, w};
    case Orientation::Rotate270:
        return {storedWidth - y - h, x, h, w};
    }
    return upright;
}

Raster CroppedPicture(Raster& picture, PictureWindow window)
{
    if (picture.Form() != PixelForm::Bgra32)
        picture.SetPixelForm(PixelForm::Bgr24);
    const std::int64_t pixelBytes = picture.Form() == PixelForm::Bgra32 ? 4 : 3;
    Raster cropped;
    cropped.SetPixelForm(picture.Form());
    cropped.SetSizeForWriting(window.width, window.height);
    const Raster& source = picture;
    for (int y = 0; y < window.height; ++y) {
        std::memcpy(cropped.Row(y).data(), source.Row(window.y + y).data() + pixelBytes * window.x,
                    static_cast<std::size_t>(pixelBytes * window.width));
    }
    return cropped;
}

}  // namespace picbatch
