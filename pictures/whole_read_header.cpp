// Estimates for the pictures that are read whole, from the size their header declares.
#include "pictures/whole_read_header.h"

#include <algorithm>

#include "pictures/files/file_io.h"

namespace picbatch {

namespace {

// Enough for the headers the size readers look at (PNG's IHDR, WebP's VP8X or first frame).
constexpr std::int64_t kHeaderBytes = 4096;
// A pixel with alpha.
constexpr std::int64_t kBgraBytes = 4;

}  // namespace

PictureHeader ReadWholeReadHeader(const std::string& path,
                                  PictureSize (*readSize)(std::span<const std::uint8_t> bytes),
                                  std::int64_t decoderBytesPerPixel)
{
    const OpenedFile file = OpenFileForReading(path);
    const PictureSize size = readSize(ReadFileStart(file.descriptor.Get(), std::min(file.size, kHeaderBytes)));
    // The size was checked against the limits: these products stay far below 2^63.
    const std::int64_t pixels = std::int64_t{size.width} * size.height;
    PictureHeader header;
    header.width = size.width;
    header.height = size.height;
    header.wholeReadBytes = file.size + pixels * (kBgraBytes + decoderBytesPerPixel);
    header.wholePictureBytes = pixels * kBgraBytes;
    return header;
}

}  // namespace picbatch
