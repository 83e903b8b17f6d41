// The metadata of a source file, by its format.
#include "pictures/picture_metadata.h"

#include "pictures/picture_format.h"

namespace picbatch {

PictureMetadata ReadPictureMetadata(const std::string& path)
{
    const PictureFormat* format = FormatOfName(path);
    if (format && format->kind == PictureKind::Jpeg)
        return ReadJpegMetadata(path);
    return PictureMetadata{};
}

}  // namespace picbatch
