// The colour space a BMP file's 108- or 124-byte header gives its pixels, as an ICC profile.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace picbatch {

// The profile of the BMP file at path: its embedded profile (124-byte header, type "MBED"),
// or for a calibrated colour space (type 0) with endpoints and gammas that are not all zero,
// an RGB profile made from them by LittleCMS. Empty for anything else: sRGB or the system's
// colour space, a linked profile (a file name the program does not follow), an older or
// damaged header, a profile outside the file, and the all-zero calibration that many files
// write meaning none. Throws only std::bad_alloc.
std::vector<std::uint8_t> ReadBmpProfile(const std::string& path);

// The same from the file's first bytes (at least the file header and the info header, when
// the file has them) and the bytes of its embedded profile, where the header says they are.
struct BmpProfilePlace {
    std::int64_t offset = 0;  // from the file's start
    std::int64_t size = 0;
};
// The embedded profile's place, when header (the file's first bytes) declares one.
bool EmbeddedBmpProfile(std::span<const std::uint8_t> header, BmpProfilePlace& place);
// The profile of a calibrated colour space declared in header; empty when there is none.
std::vector<std::uint8_t> CalibratedBmpProfile(std::span<const std::uint8_t> header);

}  // namespace picbatch
