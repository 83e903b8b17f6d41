// Reads and checks the headers, channel masks and colour table of a BMP file in memory.
#include "pictures/bmp/bmp_layout.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "imaging/error.h"
#include "imaging/limits.h"

namespace picbatch {

namespace {

constexpr std::int64_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
// The info header extended by the three channel masks (52), by an alpha mask too (56), and
// the two later versions of the format (108, 124); all carry the masks at offsets 40-51.
constexpr std::uint32_t kMasksHeaderSize = 52;
constexpr std::uint32_t kAlphaMaskHeaderSize = 56;
constexpr std::uint32_t kVersion4HeaderSize = 108;
// The longest header read; longer headers of later format versions are not known.
constexpr std::uint32_t kLongestHeaderSize = 124;
// The OS/2 2.x header may be cut anywhere between 16 and 64 bytes; its first 40 bytes are
// laid out as the info header, and fields it leaves out are 0.
constexpr std::uint32_t kShortestOs2HeaderSize = 16;
constexpr std::uint32_t kLongestOs2HeaderSize = 64;
// A table holds at most one entry per value of an 8-bit index.
constexpr std::uint32_t kMaxColorEntries = 256;

constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr std::uint32_t kCompressionMasks = 3;

// Hands out consecutive pieces of the file, of which m_bytes holds the start; asking for more
// than the file has left is a read error, so no field is ever taken from bytes the file does
// not have.
class ByteCursor {
public:
    ByteCursor(std::span<const std::uint8_t> head, std::int64_t fileSize) : m_bytes(head), m_fileSize(fileSize) {}

    std::span<const std::uint8_t> Take(std::int64_t count)
    {
        Require(count);
        // The layout takes no more than kBmpLayoutBytes, which the caller gave.
        if (count > static_cast<std::int64_t>(m_bytes.size()) - m_position)
            throw std::logic_error("BMP layout read beyond the bytes given");
        auto piece = m_bytes.subspan(static_cast<std::size_t>(m_position),
                                     static_cast<std::size_t>(count));
        m_position += count;
        return piece;
    }

    void Skip(std::int64_t count)
    {
        Require(count);
        m_position += count;
    }

    std::int64_t Position() const { return m_position; }

private:
    void Require(std::int64_t count) const
    {
        if (count < 0 || count > m_fileSize - m_position)
            throw Error(kStreamReadError, FailureCause::CutBeforePicture);
    }

