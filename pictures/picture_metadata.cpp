// The metadata of a source file, by its format.
#include "pictures/picture_metadata.h"

#include "pictures/bmp/bmp_colour_space.h"
#include "pictures/picture_format.h"

namespace picbatch {

PictureMetadata ReadPictureMetadata(const std::string& path)
{
    const PictureFormat* format = FormatOfName(path);
    if (format && format->kind == PictureKind::Jpeg)
        return ReadJpegMetadata(path);
    PictureMetadata metadata;
    if (format && format->kind == PictureKind::Bmp)
        metadata.iccProfile = ReadBmpProfile(path);
    return metadata;
}

}  // namespace picbatch
