// Raster: store management, row access and the conversions into blue, green, red.
#include "imaging/raster.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

#include "imaging/error.h"
#include "imaging/limits.h"

namespace picbatch {

struct Raster::Store {
    PixelMemory memory;
    std::uint8_t* bytes = nullptr;  // memory.Data()
    std::size_t size = 0;
};

PixelMemory::PixelMemory(PixelMemory&& other) noexcept
    : m_bytes(std::exchange(other.m_bytes, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_mapped(std::exchange(other.m_mapped, false))
{
}

PixelMemory& PixelMemory::operator=(PixelMemory&& other) noexcept
{
    if (this != &other) {
        Release();
        m_bytes = std::exchange(other.m_bytes, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mapped = std::exchange(other.m_mapped, false);
    }
    return *this;
}

// Under AddressSanitizer every block comes from the heap, whose blocks it guards with
// poisoned margins; it cannot see past the end of a private mapping.
#if defined(__SANITIZE_ADDRESS__)
const bool PixelMemory::kMapsLargeBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
const bool PixelMemory::kMapsLargeBlocks = false;
#else
const bool PixelMemory::kMapsLargeBlocks = true;
#endif
#else
const bool PixelMemory::kMapsLargeBlocks = true;
#endif

std::optional<PixelMemory> PixelMemory::Allocate(std::size_t size) noexcept
{
    PixelMemory block;
    if (size < kHugePageBytes || !kMapsLargeBlocks) {
        // 64-byte aligned, as SIMD code over the block may want; the heap reuses freed
        // blocks, so this one is cleared. At least one line, so success gives a pointer.
        if (size > SIZE_MAX - kAlignment)
            return std::nullopt;
        const std::size_t rounded = std::max<std::size_t>((size + kAlignment - 1) / kAlignment, 1) * kAlignment;
        block.m_bytes = static_cast<std::uint8_t*>(std::aligned_alloc(kAlignment, rounded));
        if (!block.m_bytes)
            return std::nullopt;
        std::memset(block.m_bytes, 0, rounded);
        block.m_size = size;
        return block;
    }
    // Fresh anonymous pages read as zero. Map one huge page more than needed and trim both
    // ends, so that the block starts on a huge-page boundary; a tail shorter than a huge
    // page stays in small pages and costs no memory beyond the block.
    if (size > SIZE_MAX - kHugePageBytes)
        return std::nullopt;
    const std::size_t mappedSize = size + kHugePageBytes;
    void* mapping = ::mmap(nullptr, mappedSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        return std::nullopt;
    const auto start = reinterpret_cast<std::uintptr_t>(mapping);
    const std::uintptr_t aligned = (start + kHugePageBytes - 1) & ~std::uintptr_t{kHugePageBytes - 1};
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t end = (aligned + size + page - 1) / page * page;  // munmap takes whole pages
    if (aligned > start)
        ::munmap(mapping, aligned - start);
    if (start + mappedSize > end)
        ::munmap(static_cast<std::uint8_t*>(mapping) + (end - start), start + mappedSize - end);
    block.m_bytes = static_cast<std::uint8_t*>(mapping) + (aligned - start);
    block.m_size = size;
    block.m_mapped = true;
    // Only advice: without transparent huge pages the block simply stays in small pages.
    ::madvise(block.m_bytes, size, MADV_HUGEPAGE);
    return block;
}

void PixelMemory::Release() noexcept
{
    if (m_mapped)
        ::munmap(m_bytes, m_size);
    else
        std::free(m_bytes);
    m_bytes = nullptr;
    m_size = 0;
    m_mapped = false;
}

namespace {

// One channel selected by a mask, widened to 8 bits: round(v * 255 / max), where max is the
// mask shifted down to bit 0 (2^n - 1 for an n-bit channel). max is odd for contiguous
// masks, so no value lies half-way; a zero mask gives 0.
struct MaskedChannel {
    explicit MaskedChannel(std::uint32_t channelMask)
        : mask(channelMask), shift(channelMask ? std::countr_zero(channelMask) : 0),
          max(channelMask ? channelMask >> shift : 0) {}

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

// A pixel of straight alpha laid over white: c a / 255 + 255 (255 - a) / 255, rounded.
void OverWhite(const std::uint8_t* bgra, std::uint8_t* bgr)
{
    const unsigned alpha = bgra[3];
    for (int c = 0; c < 3; ++c)
        bgr[c] = static_cast<std::uint8_t>((bgra[c] * alpha + 255 * (255 - alpha) + 127) / 255);
}

// Converts the first `width` pixels of a stored row into blue, green, red triples.
void ConvertRow(PixelForm form, const std::uint8_t* in, int width, const std::vector<ColorEntry>& table,
                ChannelMasks masks, std::uint8_t* out)
{
    switch (form) {
    case PixelForm::NoPixels:
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
    case PixelForm::Bgra32:
        for (int x = 0; x < width; ++x)
            OverWhite(in + 4 * x, out + 3 * x);
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

// The new store's bytes are all zero.
std::shared_ptr<Raster::Store> Raster::MakeStore(std::size_t size)
{
    std::optional<PixelMemory> memory = PixelMemory::Allocate(size);
    if (!memory)
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    auto store = std::make_shared<Raster::Store>();
    store->memory = std::move(*memory);
    store->bytes = store->memory.Data();
    store->size = size;
    return store;
}

void ConvertRowToBgr(PixelForm form, const std::uint8_t* in, int width, const std::vector<ColorEntry>& table,
                     ChannelMasks masks, std::uint8_t* out)
{
    ConvertRow(form, in, width, table, masks, out);
}

int BitsPerPixel(PixelForm form)
{
    switch (form) {
    case PixelForm::NoPixels: return 0;
    case PixelForm::Paletted1: return 1;
    case PixelForm::Paletted4: return 4;
    case PixelForm::Paletted8: return 8;
    case PixelForm::Plain16:
    case PixelForm::Masked16: return 16;
    case PixelForm::Bgr24: return 24;
    case PixelForm::Plain32:
    case PixelForm::Masked32:
    case PixelForm::Bgra32: return 32;
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
        std::uint8_t* out = store->bytes + row * newRowSize;
        ConvertRow(m_form, m_store->bytes + row * oldRowSize, m_width, m_colorTable, m_masks, out);
        std::memset(out + std::int64_t{m_width} * 3, 0, static_cast<std::size_t>(newRowSize - m_width * std::int64_t{3}));
    }
    m_store = std::move(store);
    m_form = PixelForm::Bgr24;
    m_colorTable.clear();
}

namespace {

constexpr const char* kNegativeWidth = "Picture width cannot be negative";
constexpr const char* kNegativeHeight = "Picture height cannot be negative";

}  // namespace

void Raster::SetWidth(int width)
{
    if (width < 0)
        throw Error(kNegativeWidth);
    if (width != m_width)
        Resize(width, m_height, true);
}

void Raster::SetHeight(int height)
{
    if (height < 0)
        throw Error(kNegativeHeight);
    if (height != m_height)
        Resize(m_width, height, true);
}

void Raster::SetSizeForWriting(int width, int height)
{
    if (width < 0)
        throw Error(kNegativeWidth);
    if (height < 0)
        throw Error(kNegativeHeight);
    Resize(width, height, false);
}

// Makes the new store first, so a failure leaves everything as it was. keepPixels: white
// in Bgr24 with the overlapping part of the old store copied; otherwise the store stays
// as made, all zero.
void Raster::Resize(std::int64_t width, std::int64_t height, bool keepPixels)
{
    std::shared_ptr<Store> store;
    if (width > 0 && height > 0) {
        // Checked before allocating: Linux overcommits, so an oversized allocation may only
        // fail when the fill below touches its pages.
        if (width * height > kMaxPicturePixels)
            throw Error(kOutOfSystemResources, FailureCause::TooLarge);
        const int bits = BitsPerPixel(m_form);
        const std::int64_t rowSize = RowSizeFor(width, bits);
        store = MakeStore(static_cast<std::size_t>(rowSize * height));
        std::uint8_t* bytes = store->bytes;
        if (keepPixels && m_form == PixelForm::Bgr24) {  // white pixels; the padding stays zero
            for (std::int64_t row = 0; row < height; ++row)
                std::memset(bytes + row * rowSize, 0xFF, static_cast<std::size_t>(width * 3));
        }
        if (keepPixels && m_store) {
            const std::int64_t oldRowSize = RowSize();
            const std::int64_t rows = std::min<std::int64_t>(height, m_height);
            const std::int64_t bitsPerRow = std::min<std::int64_t>(width, m_width) * bits;
            for (std::int64_t y = 0; y < rows; ++y)
                CopyRowBits(m_store->bytes + (m_height - 1 - y) * oldRowSize,
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
        std::memcpy(copy->bytes, m_store->bytes, m_store->size);
        m_store = std::move(copy);
    }
}

std::uint8_t* Raster::RowPointer(int y) const
{
    if (y < 0 || y >= m_height)
        throw Error(kScanLineOutOfRange);
    if (!m_store)
        return nullptr;
    return m_store->bytes + (std::int64_t{m_height} - 1 - y) * RowSize();
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
    return m_store ? std::span<std::uint8_t>(m_store->bytes, m_store->size) : std::span<std::uint8_t>();
}

std::span<const std::uint8_t> Raster::Bits() const
{
    return m_store ? std::span<const std::uint8_t>(m_store->bytes, m_store->size)
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

}  // namespace picbatch