    std::span<const std::uint8_t> m_bytes;
    std::int64_t m_fileSize;
    std::int64_t m_position = 0;
};

std::uint16_t U16(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::uint32_t U32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return std::uint32_t{bytes[offset]} | std::uint32_t{bytes[offset + 1]} << 8
        | std::uint32_t{bytes[offset + 2]} << 16 | std::uint32_t{bytes[offset + 3]} << 24;
}

bool IsOs2HeaderSize(std::uint32_t size)
{
    // 40, 52 and 56 fall in the OS/2 range but are the info header and its two
    // extensions with channel masks.
    return size >= kShortestOs2HeaderSize && size <= kLongestOs2HeaderSize && size != kInfoHeaderSize
        && size != kMasksHeaderSize && size != kAlphaMaskHeaderSize;
}

bool IsKnownHeaderSize(std::uint32_t size)
{
    return size == kCoreHeaderSize || size == kInfoHeaderSize || size == kMasksHeaderSize
        || size == kAlphaMaskHeaderSize || size == kVersion4HeaderSize || size == kLongestHeaderSize
        || IsOs2HeaderSize(size);
}

// The header fields that matter, widened so that no later arithmetic can overflow.
struct HeaderFields {
    std::int64_t width = 0;
    std::int64_t height = 0;  // as stored: negative for top-down rows
    std::uint32_t planes = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t compression = kCompressionNone;
    std::uint32_t sizeImage = 0;
    std::uint32_t colorsUsed = 0;
    bool masksInHeader = false;  // the 52, 56, 108 and 124-byte headers carry the masks
    ChannelMasks masks;
};

using HeaderBytes = std::array<std::uint8_t, kLongestHeaderSize>;

// header holds the header at its own offsets (the size field included), zero past its end,
// so short OS/2 headers read 0 for every field they leave out.
HeaderFields ReadHeaderFields(std::uint32_t headerSize, const HeaderBytes& header)
{
    HeaderFields fields;
    if (headerSize == kCoreHeaderSize) {
        fields.width = U16(header, 4);
        fields.height = U16(header, 6);
        fields.planes = U16(header, 8);
        fields.bitCount = U16(header, 10);
        return fields;
    }
    fields.width = static_cast<std::int32_t>(U32(header, 4));
    fields.height = static_cast<std::int32_t>(U32(header, 8));
    fields.planes = U16(header, 12);
    fields.bitCount = U16(header, 14);
    fields.compression = U32(header, 16);
    fields.sizeImage = U32(header, 20);
    fields.colorsUsed = U32(header, 32);
    if (headerSize >= kMasksHeaderSize && !IsOs2HeaderSize(headerSize)) {
        fields.masksInHeader = true;
        fields.masks = {U32(header, 40), U32(header, 44), U32(header, 48)};
    }
    return fields;
}

bool IsKnownBitCount(std::uint32_t bitCount)
{
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24
        || bitCount == 32;
}

// True when the bit count and compression go together (and the OS/2 header, whose
// compression 3 means Huffman coding, asks for nothing it cannot have).
bool IsKnownEncoding(const HeaderFields& fields, bool os2)
{
    switch (fields.compression) {
    case kCompressionNone: return true;
    case kCompressionRle8: return fields.bitCount == 8;
    case kCompressionRle4: return fields.bitCount == 4;
    case kCompressionMasks: return !os2 && (fields.bitCount == 16 || fields.bitCount == 32);
    default: return false;
    }
}

PixelForm FormOf(std::uint32_t bitCount, std::uint32_t compression)
{
    const bool masked = compression == kCompressionMasks;
    switch (bitCount) {
    case 1: return PixelForm::Paletted1;
    case 4: return PixelForm::Paletted4;
    case 8: return PixelForm::Paletted8;
    case 16: return masked ? PixelForm::Masked16 : PixelForm::Plain16;
    case 24: return PixelForm::Bgr24;
    default: return masked ? PixelForm::Masked32 : PixelForm::Plain32;
    }
}

ChannelMasks ReadMasks(std::span<const std::uint8_t> bytes)
{
    return {U32(bytes, 0), U32(bytes, 4), U32(bytes, 8)};
}

std::int64_t DefaultColorCount(std::uint32_t bitCount)
{
    return bitCount <= 8 ? std::int64_t{1} << bitCount : 0;
}

}  // namespace

BmpLayout ReadBmpLayout(std::span<const std::uint8_t> bytes)
{
    return ReadBmpLayout(bytes, static_cast<std::int64_t>(bytes.size()));
}

BmpLayout ReadBmpLayout(std::span<const std::uint8_t> head, std::int64_t fileSize)
{
    ByteCursor in(head, fileSize);
    const auto fileHeader = in.Take(kFileHeaderSize);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        throw Error(kBitmapNotValid);
    const std::uint32_t offBits = U32(fileHeader, 10);

    const std::uint32_t headerSize = U32(in.Take(4), 0);
    if (!IsKnownHeaderSize(headerSize))
        throw Error(kBitmapNotValid);
    const bool core = headerSize == kCoreHeaderSize;
    const bool os2 = IsOs2HeaderSize(headerSize);
    HeaderBytes header{};
    const auto headerRest = in.Take(headerSize - 4);
    std::copy(headerRest.begin(), headerRest.end(), header.begin() + 4);
    const HeaderFields fields = ReadHeaderFields(headerSize, header);

    if (fields.planes != 1 || !IsKnownBitCount(fields.bitCount) || !IsKnownEncoding(fields, os2))
        throw Error(kBitmapNotValid);
    // The height is 64-bit here, so even -2^31 negates without overflow and then fails the
    // size limit.
    const bool topDown = fields.height < 0;
    const std::int64_t height = topDown ? -fields.height : fields.height;
    const bool rle = fields.compression == kCompressionRle8 || fields.compression == kCompressionRle4;
    if (fields.width <= 0 || height == 0 || (rle && topDown)
        || !PictureSizeAllowed(fields.width, height))
        throw Error(kBitmapNotValid);

    BmpLayout layout;
    layout.width = static_cast<std::int32_t>(fields.width);
    layout.height = static_cast<std::int32_t>(height);
    layout.topDown = topDown;
    layout.bitCount = static_cast<int>(fields.bitCount);
    layout.compression = fields.compression;
    layout.form = FormOf(fields.bitCount, fields.compression);

    if (fields.compression == kCompressionMasks) {
        layout.masks = fields.masksInHeader ? fields.masks : ReadMasks(in.Take(12));
        if (fields.bitCount == 16) {
            // Bits beyond the pixel's 16 would select nothing.
            layout.masks.red &= 0xFFFF;
            layout.masks.green &= 0xFFFF;
            layout.masks.blue &= 0xFFFF;
        }
    }

    const std::int64_t colorCount =
        fields.colorsUsed != 0 ? fields.colorsUsed : DefaultColorCount(fields.bitCount);
    const std::int64_t entrySize = core ? 3 : 4;
    const std::int64_t kept = std::min<std::int64_t>(colorCount, kMaxColorEntries);
    const auto table = in.Take(kept * entrySize);
    layout.colorTable.resize(static_cast<std::size_t>(kept));
    for (std::int64_t i = 0; i < kept; ++i) {
        const auto entry = table.subspan(static_cast<std::size_t>(i * entrySize));
        layout.colorTable[static_cast<std::size_t>(i)] =
            {entry[0], entry[1], entry[2], core ? std::uint8_t{0} : entry[3]};
    }
    // Entries beyond what a Raster holds must still be present in the file.
    in.Skip((colorCount - kept) * entrySize);

    // Pixels normally follow the table; a pixel array that starts after a gap is taken
    // from where the file header says, as long as that lies inside the file.
    layout.pixelOffset = in.Position();
    if (offBits > layout.pixelOffset && offBits < fileSize)
        layout.pixelOffset = offBits;

    const std::int64_t arraySize = RowSizeFor(fields.width, layout.bitCount) * height;
    const std::int64_t declared = fields.sizeImage != 0 ? fields.sizeImage : arraySize;
    layout.pixelBytes = std::min(fileSize - layout.pixelOffset, declared);
    if (!rle)
        layout.pixelBytes = std::min(layout.pixelBytes, arraySize);
    return layout;
}

std::int64_t PixelBytesNeeded(const BmpLayout& layout)
{
    const std::int64_t lastRow = (std::int64_t{layout.width} * layout.bitCount + 7) / 8;
    return (std::int64_t{layout.height} - 1) * RowSizeFor(layout.width, layout.bitCount) + lastRow;
}

}  // namespace picbatch
