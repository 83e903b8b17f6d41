// Decoding of the run-length encoded pixel arrays of BMP files (RLE8 and RLE4).
#pragma once

#include <cstdint>
#include <span>

namespace picbatch {

class Raster;

// Decodes RLE8 data into an 8-bit paletted raster, or RLE4 data into a 4-bit paletted one,
// whose store is sized and all 0. The data runs from the bottom row up. Pixels that the data
// leaves out (skipped by a delta, or after an early end-of-line or end-of-picture code) keep
// index 0; runs past the right edge or the top are clipped; data that ends inside a code
// ends the picture. Never writes outside the store and never throws. Returns false when the
// data ended before its end-of-picture code while pixels were still to come: the file was
// cut short, and the rest of the picture keeps index 0.
bool DecodeBmpRle(std::span<const std::uint8_t> data, Raster& raster);

}  // namespace picbatch
