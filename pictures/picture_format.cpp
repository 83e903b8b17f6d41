// The format table: one row per format, naming the functions of the format's folder.
#include "pictures/picture_format.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "imaging/limits.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp_file_header.h"
#include "pictures/bmp/bmp_format.h"
#include "pictures/byte_sink.h"
#include "pictures/jpeg/jpeg_file_header.h"
#include "pictures/jpeg/jpeg_format.h"
#include "pictures/jpeg/jpeg_metadata.h"
#include "pictures/jpeg/jpeg_segments.h"
#include "pictures/metadata_sink.h"
#include "pictures/png/png.h"
#include "pictures/png/png_format.h"
#include "pictures/row_encoder.h"
#include "pictures/upper_case.h"
#include "pictures/webp/webp.h"
#include "pictures/webp/webp_format.h"

namespace picbatch {

namespace {

// A row names only what the format has; whatever it leaves out, it has not. The rows'
// names also make the package's description (cmake/packaging.cmake reads the `.name`s).
constexpr std::array kFormats{
    PictureFormat{
        .name = "JPEG",
        .extension = ".jpg",
        .otherExtension = ".jpeg",
        .read = ReadJpegFile,
        .decodeRows = DecodeJpegFileBands,
        .decodeWindowRows = DecodeJpegFileWindowBands,
        .startRowEncoding = StartJpegRowEncoding,
        .rowEncodingBytes = JpegRowEncodingBytes,
        .maxRowEncodedSide = kMaxJpegSide,
        .readHeader = ReadJpegFileHeader,
        .readMetadata = ReadJpegMetadata,
        .carryMetadata = StartJpegSegments,
        .maxIccBytes = kMaxJpegIccBytes,
    },
    PictureFormat{
        .name = "BMP",
        .extension = ".bmp",
        .read = ReadBmpFile,
        .decodeRows = DecodeBmpFileBands,
        .startRowEncoding = StartBmpRowEncoding,
        .maxRowEncodedSide = kMaxPictureSide,
        .readHeader = ReadBmpFileHeader,
        .readMetadata = ReadBmpMetadata,
    },
    PictureFormat{
        .name = "PNG",
        .extension = ".png",
        .read = ReadPngFile,
        .encode = EncodePngFile,
        .keepsAlpha = true,
        .readHeader = ReadPngFileHeader,
        .encodeBytes = PngEncodeBytes,
    },
    PictureFormat{
        .name = "WebP",
        .extension = ".webp",
        .read = ReadWebpFile,
        .encode = EncodeWebpFile,
        .encodeLossless = EncodeWebpLossless,
        .keepsAlpha = true,
        .readHeader = ReadWebpFileHeader,
        .encodeBytes = WebpEncodeBytes,
    },
};

// What the rest of the program relies on of every row that a constant expression can see (a
// function's address is no constant under the sanitizers); the tests check the rest.
constexpr bool RowsNamed()
{
    for (const PictureFormat& format : kFormats) {
        if (format.name.empty() || format.extension.empty())
            return false;
    }
    return true;
}
static_assert(RowsNamed(), "every row has a name and an extension");

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

std::span<const PictureFormat> PictureFormats()
{
    return kFormats;
}

const PictureFormat& FormatOf(std::string_view name)
{
    for (const PictureFormat& format : kFormats) {
        if (format.name == name)
            return format;
    }
    throw std::invalid_argument("no picture format is named " + std::string(name));
}

std::string FormatNameList(std::string_view separator, std::string_view lastSeparator)
{
    std::array<std::string_view, kFormats.size()> names;
    std::transform(kFormats.begin(), kFormats.end(), names.begin(),
                   [](const PictureFormat& format) { return format.name; });
    std::sort(names.begin(), names.end());
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            list += i + 1 == names.size() ? lastSeparator : separator;
        list += names[i];
    }
    return list;
}

void EncodePicture(const PictureFormat& format, const Raster& picture, ByteSink& out, bool losslessSource,
                   const EncodeSettings& settings)
{
    if (!format.encode) {
        EncodeWholePicture(picture, [&](int width, int height) {
            return format.startRowEncoding(width, height, settings, out);
        });
        return;
    }
    if (losslessSource && format.encodeLossless)
        out.WriteAt(0, format.encodeLossless(picture));
    else
        out.WriteAt(0, format.encode(picture, settings));
}

std::vector<std::uint8_t> EncodeToBytes(const PictureFormat& format, const Raster& picture, bool losslessSource,
                                        const EncodeSettings& settings)
{
    std::vector<std::uint8_t> bytes;
    MemorySink memory(bytes);
    EncodePicture(format, picture, memory, losslessSource, settings);
    return bytes;
}

}  // namespace picbatch
