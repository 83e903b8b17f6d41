// A rectangle of a picture's pixels: the part of it that a conversion keeps.
#pragma once

#include "imaging/orientation.h"

namespace picbatch {

// Columns x to x + width - 1 of rows y to y + height - 1, counted from the top left.
struct PictureWindow {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PictureWindow&) const = default;
};

// The window of a storedWidth x storedHeight picture that holds the window upright of its
// upright form (orientation): Upright(stored) cut to upright equals Upright(stored cut to the
// result). upright must lie inside the upright picture.
PictureWindow StoredWindow(Orientation orientation, int storedWidth, int storedHeight, PictureWindow upright);

// The part window of picture (which it must lie inside) as a picture of its own, in
// picture's form where that is Bgr24 or Bgra32, otherwise converted to Bgr24 as
// ResampleLanczos converts it (picture is converted in place first). Throws the Raster's
// errors.
Raster CroppedPicture(Raster& picture, PictureWindow window);

}  // namespace picbatch
