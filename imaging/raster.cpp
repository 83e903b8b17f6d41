// Raster: store management, row access and the conversions into blue, green, red.
#include "imaging/raster.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "imaging/error.h"
#include "imaging/limits.h"

struct Raster::Store {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
};

namespace {

// One channel selected by a mask, widened to 8 bits: round(v * 255 / max), where max is the
// mask shifted down to bit 0 (2^n - 1 for an n-bit channel). max is odd for contiguous
// masks, so no value lies half-way; a zero mask gives 0.
struct MaskedChannel {
    explicit MaskedChannel(std::uint32_t mask)
        : mask(mask), shift(mask ? std::countr_zero(mask) : 0), max(mask ? mask >> shift : 0) {}

    std::uint8_t operator()(std::uint32_t word) const
    {
        if (max == 0)
            return 0;
        const std::uint64_t v = (word & mask) >> shift;
        return static_cast<std::uint8_t>((v * 510 + max) / (2 * std::uint64_t{max}));
    }

    std::uint32_t mask;
    int shift;
    std::uint32_t max;
};

// The 5-bit channels of the plain 16-bit form, widened to 8 bits as masked channels are.
constexpr std::uint8_t Widen5(unsigned v) { return static_cast<std::uint8_t>((v * 510 + 31) / 62); }

void PutColor(std::uint8_t* out, const std::vector<ColorEntry>& table, unsigned index)
{
    if (index < table.size()) {
        out[0] = table[index].blue;
        out[1] = table[index].green;
        out[2] = table[index].red;
    } else {  // an index past the table's end: black
        out[0] = out[1] = out[2] = 0;
    }
}

// Converts the first `width` pixels of a stored row into blue, green, red triples.
void ConvertRow(PixelForm form, const std::uint8_t* in, int width, const std::vector<ColorEntry>& table,
                ChannelMasks masks, std::uint8_t* out)
{
    switch (form) {
    case PixelForm::None:
        break;
    case PixelForm::Paletted1:
        for (int x = 0; x < width; ++x)
            PutColor(out + 3 * x, table, (in[x / 8] >> (7 - x % 8)) & 1);
        break;
    case PixelForm::Paletted4:
        for (int x = 0; x < width; ++x)
            PutColor(out + 3 * x, table, x % 2 ? in[x / 2] & 0x0F : in[x / 2] >> 4);
        break;
    case PixelForm::Paletted8:
        for (int x = 0; x < width; ++x)
            PutColor(out + 3 * x, table, in[x]);
        break;
    case PixelForm::Plain16:
        for (int x = 0; x < width; ++x) {
            const unsigned word = in[2 * x] | unsigned{in[2 * x + 1]} << 8;
            out[3 * x] = Widen5(word & 0x1F);
            out[3 * x + 1] = Widen5((word >> 5) & 0x1F);
            out[3 * x + 2] = Widen5((word >> 10) & 0x1F);
        }
        break;
    case PixelForm::Masked16:
    case PixelForm::Masked32: {
        const MaskedChannel red(masks.red), green(masks.green), blue(masks.blue);
        const bool wide = form == PixelForm::Masked32;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = in + (wide ? 4 : 2) * x;
            std::uint32_t word = p[0] | std::uint32_t{p[1]} << 8;
            if (wide)
                word |= std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
            out[3 * x] = blue(word);
            out[3 * x + 1] = green(word);
            out[3 * x + 2] = red(word);
        }
        break;
    }
    case PixelForm::Bgr24:
        std::memcpy(out, in, std::size_t(width) * 3);
        break;
    case PixelForm::Plain32:
        for (int x = 0; x < width; ++x)
            std::memcpy(out + 3 * x, in + 4 * x, 3);
        break;
    }
}

// Copies the first `bits` bits of a row; a partial last byte keeps the target's other bits.
void CopyRowBits(const std::uint8_t* in, std::uint8_t* out, std::int64_t bits)
{
    const std::size_t whole = static_cast<std::size_t>(bits / 8);
    std::memcpy(out, in, whole);
    if (const int rest = static_cast<int>(bits % 8)) {
        const std::uint8_t keep = static_cast<std::uint8_t>(0xFF >> rest);  // pixels run from the MSB
        out[whole] = static_cast<std::uint8_t>((out[whole] & keep) | (in[whole] & ~keep));
    }
}

}  // namespace

