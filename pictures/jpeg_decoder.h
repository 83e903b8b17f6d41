// Reading the header of JPEG data and decoding it into a Raster, through libjpeg with the
// binding's fixed parameters.
#pragma once

#include <cstdint>
#include <span>

class Raster;
struct JpegSettings;

struct JpegHeader {
    int width = 0;
    int height = 0;
    bool grayscale = false;    // a single colour component
    bool progressive = false;  // more than one scan
};

// Reads the header of bytes (at least one byte). Throws EJPEG with libjpeg's code, and
// "JPEG error #41" for a picture of more than kMaxPicturePixels.
JpegHeader ReadJpegHeader(std::span<const std::uint8_t> bytes);

// Decodes bytes into picture (an empty Raster of form None) at the given settings:
// Bgr24 for colour output; Paletted8 with the colours in its table when colours are
// quantized (grayscale output or the 8-bit pixel format). Rows are decoded straight into
// the picture's store, top row first. Throws EJPEG after the libjpeg object is destroyed;
// picture then holds the rows decoded so far.
void DecodeJpegPicture(std::span<const std::uint8_t> bytes, const JpegSettings& settings, Raster& picture);
