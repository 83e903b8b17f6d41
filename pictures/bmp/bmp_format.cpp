// The BMP row's functions over the reader, the band decoder, the row encoder and the colour
// space.
#include "pictures/bmp/bmp_format.h"

#include "imaging/raster.h"
#include "pictures/bmp/bmp.h"
#include "pictures/bmp/bmp_colour_space.h"
#include "pictures/bmp/bmp_stream.h"

namespace picbatch {

Raster ReadBmpFile(const std::string& path, ReadNotes& notes)
{
    Raster picture;
    notes = ReadBmp(path, picture);
    return picture;
}

// Reading a BMP costs too little to pay for a second thread.
void DecodeBmpFileBands(const std::string& path, const PictureSizeSink& size, const PictureRowSink& rows,
                        std::int64_t /*alongsideFromPixels*/, ReadNotes& notes)
{
    notes = DecodeBmpFileRows(path, size, rows);
}

std::unique_ptr<RowEncoder> StartBmpRowEncoding(int width, int height, const EncodeSettings& /*settings*/,
                                                ByteSink& out)
{
    return std::make_unique<BmpRowEncoder>(width, height, out);
}

PictureMetadata ReadBmpMetadata(const std::string& path)
{
    PictureMetadata metadata;
    metadata.iccProfile = ReadBmpProfile(path);
    return metadata;
}

}  // namespace picbatch
