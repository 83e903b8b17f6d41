// The PNG row's reader and header reader over ParsePng and ReadPngSize.
#include "pictures/png/png_format.h"

#include "imaging/raster.h"
#include "pictures/files/file_io.h"
#include "pictures/png/png.h"
#include "pictures/whole_read_header.h"

namespace picbatch {

Raster ReadPngFile(const std::string& path, ReadNotes& notes)
{
    Raster picture;
    notes = ParsePng(ReadFileBytes(path), picture);
    return picture;
}

PictureHeader ReadPngFileHeader(const std::string& path)
{
    return ReadWholeReadHeader(path, ReadPngSize);
}

}  // namespace picbatch
