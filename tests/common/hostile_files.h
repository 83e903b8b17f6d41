// Small files that declare huge pictures or endless work, for the tests and the benchmark that
// check a conversion of them stays within bounds. Header-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/jpeg_markers.h"
#include "tests/common/libjpeg_compress.h"
#include "tests/pictures/bmp_builder.h"

namespace picbatch {

struct HostileFile {
    std::string name;  // a file name, with the format's extension
    std::vector<std::uint8_t> bytes;
};

// The largest picture a file may declare.
inline constexpr int kHostileSide = 16384;
// Every tiny bomb stays below this size.
inline constexpr std::size_t kTinyFileBytes = 64 * 1024;

// The header of an RLE8 or RLE4 file of kHostileSide squared, with a full colour table of one
// colour; the codes are the caller's.
inline BmpBuilder RleBombHeader(bool fourBit, ColorEntry color)
{
    BmpBuilder file;
    file.width = kHostileSide;
    file.height = kHostileSide;
    file.bitCount = fourBit ? 4 : 8;
    file.compression = fourBit ? 2 : 1;
    file.colorTable.assign(fourBit ? 16 : 256, color);
    return file;
}

// An RLE file of kHostileSide squared that paints one pixel in as many rows as fit in
// kTinyFileBytes: each such row is a different row for the resampler.
inline HostileFile RleRowsBomb(bool fourBit)
{
    BmpBuilder file = RleBombHeader(fourBit, ColorEntry{200, 100, 50, 0});
    // A run of one pixel of index 1, then the end of its row: 4 bytes a row.
    const std::size_t room = kTinyFileBytes - 2048;
    for (std::size_t used = 0; used + 4 <= room; used += 4)
        file.pixels.insert(file.pixels.end(), {1, fourBit ? std::uint8_t{0x10} : std::uint8_t{1}, 0, 0});
    return {fourBit ? "rle4-rows.bmp" : "rle8-rows.bmp", file.Bytes()};
}

// Files of at most kTinyFileBytes declaring kHostileSide x kHostileSide pictures in every
// variant of the BMP reader, with a few bytes of pixels or RLE codes.
inline std::vector<HostileFile> TinyBmpBombs()
{
    std::vector<HostileFile> bombs;
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        BmpBuilder file;
        file.width = kHostileSide;
        file.height = kHostileSide;
        file.bitCount = static_cast<std::uint16_t>(bits);
        if (bits <= 8)
            file.colorTable.assign(std::size_t{1} << bits, ColorEntry{10, 20, 30, 0});
        file.pixels.assign(6, 0x77);
        bombs.push_back({std::to_string(bits) + "-bit.bmp", file.Bytes()});
    }
    {
        BmpBuilder file;
        file.width = kHostileSide;
        file.height = -kHostileSide;  // top-down
        file.bitCount = 32;
        file.compression = 3;
        file.masks = ChannelMasks{0xFF0000, 0xFF00, 0xFF};
        file.pixels.assign(40000, 0x33);
        bombs.push_back({"32-bit-masks-top-down.bmp", file.Bytes()});
    }
    {
        // Deltas that jump 255 pixels right and rows up, in both RLE forms.
        for (bool fourBit : {false, true}) {
            BmpBuilder file = RleBombHeader(fourBit, ColorEntry{1, 2, 3, 0});
            for (int i = 0; i < 8000; ++i)
                file.pixels.insert(file.pixels.end(), {0, 2, 255, static_cast<std::uint8_t>(i % 3), 2, 1});
            bombs.push_back({fourBit ? "rle4-deltas.bmp" : "rle8-deltas.bmp", file.Bytes()});
        }
    }
    bombs.push_back(RleRowsBomb(false));
    bombs.push_back(RleRowsBomb(true));
    return bombs;
}

// A small progressive colour JPEG (libjpeg's progression) whose frame header then claims
// side x side; samplingFactor 1 gives 4:4:4, 2 gives 4:2:0.
inline std::vector<std::uint8_t> ClaimingProgressiveJpeg(int side, int samplingFactor)
{
    const std::vector<std::uint8_t> small = LibjpegCompress(
        16, 16, 3, JCS_RGB, [](int x, int y, std::uint8_t* rgb) { rgb[0] = rgb[1] = rgb[2] = static_cast<std::uint8_t>(x * y); },
        [samplingFactor](jpeg_compress_struct& c) {
            c.comp_info[0].h_samp_factor = samplingFactor;
            c.comp_info[0].v_samp_factor = samplingFactor;
            jpeg_simple_progression(&c);
        });
    return WithFrameSize(small, side, side, 0xC2);
}

// ClaimingProgressiveJpeg(side, 2) with its last scan repeated until it has `scans` scans.
inline std::vector<std::uint8_t> ScanFloodJpeg(int side, int scans)
{
    const std::vector<std::uint8_t> single = ClaimingProgressiveJpeg(side, 2);
    std::size_t count = 0;
    for (std::size_t at = FindMarker(single, 0xDA); at != std::string::npos; at = FindMarker(single, 0xDA, at + 2))
        ++count;
    const std::size_t lastScan = FindLastMarker(single, 0xDA);
    const std::size_t eoi = single.size() - 2;
    std::vector<std::uint8_t> flood(single.begin(), single.begin() + static_cast<std::ptrdiff_t>(eoi));
    for (; count < static_cast<std::size_t>(scans); ++count)
        flood.insert(flood.end(), single.begin() + static_cast<std::ptrdiff_t>(lastScan),
                     single.begin() + static_cast<std::ptrdiff_t>(eoi));
    flood.insert(flood.end(), {0xFF, 0xD9});
    return flood;
}

}  // namespace picbatch
