// The header of a BMP file, read without its pixels: what reading its picture holds in memory.
#pragma once

#include <string>

#include "pictures/picture_header.h"

namespace picbatch {

// Reads the headers of the BMP file at path (its first bytes only, through ReadBmpLayout) and
// estimates the memory of reading its picture, whole and as a band reader would. Throws the
// errors of opening the file (OpenFileForReading), "Stream read error" when reading fails,
// and ReadBmpLayout's errors.
PictureHeader ReadBmpFileHeader(const std::string& path);

}  // namespace picbatch
