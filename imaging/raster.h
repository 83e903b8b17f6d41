// Raster: the in-memory picture, stored bottom-up in the pixel forms of the BMP format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace picbatch {

enum class PixelForm {
    NoPixels,   // an empty picture
    Paletted1,  // colour-table index, 8 pixels a byte, leftmost in the most significant bit
    Paletted4,  // colour-table index, 2 pixels a byte, leftmost in the high nibble
    Paletted8,  // colour-table index, one byte
    Plain16,    // little-endian word: bits 14-10 red, 9-5 green, 4-0 blue
    Masked16,   // little-endian word, channels selected by the masks
    Bgr24,      // bytes blue, green, red: the working form
    Plain32,    // bytes blue, green, red, unused
    Masked32,   // little-endian word, channels selected by the masks
    Bgra32,     // bytes blue, green, red, alpha (not premultiplied); becomes Bgr24 over white
};

int BitsPerPixel(PixelForm form);

struct ColorEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
    bool operator==(const ColorEntry&) const = default;
};

// Zero-filled, 64-byte aligned memory for picture-sized buffers, released on destruction.
// Blocks of kHugePageBytes or more come straight from the kernel, start on a huge-page
// boundary and carry the advice to back them with huge pages, so that the first writes
// fault once per 2 MiB instead of once per 4 KiB page; smaller blocks come from the heap.
// The Raster's stores live in it, and so do the JPEG decoder's coefficient buffers.
class PixelMemory {
public:
    static constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
    static constexpr std::size_t kAlignment = 64;
    // False in builds with AddressSanitizer, which guards only heap blocks: there every
    // block comes from the heap.
    static const bool kMapsLargeBlocks;

    PixelMemory() = default;
    ~PixelMemory() { Release(); }
    PixelMemory(PixelMemory&& other) noexcept;
    PixelMemory& operator=(PixelMemory&& other) noexcept;
    PixelMemory(const PixelMemory&) = delete;
    PixelMemory& operator=(const PixelMemory&) = delete;

    // A zero-filled block of size bytes, or nothing when the memory cannot be had. Never
    // throws, so that it may be called from inside C callbacks.
    static std::optional<PixelMemory> Allocate(std::size_t size) noexcept;

    std::uint8_t* Data() const { return m_bytes; }
    std::size_t Size() const { return m_size; }

private:
    void Release() noexcept;

    std::uint8_t* m_bytes = nullptr;
    std::size_t m_size = 0;
    bool m_mapped = false;  // from mmap (m_size bytes at m_bytes), else from calloc
};

struct ChannelMasks {
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
    bool operator==(const ChannelMasks&) const = default;
};

// Bytes of one row of `width` pixels at `bitsPerPixel`, padded to a multiple of 4.
std::int64_t RowSizeFor(std::int64_t width, int bitsPerPixel);

// The first width pixels of a row stored in form (with the colour table and masks a Raster of
// that form holds) as blue, green, red triples at out, exactly as SetPixelForm converts them.
void ConvertRowToBgr(PixelForm form, const std::uint8_t* in, int width, const std::vector<ColorEntry>& table,
                     ChannelMasks masks, std::uint8_t* out);

// The picture. Row y counts from the top; the store holds the rows bottom-up, so row y
// starts at (height - 1 - y) * RowSize() and row y + 1 lies RowSize() bytes before row y.
// Copies share the store until either side writes to it (Row, Bits and every setter
// detach first), so copying and Assign cost nothing until a change.
// Every operation that fails throws Error and leaves the Raster as it was.
class Raster {
public:
    Raster() = default;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    PixelForm Form() const { return m_form; }
    bool Empty() const { return !m_store; }

    // Gives the Raster a pixel form. With a store, the pixels are converted; only the
    // conversion into Bgr24 is supported (throws Error otherwise). The same form is free.
    void SetPixelForm(PixelForm form);

    // Change one dimension. When both are positive a new store is made (white in Bgr24,
    // zero otherwise) and the overlapping top-left part of the old store is copied.
    // Negative values, and stores above kMaxPicturePixels, throw Error.
    void SetWidth(int width);
    void SetHeight(int height);

    // Both dimensions at once, for a maker that writes every pixel itself: the new store is
    // not painted white first, so its pixels start at zero, and nothing of the old store is
    // kept. Padding bytes are zero, as in every store. Throws as SetWidth and SetHeight do.
    void SetSizeForWriting(int width, int height);

    std::int64_t RowSize() const { return RowSizeFor(m_width, BitsPerPixel(m_form)); }
    // Signed distance in bytes from the first byte of row y to that of row y + 1.
    std::int64_t RowStep() const { return -RowSize(); }

    // Row y (0 = top), RowSize() bytes; throws "Scan line index out of range".
    std::span<std::uint8_t> Row(int y);
    std::span<const std::uint8_t> Row(int y) const;

    // The whole store, bottom row first (empty span without a store).
    std::span<std::uint8_t> Bits();
    std::span<const std::uint8_t> Bits() const;

    const std::vector<ColorEntry>& ColorTable() const { return m_colorTable; }
    // Replaces the colour table (at most 256 entries are kept); indices are not changed.
    void SetColorTable(std::span<const ColorEntry> entries);

    ChannelMasks Masks() const { return m_masks; }
    void SetMasks(ChannelMasks masks) { m_masks = masks; }

    // Copies source onto this picture with the corners at (0, 0), converting to blue, green,
    // red as SetPixelForm does. Only a Bgr24 target is supported. An empty source is a no-op.
    void DrawPicture(const Raster& source);

    // Makes this an independent copy of source (sharing the store until a change).
    void Assign(const Raster& source) { *this = source; }

    // Blue, green and red of pixel (x, y) by the conversion rules into Bgr24.
    void PixelBgr(int x, int y, std::uint8_t bgr[3]) const;

private:
    struct Store;
    static std::shared_ptr<Store> MakeStore(std::size_t size);
    void Resize(std::int64_t width, std::int64_t height, bool keepPixels);
    void Detach();
    std::uint8_t* RowPointer(int y) const;

    int m_width = 0;
    int m_height = 0;
    PixelForm m_form = PixelForm::NoPixels;
    std::vector<ColorEntry> m_colorTable;
    ChannelMasks m_masks;
    std::shared_ptr<Store> m_store;
};

}  // namespace picbatch
