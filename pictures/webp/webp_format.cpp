// The WebP row's reader and header reader over ParseWebp and ReadWebpSize.
#include "pictures/webp/webp_format.h"

#include <algorithm>

#include "imaging/raster.h"
#include "pictures/encode_settings.h"
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

std::vector<std::uint8_t> EncodeWebpFile(const Raster& picture, const EncodeSettings& settings)
{
    return EncodeWebpLossyAt(picture, settings.quality);
}

// Besides its store, libwebp keeps about 5 bytes a pixel while decoding (measured at 4.3
// megapixels: 4.9 for a lossy file with alpha, 4 for a lossless one).
constexpr std::int64_t kWebpReadBytesPerPixel = 6;

PictureHeader ReadWebpFileHeader(const std::string& path)
{
    return ReadWholeReadHeader(path, ReadWebpSize, kWebpReadBytesPerPixel);
}

// libwebp at its peak, for a picture with alpha (measured from 0.27 to 4.3 megapixels):
// lossy, its planes and the alpha plane's lossless encoding, below 24 bytes a pixel and
// 6 MiB; lossless, below 20 bytes a pixel and 12 MiB alone, but after a conversion has freed
// the decoded picture the allocator serves its many buffers from the heap, which holds up to
// twice that. Either encoding may be taken.
std::int64_t WebpEncodeBytes(std::int64_t pixels)
{
    return std::max(24 * pixels + (std::int64_t{6} << 20), 40 * pixels + (std::int64_t{12} << 20));
}

}  // namespace picbatch
