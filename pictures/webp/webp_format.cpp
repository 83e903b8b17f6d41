// The WebP row's reader and header reader over ParseWebp and ReadWebpSize.
#include "pictures/webp/webp_format.h"

#include "imaging/raster.h"
#include "pictures/files/file_io.h"
#include "pictures/webp/webp.h"
#include "pictures/whole_read_header.h"

namespace picbatch {

Raster ReadWebpFile(const std::string& path, ReadNotes& notes)
{
    Raster picture;
    notes = ParseWebp(ReadFileBytes(path), picture);
    return picture;
}

PictureHeader ReadWebpFileHeader(const std::string& path)
{
    return ReadWholeReadHeader(path, ReadWebpSize);
}

}  // namespace picbatch
