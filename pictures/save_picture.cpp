// Saving the working picture as JPEG or BMP under the output name. The file is encoded
// completely in memory before anything on disk changes, then replaced in one step.
#include "pictures/save_picture.h"

#include <cstdint>
#include <vector>

#include "imaging/raster.h"
#include "pictures/bmp.h"
#include "pictures/file_io.h"
#include "pictures/jpeg_image.h"
#include "pictures/picture_kind.h"

namespace {

enum class OutputFormat { None, Jpeg, Bmp };

OutputFormat OutputFormatFor(const std::string& path, OutputMode mode)
{
    switch (mode) {
    case OutputMode::Jpeg:
        return OutputFormat::Jpeg;
    case OutputMode::Bmp:
        return OutputFormat::Bmp;
    case OutputMode::KeepFormat:
        break;
    }
    switch (PictureKindOf(path)) {
    case PictureKind::Jpeg:
        return OutputFormat::Jpeg;
    case PictureKind::Bmp:
        return OutputFormat::Bmp;
    case PictureKind::None:
        break;
    }
    return OutputFormat::None;
}

// The length of the file-name part of path (after the last "/").
std::size_t NameLength(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path.size() : path.size() - slash - 1;
}

}  // namespace

std::optional<std::string> OutputPathFor(const std::string& path, OutputMode mode)
{
    const OutputFormat format = OutputFormatFor(path, mode);
    // The last four characters are the extension being replaced; a shorter name has none,
    // and cutting into the folder part would write somewhere else entirely.
    if (format == OutputFormat::None || NameLength(path) < 4)
        return std::nullopt;
    return path.substr(0, path.size() - 4) + (format == OutputFormat::Jpeg ? ".jpg" : ".bmp");
}

std::optional<std::string> SavePicture(const Raster& picture, const std::string& path, OutputMode mode)
{
    const std::optional<std::string> outputPath = OutputPathFor(path, mode);
    if (!outputPath)
        return std::nullopt;
    if (OutputFormatFor(path, mode) == OutputFormat::Jpeg) {
        std::vector<std::uint8_t> bytes;
        {
            // The encoder lives only as long as the encoding.
            TJPEGImage jpeg;
            jpeg.AssignPicture(picture);
            jpeg.SaveJpegData(bytes);
        }
        ReplaceFile(*outputPath, bytes);
    } else {
        WriteBmp(picture, *outputPath);
    }
    return outputPath;
}
