// The header of a picture file that is read whole (PNG, WebP): what reading its picture holds
// in memory, from the size its header declares.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pictures/picture_header.h"
#include "pictures/picture_size.h"

namespace picbatch {

// Reads the first bytes of the file at path, takes the size readSize finds in them and
// estimates reading the picture whole: the file's bytes, a store of four bytes a pixel (alpha
// included) and decoderBytesPerPixel more a pixel that the format's reader keeps besides (a
// 24-bit copy, the decoder's own planes). Throws the errors of opening and reading the file
// and those of readSize.
PictureHeader ReadWholeReadHeader(const std::string& path,
                                  PictureSize (*readSize)(std::span<const std::uint8_t> bytes),
                                  std::int64_t decoderBytesPerPixel);

}  // namespace picbatch