std::shared_ptr<Raster::Store> Raster::MakeStore(std::size_t size)
{
    auto store = std::make_shared<Raster::Store>();
    store->bytes.reset(new (std::nothrow) std::uint8_t[size]);
    if (!store->bytes)
        throw Error(kOutOfSystemResources);
    store->size = size;
    return store;
}

int BitsPerPixel(PixelForm form)
{
    switch (form) {
    case PixelForm::None: return 0;
    case PixelForm::Paletted1: return 1;
    case PixelForm::Paletted4: return 4;
    case PixelForm::Paletted8: return 8;
    case PixelForm::Plain16:
    case PixelForm::Masked16: return 16;
    case PixelForm::Bgr24: return 24;
    case PixelForm::Plain32:
    case PixelForm::Masked32: return 32;
    }
    return 0;
}

std::int64_t RowSizeFor(std::int64_t width, int bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}

void Raster::SetPixelForm(PixelForm form)
{
    if (form == m_form)
        return;
    if (!m_store) {
        m_form = form;
        return;
    }
    if (form != PixelForm::Bgr24)
        throw Error("Pixel form conversion not supported");

    const std::int64_t newRowSize = RowSizeFor(m_width, 24);
    auto store = MakeStore(static_cast<std::size_t>(newRowSize * m_height));
    const std::int64_t oldRowSize = RowSize();
    for (int row = 0; row < m_height; ++row) {  // store order; the conversion keeps it
        std::uint8_t* out = store->bytes.get() + row * newRowSize;
        ConvertRow(m_form, m_store->bytes.get() + row * oldRowSize, m_width, m_colorTable, m_masks, out);
        std::memset(out + std::int64_t{m_width} * 3, 0, static_cast<std::size_t>(newRowSize - m_width * std::int64_t{3}));
    }
    m_store = std::move(store);
    m_form = PixelForm::Bgr24;
    m_colorTable.clear();
}

void Raster::SetWidth(int width)
{
    if (width < 0)
        throw Error("Picture width cannot be negative");
    if (width != m_width)
        Resize(width, m_height);
}

void Raster::SetHeight(int height)
{
    if (height < 0)
        throw Error("Picture height cannot be negative");
    if (height != m_height)
        Resize(m_width, height);
}

// Makes the new store first, so a failure leaves everything as it was.
void Raster::Resize(std::int64_t width, std::int64_t height)
{
    std::shared_ptr<Store> store;
    if (width > 0 && height > 0) {
        // Checked before allocating: Linux overcommits, so an oversized allocation may only
        // fail when the fill below touches its pages.
        if (width * height > kMaxPicturePixels)
            throw Error(kOutOfSystemResources);
        const int bits = BitsPerPixel(m_form);
        const std::int64_t rowSize = RowSizeFor(width, bits);
        store = MakeStore(static_cast<std::size_t>(rowSize * height));
        std::uint8_t* bytes = store->bytes.get();
        if (m_form == PixelForm::Bgr24) {  // white pixels, zero padding
            for (std::int64_t row = 0; row < height; ++row) {
                std::memset(bytes + row * rowSize, 0xFF, static_cast<std::size_t>(width * 3));
                std::memset(bytes + row * rowSize + width * 3, 0, static_cast<std::size_t>(rowSize - width * 3));
            }
        } else {
            std::memset(bytes, 0, store->size);
        }
        if (m_store) {
            const std::int64_t oldRowSize = RowSize();
            const std::int64_t rows = std::min<std::int64_t>(height, m_height);
            const std::int64_t bitsPerRow = std::min<std::int64_t>(width, m_width) * bits;
            for (std::int64_t y = 0; y < rows; ++y)
                CopyRowBits(m_store->bytes.get() + (m_height - 1 - y) * oldRowSize,
                            bytes + (height - 1 - y) * rowSize, bitsPerRow);
        }
    }
    m_store = std::move(store);
    m_width = static_cast<int>(width);
    m_height = static_cast<int>(height);
}

