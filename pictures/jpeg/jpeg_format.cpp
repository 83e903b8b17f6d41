// The JPEG row's functions over JpegImage, the band decoder, the row encoder and the
// segment splicer.
#include "pictures/jpeg/jpeg_format.h"

#include "imaging/raster.h"
#include "pictures/files/file_io.h"
#include "pictures/jpeg/jpeg_decoder.h"
#include "pictures/jpeg/jpeg_encoder.h"
#include "pictures/jpeg/jpeg_image.h"
#include "pictures/jpeg/jpeg_segments.h"
#include "pictures/jpeg/jpeg_settings.h"

namespace picbatch {

Raster ReadJpegFile(const std::string& path, ReadNotes& notes)
{
    JpegImage jpeg;
    // The form is fixed by the settings before the file is read: 24-bit normally, 8-bit
    // paletted on a display of 256 colours or fewer.
    const bool eightBit = jpeg.Settings().pixelFormat == JpegPixelFormat::Bits8;
    jpeg.LoadJpegData(ReadFileBytes(path));
    // Taking the decoded picture instead of drawing it onto a second one saves a
    // full-size copy; the result is the same.
    Raster picture = jpeg.TakePicture();
    notes = jpeg.DecodeNotes();
    if (!eightBit && !picture.Empty() && picture.Form() != PixelForm::Bgr24)
        picture.SetPixelForm(PixelForm::Bgr24);
    return picture;
}

void DecodeJpegFileBands(const std::string& path, const PictureSizeSink& size, const PictureRowSink& rows,
                         std::int64_t alongsideFromPixels, ReadNotes& notes)
{
    notes = DecodeJpegFileRows(path, DefaultJpegSettings(), size, rows, alongsideFromPixels);
}

void DecodeJpegFileWindowBands(const std::string& path, const PictureWindow& window, const PictureSizeSink& size,
                               const PictureRowSink& rows, std::int64_t alongsideFromPixels, ReadNotes& notes)
{
    notes = DecodeJpegFileWindowRows(path, DefaultJpegSettings(), window, size, rows, alongsideFromPixels);
}

std::unique_ptr<RowEncoder> StartJpegRowEncoding(int width, int height, const EncodeSettings& settings,
                                                 ByteSink& out)
{
    return std::make_unique<JpegRowEncoder>(width, height, JpegSettingsFor(settings), out);
}

std::int64_t JpegRowEncodingBytes(int width, int height, const EncodeSettings& settings)
{
    return JpegEncodingBytes(width, height, JpegSettingsFor(settings));
}

std::unique_ptr<MetadataSink> StartJpegSegments(ByteSink& out, std::span<const std::uint8_t> exif,
                                                std::span<const std::uint8_t> icc)
{
    return std::make_unique<SegmentSplicingSink>(out, exif, icc);
}

}  // namespace picbatch
