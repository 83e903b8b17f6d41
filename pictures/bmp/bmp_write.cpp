// Writing BMP files: always the 24-bit, uncompressed, bottom-up layout with a 40-byte header.
#include "pictures/bmp/bmp.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <stdexcept>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/files/output_file.h"

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

BmpRowEncoder::BmpRowEncoder(int width, int height, ByteSink& out)
    : m_out(out), m_width(width), m_height(height), m_row(static_cast<std::size_t>(RowSizeFor(width, 24)), 0)
{
    const std::int64_t imageSize = static_cast<std::int64_t>(m_row.size()) * height;
    // Cannot happen within the picture size limits, but the header fields are 32-bit.
    if (imageSize > std::int64_t{std::numeric_limits<std::uint32_t>::max()} - kPixelOffset)
        throw Error(kStreamWriteError);
    const auto imageBytes = static_cast<std::uint32_t>(imageSize);
    std::vector<std::uint8_t> header;
    header.reserve(kPixelOffset);
    header.push_back('B');
    header.push_back('M');
    PutU32(header, kPixelOffset + imageBytes);  // bfSize
    PutU16(header, 0);                          // bfReserved1
    PutU16(header, 0);                          // bfReserved2
    PutU32(header, kPixelOffset);               // bfOffBits
    PutU32(header, kInfoHeaderSize);
    PutU32(header, static_cast<std::uint32_t>(width));
    PutU32(header, static_cast<std::uint32_t>(height));  // positive: bottom-up rows
    PutU16(header, 1);                                    // planes
    PutU16(header, 24);                                   // bits per pixel
    PutU32(header, 0);                                    // no compression
    PutU32(header, imageBytes);
    PutU32(header, 0);  // horizontal resolution: unknown
    PutU32(header, 0);  // vertical resolution: unknown
    PutU32(header, 0);  // colours used: no table
    PutU32(header, 0);  // important colours
    m_out.WriteAt(0, header);
}

void BmpRowEncoder::AddRow(const std::uint8_t* bgr)
{
    if (m_nextRow >= m_height)
        return;
    // The padding at the end of m_row stays 0.
    std::copy_n(bgr, 3 * static_cast<std::size_t>(m_width), m_row.begin());
    const std::int64_t fromBottom = m_height - 1 - m_nextRow;
    m_out.WriteAt(kPixelOffset + fromBottom * static_cast<std::int64_t>(m_row.size()), m_row);
    ++m_nextRow;
}

void BmpRowEncoder::Finish()
{
    if (m_nextRow < m_height)
        throw std::logic_error("BmpRowEncoder::Finish before every row was added");
}

std::vector<std::uint8_t> EncodeBmp(const Raster& raster)
{
    std::vector<std::uint8_t> out;
    MemorySink sink(out);
    EncodeWholePicture(raster, [&](int width, int height) { return std::make_unique<BmpRowEncoder>(width, height, sink); });
    return out;
}

void WriteBmp(const Raster& raster, const std::string& path)
{
    OutputFile file(path);
    EncodeWholePicture(raster, [&](int width, int height) { return std::make_unique<BmpRowEncoder>(width, height, file); });
    file.Commit();
}

}  // namespace picbatch
