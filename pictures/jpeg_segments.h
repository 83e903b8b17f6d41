// Metadata segments put into JPEG data that the encoder made.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace picbatch {

// The largest ICC profile a JPEG file can carry: 255 APP2 chunks of 65519 bytes.
inline constexpr std::size_t kMaxJpegIccBytes = std::size_t{255} * 65519;

// jpeg, a complete file from the encoder, with an EXIF APP1 segment (exif from "Exif\0\0" on,
// at most 65533 bytes) and the ICC profile split over as many APP2 ICC_PROFILE segments as it
// needs (at most kMaxJpegIccBytes), right after the start marker and the JFIF segment, where
// libjpeg writes the segments it is given. Either may be empty. Throws std::invalid_argument
// for data that does not start with the start marker, or parts too large.
std::vector<std::uint8_t> WithJpegSegments(std::span<const std::uint8_t> jpeg, std::span<const std::uint8_t> exif,
                                           std::span<const std::uint8_t> icc);

}  // namespace picbatch
