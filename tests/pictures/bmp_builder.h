// Builds the bytes of BMP files for tests, with every header field under the test's control,
// so that tests need no binary fixtures. Header-only; any test program may include it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/raster.h"

namespace picbatch {

// The pixel array of a file from rows given top first, each row its pixel bytes without
// padding: pads every row to a multiple of 4 bytes and stores the rows bottom-up, or in the
// given order when topDown.
inline std::vector<std::uint8_t> BmpPixelArray(const std::vector<std::vector<std::uint8_t>>& rows,
                                               bool topDown = false)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[topDown ? i : rows.size() - 1 - i];
        out.insert(out.end(), row.begin(), row.end());
        out.resize(out.size() + (4 - row.size() % 4) % 4, 0);
    }
    return out;
}

// A BMP file, field by field. The defaults make a valid 1 x 1 24-bit file once pixels holds
// its 4-byte array.
struct BmpBuilder {
    std::uint8_t signature[2] = {'B', 'M'};
    std::optional<std::uint32_t> fileSize;  // bfSize; default: the real size
    std::optional<std::uint32_t> offBits;   // bfOffBits; default: where the pixels start
    // 12 writes the core header; other sizes write the first headerSize bytes of the 40-byte
    // layout, and beyond 40, the masks at header offsets 40 to 51 and zeros.
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;   // 16 bits in a core header
    std::int32_t height = 1;  // 16 bits in a core header
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::uint32_t colorsUsed = 0;
    // Inside a header of 52 bytes or more, else as 12 bytes after a 40-byte header.
    std::optional<ChannelMasks> masks;
    std::vector<ColorEntry> colorTable;  // 3 bytes an entry after a core header, else 4
    std::vector<std::uint8_t> gap;       // bytes between the colour table and the pixels
    std::vector<std::uint8_t> pixels;    // the pixel array as the file holds it

    std::vector<std::uint8_t> Bytes() const
    {
        std::vector<std::uint8_t> header;
        if (headerSize == 12) {
            Put16(header, 12);
            Put16(header, 0);
            Put16(header, static_cast<std::uint16_t>(width));
            Put16(header, static_cast<std::uint16_t>(height));
            Put16(header, planes);
            Put16(header, bitCount);
        } else {
            Put32(header, headerSize);
            Put32(header, static_cast<std::uint32_t>(width));
            Put32(header, static_cast<std::uint32_t>(height));
            Put16(header, planes);
            Put16(header, bitCount);
            Put32(header, compression);
            Put32(header, sizeImage);
            Put32(header, 2835);  // 72 dots an inch, which the reader ignores
            Put32(header, 2835);
            Put32(header, colorsUsed);
            Put32(header, 0);
            if (masks && headerSize >= 52) {
                Put32(header, masks->red);
                Put32(header, masks->green);
                Put32(header, masks->blue);
            }
            // The size field is always written whole; a size beyond 256 is not padded out,
            // so that files declaring absurd headers stay small.
            header.resize(std::clamp<std::uint32_t>(headerSize, 4, 256), 0);
            if (masks && headerSize == 40) {
                Put32(header, masks->red);
                Put32(header, masks->green);
                Put32(header, masks->blue);
            }
        }
        for (const ColorEntry& entry : colorTable) {
            header.push_back(entry.blue);
            header.push_back(entry.green);
            header.push_back(entry.red);
            if (headerSize != 12)
                header.push_back(entry.reserved);
        }
        header.insert(header.end(), gap.begin(), gap.end());

        const auto pixelStart = static_cast<std::uint32_t>(14 + header.size());
        const auto total = static_cast<std::uint32_t>(pixelStart + pixels.size());
        std::vector<std::uint8_t> out;
        out.push_back(signature[0]);
        out.push_back(signature[1]);
        Put32(out, fileSize.value_or(total));
        Put32(out, 0);
        Put32(out, offBits.value_or(pixelStart));
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }

    static void Put16(std::vector<std::uint8_t>& out, std::uint16_t value)
    {
        out.push_back(static_cast<std::uint8_t>(value));
        out.push_back(static_cast<std::uint8_t>(value >> 8));
    }

    static void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
    {
        Put16(out, static_cast<std::uint16_t>(value));
        Put16(out, static_cast<std::uint16_t>(value >> 16));
    }
};

}  // namespace picbatch
