// Saving the working picture under the output name in the format the mode asks for. The
// file is written as it is encoded and replaces the old one in one step once complete.
#include "pictures/save_picture.h"

#include "imaging/raster.h"
#include "pictures/files/output_file.h"
#include "pictures/picture_format.h"

namespace picbatch {

namespace {

// What a name that is no picture's loses: a dot and a three-letter extension.
constexpr std::size_t kPlainExtensionLength = 4;

// The length of the file-name part of path (after the last "/").
std::size_t NameLength(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path.size() : path.size() - slash - 1;
}

}  // namespace

const PictureFormat* OutputFormatFor(const std::string& path, OutputMode mode)
{
    switch (mode) {
    case OutputMode::Jpeg:
        return &FormatOf("JPEG");
    case OutputMode::Bmp:
        return &FormatOf("BMP");
    case OutputMode::KeepFormat:
        break;
    }
    return FormatOfName(path);
}

std::optional<std::string> OutputPathFor(const std::string& path, OutputMode mode)
{
    const PictureFormat* format = OutputFormatFor(path, mode);
    if (!format)
        return std::nullopt;
    // A picture's name loses its extension; any other name its last four characters. A
    // shorter name has none, and cutting into the folder part would write somewhere else
    // entirely.
    const PictureFormat* source = FormatOfName(path);
    const std::string_view sourceExtension = ExtensionOfName(path);
    const std::size_t replaced = source ? sourceExtension.size() : kPlainExtensionLength;
    if (NameLength(path) < replaced)
        return std::nullopt;
    // A picture written in its own format keeps the table's spelling of its own ending, so
    // that "a.jpeg" stays a ".jpeg".
    const std::string_view extension = format == source ? sourceExtension : format->extension;
    return path.substr(0, path.size() - replaced) + std::string(extension);
}

std::optional<std::string> SavePicture(const Raster& picture, const std::string& path, OutputMode mode,
                                       bool losslessSource)
{
    std::optional<std::string> outputPath = OutputPathFor(path, mode);
    if (!outputPath)
        return std::nullopt;
    OutputFile file(*outputPath);
    EncodePicture(*OutputFormatFor(path, mode), picture, file, losslessSource);
    file.Commit();
    return outputPath;
}

}  // namespace picbatch
