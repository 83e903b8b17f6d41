// Writing BMP files: always the 24-bit, uncompressed, bottom-up layout with a 40-byte header.
#include "pictures/bmp.h"

#include <limits>
#include <utility>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/file_io.h"

namespace picbatch {

namespace {

// 14-byte file header + 40-byte info header; the pixels follow at once.
constexpr std::uint32_t kPixelOffset = 54;
constexpr std::uint32_t kInfoHeaderSize = 40;

void PutU16(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const Raster& raster)
{
    if (raster.Empty())
        return {};
    // Any other form is written as its 24-bit conversion; a Bgr24 copy shares the store.
    Raster picture = raster;
    picture.SetPixelForm(PixelForm::Bgr24);
    const auto pixels = std::as_const(picture).Bits();
    // Cannot happen within the picture size limits, but the header fields are 32-bit.
    if (pixels.size() > std::numeric_limits<std::uint32_t>::max() - kPixelOffset)
        throw Error(kStreamWriteError);
    const auto imageSize = static_cast<std::uint32_t>(pixels.size());

    std::vector<std::uint8_t> out;
    out.reserve(kPixelOffset + imageSize);
    out.push_back('B');
    out.push_back('M');
    PutU32(out, kPixelOffset + imageSize);  // bfSize
    PutU16(out, 0);                         // bfReserved1
    PutU16(out, 0);                         // bfReserved2
    PutU32(out, kPixelOffset);              // bfOffBits
    PutU32(out, kInfoHeaderSize);
    PutU32(out, static_cast<std::uint32_t>(picture.Width()));
    PutU32(out, static_cast<std::uint32_t>(picture.Height()));  // positive: bottom-up rows
    PutU16(out, 1);                                              // planes
    PutU16(out, 24);                                             // bits per pixel
    PutU32(out, 0);                                              // no compression
    PutU32(out, imageSize);
    PutU32(out, 0);  // horizontal resolution: unknown
    PutU32(out, 0);  // vertical resolution: unknown
    PutU32(out, 0);  // colours used: no table
    PutU32(out, 0);  // important colours
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

void WriteBmp(const Raster& raster, const std::string& path)
{
    ReplaceFile(path, EncodeBmp(raster));
}

}  // namespace picbatch
