// Metadata segments put into JPEG data that the encoder made.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "pictures/metadata_sink.h"

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

// A sink for an encoder's JPEG data that puts the segments WithJpegSegments would put into
// it on the way to out, so that the file need not be held whole: the bytes up to the
// insertion point are kept until it is known, the rest passes on at once. The encoder must
// write in order (each offset where the last write ended). Finish after the encoder.
class SegmentSplicingSink final : public MetadataSink {
public:
    // Throws std::invalid_argument for parts too large, as WithJpegSegments.
    SegmentSplicingSink(ByteSink& out, std::span<const std::uint8_t> exif, std::span<const std::uint8_t> icc);

    void WriteAt(std::int64_t offset, std::span<const std::uint8_t> bytes) override;
    // Throws std::invalid_argument when the data never reached its insertion point (no JPEG).
    void Finish() override;

private:
    ByteSink& m_out;
    std::vector<std::uint8_t> m_segments;
    std::vector<std::uint8_t> m_head;   // the data's first bytes, until the segments are put
    std::optional<std::size_t> m_spliced;  // where they went, once they did
    std::int64_t m_received = 0;
};

}  // namespace picbatch
