// The format table and the adapters that bind each row to its reader and writer.
#include "pictures/picture_format.h"

#include <array>

#include "imaging/limits.h"
#include "imaging/raster.h"
#include "pictures/bmp.h"
#include "pictures/file_io.h"
#include "pictures/jpeg_decoder.h"
#include "pictures/jpeg_encoder.h"
#include "pictures/jpeg_image.h"
#include "pictures/row_encoder.h"
#include "pictures/upper_case.h"

namespace picbatch {

namespace {

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

std::unique_ptr<RowEncoder> StartJpegRowEncoding(int width, int height, ByteSink& out)
{
    return std::make_unique<JpegRowEncoder>(width, height, DefaultJpegSettings(), out);
}

std::unique_ptr<RowEncoder> StartBmpRowEncoding(int width, int height, ByteSink& out)
{
    return std::make_unique<BmpRowEncoder>(width, height, out);
}

Raster ReadBmpFile(const std::string& path, ReadNotes& notes)
{
    Raster picture;
    notes = ReadBmp(path, picture);
    return picture;
}

// Libjpeg's largest side: its encoder refuses more.
constexpr int kMaxJpegSide = 65500;

constexpr std::array kFormats{
    PictureFormat{PictureKind::Jpeg, ".jpg", ReadJpegFile, DecodeJpegFileBands, StartJpegRowEncoding, kMaxJpegSide},
    PictureFormat{PictureKind::Bmp, ".bmp", ReadBmpFile, nullptr, StartBmpRowEncoding, kMaxPictureSide},
};

// FormatOf finds a kind's row by its value.
constexpr bool RowsInKindOrder()
{
    for (std::size_t i = 0; i < kFormats.size(); ++i) {
        if (static_cast<std::size_t>(kFormats[i].kind) != i)
            return false;
    }
    return true;
}
static_assert(RowsInKindOrder(), "one row per kind, in the order of PictureKind");

}  // namespace

const PictureFormat* FormatOfName(std::string_view path)
{
    const auto slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    // Extensions are ASCII: in UTF-8 a name ending in any other character cannot match them.
    for (const PictureFormat& format : kFormats) {
        if (name.size() >= format.extension.size()
            && AsciiUpper(name.substr(name.size() - format.extension.size())) == AsciiUpper(format.extension))
            return &format;
    }
    return nullptr;
}

const PictureFormat& FormatOf(PictureKind kind)
{
    return kFormats[static_cast<std::size_t>(kind)];
}

void EncodePicture(const PictureFormat& format, const Raster& picture, ByteSink& out)
{
    EncodeWholePicture(picture, [&](int width, int height) { return format.startRowEncoding(width, height, out); });
}

}  // namespace picbatch
