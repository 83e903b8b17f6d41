// The header of a JPEG file, read without decoding: what its decoding will hold in memory.
#pragma once

#include <string>

#include "pictures/picture_header.h"

namespace picbatch {

// Reads the header of the JPEG file at path (up to its first scan, through libjpeg) and
// estimates the memory of its decoding on either road. Throws the errors of opening the file
// (OpenFileForReading) and JpegError for a header libjpeg refuses.
PictureHeader ReadJpegFileHeader(const std::string& path);

}  // namespace picbatch
