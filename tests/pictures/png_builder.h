// The bytes of a PNG file written by libspng's encoder from packed rows, with the header,
// palette and tRNS chunk under the test's control; any test program linking libspng may
// include it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include <spng.h>

namespace picbatch {

struct PngLayout {
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    std::uint8_t bitDepth = 8;
    std::uint8_t colorType = SPNG_COLOR_TYPE_TRUECOLOR;
    bool interlaced = false;
    // PLTE entries as red, green, blue (colour type 3).
    std::vector<std::uint8_t> palette;
    // tRNS: alpha of palette entries (colour type 3), or the transparent grey or red, green,
    // blue sample values (types 0 and 2).
    std::vector<std::uint8_t> paletteAlpha;
    std::vector<std::uint16_t> transparentColor;
};

// The bytes of a PNG of layout whose rows, top first, are packed as the file holds them
// (samples big-endian, sub-byte samples from the most significant bit).
inline std::vector<std::uint8_t> BuildPng(const PngLayout& layout, const std::vector<std::uint8_t>& packedRows)
{
    spng_ctx* context = spng_ctx_new(SPNG_CTX_ENCODER);
    if (!context)
        throw std::runtime_error("spng_ctx_new failed");
    int code = spng_set_option(context, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr header{layout.width, layout.height, layout.bitDepth, layout.colorType, 0, 0,
                     static_cast<std::uint8_t>(layout.interlaced ? 1 : 0)};
    if (code == 0)
        code = spng_set_ihdr(context, &header);
    if (code == 0 && !layout.palette.empty()) {
        spng_plte palette{};
        palette.n_entries = static_cast<std::uint32_t>(layout.palette.size() / 3);
        for (std::uint32_t i = 0; i < palette.n_entries; ++i)
            palette.entries[i] = {layout.palette[3 * i], layout.palette[3 * i + 1], layout.palette[3 * i + 2], 0};
        code = spng_set_plte(context, &palette);
    }
    if (code == 0 && (!layout.paletteAlpha.empty() || !layout.transparentColor.empty())) {
        spng_trns transparency{};
        transparency.n_type3_entries = static_cast<std::uint32_t>(layout.paletteAlpha.size());
        for (std::size_t i = 0; i < layout.paletteAlpha.size(); ++i)
            transparency.type3_alpha[i] = layout.paletteAlpha[i];
        if (layout.transparentColor.size() == 1)
            transparency.gray = layout.transparentColor[0];
        if (layout.transparentColor.size() == 3) {
            transparency.red = layout.transparentColor[0];
            transparency.green = layout.transparentColor[1];
            transparency.blue = layout.transparentColor[2];
        }
        code = spng_set_trns(context, &transparency);
    }
    if (code == 0)
        code = spng_encode_image(context, packedRows.data(), packedRows.size(), SPNG_FMT_RAW, SPNG_ENCODE_FINALIZE);
    std::vector<std::uint8_t> bytes;
    if (code == 0) {
        std::size_t length = 0;
        void* buffer = spng_get_png_buffer(context, &length, &code);
        if (buffer) {
            const auto* first = static_cast<const std::uint8_t*>(buffer);
            bytes.assign(first, first + length);
            std::free(buffer);
        }
    }
    spng_ctx_free(context);
    if (code != 0)
        throw std::runtime_error(std::string("libspng: ") + spng_strerror(code));
    return bytes;
}

// png (any PNG file) with its header declaring width x height instead, its CRC made right.
inline std::vector<std::uint8_t> WithDeclaredSize(std::vector<std::uint8_t> png, std::uint32_t width,
                                                  std::uint32_t height)
{
    // IHDR's width and height follow the 8-byte signature, the chunk's length and its type.
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
        png[20 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
    }
    // The chunk's CRC covers its type and data.
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 12; i < 29; ++i) {
        crc ^= png[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFF;
    for (int i = 0; i < 4; ++i)
        png[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    return png;
}

// A PNG of one pixel whose header declares width x height instead: the file holds far fewer
// pixels than it declares.
inline std::vector<std::uint8_t> PngHeaderDeclaring(std::uint32_t width, std::uint32_t height)
{
    return WithDeclaredSize(BuildPng({}, {0, 0, 0}), width, height);
}

}  // namespace picbatch
