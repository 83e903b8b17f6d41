// The format table and the adapters that bind each row to its reader and writer.
#include "pictures/picture_format.h"

#include <array>

#include "imaging/raster.h"
#include "pictures/bmp.h"
#include "pictures/bmp_file_header.h"
#include "pictures/bmp_stream.h"
#include "pictures/file_io.h"
#include "pictures/jpeg_decoder.h"
#include "pictures/jpeg_encoder.h"
#include "pictures/jpeg_file_header.h"
#include "pictures/jpeg_image.h"
#include "pictures/png.h"
#include "pictures/upper_case.h"
#include "pictures/webp.h"

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

std::vector<std::uint8_t> EncodeJpegFile(const Raster& picture)
{
    std::vector<std::uint8_t> bytes;
    EncodeJpegPicture(picture, DefaultJpegSettings(), bytes);
    return bytes;
}

void DecodeJpegFileBands(const std::string& path, const PictureSizeSink& size, const PictureRowSink& rows,
                         std::int64_t alongsideFromPixels, ReadNotes& notes)
{
    notes = DecodeJpegFileRows(path, DefaultJpegSettings(), size, rows, alongsideFromPixels);
}

std::unique_ptr<RowEncoder> StartJpegRowEncoding(int width, int height, std::vector<std::uint8_t>& out)
{
    return std::make_unique<JpegRowEncoder>(width, height, DefaultJpegSettings(), out);
}

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

Raster ReadPngFile(const std::string& path, ReadNotes& notes)
{
    Raster picture;
    notes = ParsePng(ReadFileBytes(path), picture);
    return picture;
}

Raster ReadWebpFile(const std::string& path, ReadNotes& notes)
{
    Raster picture;
    notes = ParseWebp(ReadFileBytes(path), picture);
    return picture;
}

// Libjpeg's largest side: its encoder refuses more.
constexpr int kMaxJpegSide = 65500;

constexpr std::array kFormats{
    PictureFormat{PictureKind::Jpeg, ".jpg", ".jpeg", ReadJpegFile, EncodeJpegFile, nullptr, DecodeJpegFileBands,
                  StartJpegRowEncoding, kMaxJpegSide, ReadJpegFileHeader},
    PictureFormat{PictureKind::Bmp, ".bmp", "", ReadBmpFile, EncodeBmp, nullptr, DecodeBmpFileBands, nullptr, 0,
                  ReadBmpFileHeader},
    PictureFormat{PictureKind::Png, ".png", "", ReadPngFile, EncodePng, nullptr, nullptr, nullptr, 0, nullptr},
    PictureFormat{PictureKind::Webp, ".webp", "", ReadWebpFile, EncodeWebpLossy, EncodeWebpLossless, nullptr, nullptr,
                  0, nullptr},
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

// True when name ends in extension (not empty), in any case. Extensions are ASCII: in UTF-8
// a name ending in any other character cannot match them.
bool EndsIn(std::string_view name, std::string_view extension)
{
    return !extension.empty() && name.size() >= extension.size()
        && AsciiUpper(name.substr(name.size() - extension.size())) == AsciiUpper(extension);
}

struct NameMatch {
    const PictureFormat* format = nullptr;
    std::string_view extension;
};

NameMatch MatchName(std::string_view path)
{
    const auto slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    for (const PictureFormat& format : kFormats) {
        for (const std::string_view extension : {format.extension, format.otherExtension}) {
            if (EndsIn(name, extension))
                return {&format, extension};
        }
    }
    return {};
}

}  // namespace

const PictureFormat* FormatOfName(std::string_view path)
{
    return MatchName(path).format;
}

std::string_view ExtensionOfName(std::string_view path)
{
    return MatchName(path).extension;
}

const PictureFormat& FormatOf(PictureKind kind)
{
    return kFormats[static_cast<std::size_t>(kind)];
}

}  // namespace picbatch
