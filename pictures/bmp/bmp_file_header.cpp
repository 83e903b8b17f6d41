// Reading the headers at the start of a BMP file, and what reading its picture keeps.
#include "pictures/bmp/bmp_file_header.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp_layout.h"
#include "pictures/bmp/bmp_stream.h"
#include "pictures/files/file_io.h"

namespace picbatch {

namespace {

// The start of the file that is read: every header, the masks and a colour table of up to
// 16000 entries. A longer table fails here, which only makes the estimate a small one.
constexpr std::int64_t kHeaderBytes = 64 * 1024;
// What a picture takes per pixel once it is 24-bit: blue, green, red.
constexpr std::int64_t kBgrBytes = 3;
// ReadFileBytes's room beyond the file's size.
constexpr std::int64_t kReadSlack = 64 * 1024;

}  // namespace

PictureHeader ReadBmpFileHeader(const std::string& path)
{
    const OpenedFile file = OpenFileForReading(path);
    const BmpLayout layout = ReadBmpLayout(ReadFileStart(file.descriptor.Get(), std::min(file.size, kHeaderBytes)));

    PictureHeader header;
    header.width = layout.width;
    header.height = layout.height;
    // The layout was checked against the size limits: these products stay far below 2^63.
    const std::int64_t rowBytes = RowSizeFor(layout.width, BitsPerPixel(layout.form));
    const std::int64_t bgrRow = std::int64_t{layout.width} * kBgrBytes;
    const std::int64_t converted = layout.form == PixelForm::Bgr24 ? 0 : bgrRow * layout.height;
    // The store's pages are touched only where pixels are written: an uncompressed file's
    // bytes fill no more of it than they are, so a short file declaring a huge picture costs
    // only its 24-bit copy. Run-length coding may fill it all.
    const bool rle = layout.compression == 1 || layout.compression == 2;
    const std::int64_t store = rowBytes * layout.height;
    const std::int64_t filled = rle ? store : std::min(store, file.size);
    header.streamedBytes = BmpBandBytes(rowBytes, layout.width, layout.height);
    header.wholeReadBytes = std::max(file.size + kReadSlack + filled, filled + converted);
    header.wholePictureBytes = converted > 0 ? converted : filled;
    return header;
}

}  // namespace picbatch
