// Loading one source file into the working picture: JPEG or BMP by the file name's
// extension, with the working picture untouched unless the whole load succeeds.
#include "pictures/load_picture.h"

#include <string_view>
#include <utility>

#include "imaging/raster.h"
#include "pictures/bmp.h"
#include "pictures/file_io.h"
#include "pictures/jpeg_image.h"
#include "pictures/picture_kind.h"

namespace {

Raster LoadJpeg(const std::string& path)
{
    TJPEGImage jpeg;
    // The form is fixed by the settings before the file is read: 24-bit normally, 8-bit
    // paletted on a display of 256 colours or fewer.
    const bool eightBit = jpeg.Settings().pixelFormat == JpegPixelFormat::Bits8;
    jpeg.LoadJpegData(ReadFileBytes(path));
    // Taking the decoded picture instead of drawing it onto a second one saves a
    // full-size copy; the result is the same.
    Raster picture = jpeg.TakePicture();
    if (!eightBit && !picture.Empty() && picture.Form() != PixelForm::Bgr24)
        picture.SetPixelForm(PixelForm::Bgr24);
    return picture;
}

Raster LoadBmp(const std::string& path)
{
    Raster picture;
    ReadBmp(path, picture);
    return picture;
}

}  // namespace

bool LoadPicture(const std::string& path, Raster& working)
{
    const PictureKind kind = PictureKindOf(path);
    if (kind == PictureKind::None || !FileExists(path))
        return false;
    // Everything is loaded into a picture of its own first, so that a failure leaves the
    // working picture as it was; moving it in costs no copy.
    working = kind == PictureKind::Jpeg ? LoadJpeg(path) : LoadBmp(path);
    return true;
}