void Raster::Detach()
{
    if (m_store && m_store.use_count() > 1) {
        auto copy = MakeStore(m_store->size);
        std::memcpy(copy->bytes.get(), m_store->bytes.get(), m_store->size);
        m_store = std::move(copy);
    }
}

std::uint8_t* Raster::RowPointer(int y) const
{
    if (y < 0 || y >= m_height)
        throw Error(kScanLineOutOfRange);
    if (!m_store)
        return nullptr;
    return m_store->bytes.get() + (std::int64_t{m_height} - 1 - y) * RowSize();
}

std::span<std::uint8_t> Raster::Row(int y)
{
    RowPointer(y);  // checks y before anything is copied
    Detach();
    std::uint8_t* row = RowPointer(y);
    return row ? std::span<std::uint8_t>(row, static_cast<std::size_t>(RowSize())) : std::span<std::uint8_t>();
}

std::span<const std::uint8_t> Raster::Row(int y) const
{
    const std::uint8_t* row = RowPointer(y);
    return row ? std::span<const std::uint8_t>(row, static_cast<std::size_t>(RowSize()))
               : std::span<const std::uint8_t>();
}

std::span<std::uint8_t> Raster::Bits()
{
    Detach();
    return m_store ? std::span<std::uint8_t>(m_store->bytes.get(), m_store->size) : std::span<std::uint8_t>();
}

std::span<const std::uint8_t> Raster::Bits() const
{
    return m_store ? std::span<const std::uint8_t>(m_store->bytes.get(), m_store->size)
                   : std::span<const std::uint8_t>();
}

void Raster::SetColorTable(std::span<const ColorEntry> entries)
{
    m_colorTable.assign(entries.begin(), entries.begin() + std::min<std::size_t>(entries.size(), 256));
}

void Raster::PixelBgr(int x, int y, std::uint8_t bgr[3]) const
{
    const std::uint8_t* row = RowPointer(y);
    if (x < 0 || x >= m_width || !row)
        throw Error(kScanLineOutOfRange);
    // Convert the one pixel through the row converter: sub-byte forms need the whole byte.
    const int bits = BitsPerPixel(m_form);
    const std::int64_t firstBit = std::int64_t{x} * bits;
    std::uint8_t shifted[4] = {};
    if (bits >= 8) {
        std::memcpy(shifted, row + firstBit / 8, static_cast<std::size_t>(bits / 8));
    } else {  // move the pixel's bits to the top of one byte
        shifted[0] = static_cast<std::uint8_t>(row[firstBit / 8] << (firstBit % 8));
    }
    ConvertRow(m_form, shifted, 1, m_colorTable, m_masks, bgr);
}

void Raster::DrawPicture(const Raster& source)
{
    if (source.Empty() || Empty())
        return;
    if (m_form == PixelForm::Paletted8 && source.m_form == PixelForm::Paletted8) {
        // An 8-bit decoded picture onto an 8-bit target: the target takes its colours.
        const int rows = std::min(m_height, source.m_height);
        const std::size_t bytes = static_cast<std::size_t>(std::min(m_width, source.m_width));
        for (int y = 0; y < rows; ++y)
            std::memcpy(Row(y).data(), source.Row(y).data(), bytes);
        m_colorTable = source.m_colorTable;
        return;
    }
    if (m_form != PixelForm::Bgr24)
        throw Error("Pixel form conversion not supported");
    if (source.m_form == PixelForm::Bgr24 && source.m_width == m_width && source.m_height == m_height) {
        m_store = source.m_store;  // every pixel is replaced byte for byte: share instead of copying
        return;
    }
    const int rows = std::min(m_height, source.m_height);
    const int pixels = std::min(m_width, source.m_width);
    std::vector<std::uint8_t> converted(static_cast<std::size_t>(source.m_width) * 3);
    for (int y = 0; y < rows; ++y) {
        ConvertRow(source.m_form, source.Row(y).data(), source.m_width, source.m_colorTable, source.m_masks,
                   converted.data());
        std::memcpy(Row(y).data(), converted.data(), static_cast<std::size_t>(pixels) * 3);
    }
}
