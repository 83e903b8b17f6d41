// What a picture file's header tells about the memory its decoding takes, read without
// decoding: the size, and the bytes its reader keeps on either road.
#pragma once

#include <cstdint>

namespace picbatch {

struct PictureHeader {
    int width = 0;
    int height = 0;
    // Bytes the format's decodeRows keeps while it hands the picture over in bands: its band
    // and context buffers, and whatever it must hold for the whole picture (the coefficients
    // of a multi-scan JPEG).
    std::int64_t streamedBytes = 0;
    // The peak of read() and of bringing its picture to 24 bits: the file's bytes with the
    // picture in the form it was read in, or that picture with its 24-bit copy.
    std::int64_t wholeReadBytes = 0;
    // What the read picture holds once it is 24-bit, while it is resampled.
    std::int64_t wholePictureBytes = 0;
    // decodeRows decodes the whole picture first and hands it over as one band (a JPEG under
    // progressive display, which shows every scan); streamedBytes then counts the picture.
    bool bandsDecodedWhole = false;
};

}  // namespace picbatch
