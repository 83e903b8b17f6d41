// Encoding a Raster as JPEG data through libjpeg with the binding's fixed parameters.
#pragma once

#include <cstdint>
#include <vector>

class Raster;
struct JpegSettings;

// Appends picture, encoded at the given settings, to out: baseline JFIF 1.01 with density
// unit 0 and densities 1/1, 4:2:0 YCbCr (one component with the grayscale setting), the
// standard tables scaled to the quality, floating-point DCT, no restart markers. A picture
// with no pixels appends nothing. Any pixel form that converts to Bgr24 is accepted.
// Throws EJPEG ("JPEG error #41" for a side above 65500) after the libjpeg object is
// destroyed; out may then hold part of a stream.
void EncodeJpegPicture(const Raster& picture, const JpegSettings& settings, std::vector<std::uint8_t>& out);
