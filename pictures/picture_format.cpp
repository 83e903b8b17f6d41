// The format table and the adapters that bind each row to its reader and writer.
#include "pictures/picture_format.h"

#include <array>

#include "imaging/limits.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp.h"
#include "pictures/byte_sink.h"
#include "pictures/bmp/bmp_file_header.h"
#include "pictures/bmp/bmp_stream.h"
#include "pictures/files/file_io.h"
#include "pictures/jpeg/jpeg_decoder.h"
#include "pictures/jpeg/jpeg_encoder.h"
#include "pictures/jpeg/jpeg_file_header.h"
#include "pictures/jpeg/jpeg_image.h"
#include "pictures/png/png.h"
#include "pictures/row_encoder.h"
#include "pictures/upper_case.h"
#include "pictures/webp/webp.h"
#include "pictures/whole_read_header.h"

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

PictureHeader ReadPngFileHeader(const std::string& path)
{
    return ReadWholeReadHeader(path, ReadPngSize);
}

PictureHeader ReadWebpFileHeader(const std::string& path)
{
    return ReadWholeReadHeader(path, ReadWebpSize);
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
    PictureFormat{PictureKind::Jpeg, ".jpg", ".jpeg", ReadJpegFile, nullptr, nullptr, DecodeJpegFileBands,
                  StartJpegRowEncoding, kMaxJpegSide, ReadJpegFileHeader},
    PictureFormat{PictureKind::Bmp, ".bmp", "", ReadBmpFile, nullptr, nullptr, DecodeBmpFileBands, StartBmpRowEncoding,
                  kMaxPictureSide, ReadBmpFileHeader},
    PictureFormat{PictureKind::Png, ".png", "", ReadPngFile, EncodePng, nullptr, nullptr, nullptr, 0,
                  ReadPngFileHeader},
    PictureFormat{PictureKind::Webp, ".webp", "", ReadWebpFile, EncodeWebpLossy, EncodeWebpLossless, nullptr, nullptr,
                  0, ReadWebpFileHeader},
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

void EncodePicture(const PictureFormat& format, const Raster& picture, ByteSink& out, bool losslessSource)
{
    if (!format.encode) {
        EncodeWholePicture(picture,
                           [&](int width, int height) { return format.startRowEncoding(width, height, out); });
        return;
    }
    const auto encode = losslessSource && format.encodeLossless ? format.encodeLossless : format.encode;
    out.WriteAt(0, encode(picture));
}

std::vector<std::uint8_t> EncodeToBytes(const PictureFormat& format, const Raster& picture, bool losslessSource)
{
    std::vector<std::uint8_t> bytes;
    MemorySink memory(bytes);
    EncodePicture(format, picture, memory, losslessSource);
    return bytes;
}

}  // namespace picbatch
