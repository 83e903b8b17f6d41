// The metadata of a source file, by its format's row.
#include "pictures/read_picture_metadata.h"

#include "pictures/picture_format.h"

namespace picbatch {

PictureMetadata ReadPictureMetadata(const std::string& path)
{
    const PictureFormat* format = FormatOfName(path);
    if (format && format->readMetadata)
        return format->readMetadata(path);
    return {};
}

}  // namespace picbatch
