// Loading one source file into the working picture by its format's reader, with the
// working picture untouched unless the whole load succeeds.
#include "pictures/load_picture.h"

#include "imaging/raster.h"
#include "pictures/files/file_io.h"
#include "pictures/picture_format.h"

namespace picbatch {

bool LoadPicture(const std::string& path, Raster& working, ReadNotes* notes)
{
    const PictureFormat* format = FormatOfName(path);
    if (!format || !FileExists(path))
        return false;
    // Everything is loaded into a picture of its own first, so that a failure leaves the
    // working picture as it was; moving it in costs no copy.
    ReadNotes read;
    working = format->read(path, read);
    if (notes)
        *notes = read;
    return true;
}

}  // namespace picbatch
