// How a run's lossy outputs are encoded: the user's quality and progression, handed to every
// format's writer through its row (picture_format.h); formats written without loss take none.
#pragma once

namespace picbatch {

// The defaults give the bytes the program has always written.
struct EncodeSettings {
    // 1 to 100, for JPEG and lossy WebP outputs; values beyond are taken as the nearer end,
    // as libjpeg takes them.
    int quality = 90;
    // JPEG outputs: progressive (spectral selection and successive approximation, optimised
    // Huffman tables) instead of baseline; the same pixels when decoded.
    bool progressive = false;
    bool operator==(const EncodeSettings&) const = default;
};

}  // namespace picbatch
