// Splicing APP1 and APP2 segments into encoded JPEG data, in the layout of libjpeg's
// jpeg_write_marker and jpeg_write_icc_profile.
#include "pictures/jpeg/jpeg_segments.h"

#include <algorithm>
#include <stdexcept>

namespace picbatch {

namespace {

constexpr std::uint8_t kMarker = 0xFF;
constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kApp0 = 0xE0;
constexpr std::uint8_t kApp1 = 0xE1;
constexpr std::uint8_t kApp2 = 0xE2;
// A segment's length counts its two length bytes: at most 65535, so 65533 bytes of payload.
constexpr std::size_t kMaxPayload = 65533;
// "ICC_PROFILE\0", then the chunk's number and the count of chunks, one byte each.
constexpr std::uint8_t kIccSignature[] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
constexpr std::size_t kIccOverhead = sizeof kIccSignature + 2;
constexpr std::size_t kMaxIccChunk = kMaxPayload - kIccOverhead;  // 65519

void AppendSegment(std::vector<std::uint8_t>& out, std::uint8_t marker, std::size_t payload)
{
    const std::size_t length = payload + 2;
    out.insert(out.end(), {kMarker, marker, static_cast<std::uint8_t>(length >> 8),
                           static_cast<std::uint8_t>(length & 0xFF)});
}

// Where segments go: after the start marker and, when the encoder wrote one, the JFIF APP0;
// nothing while the data is too short to tell.
std::optional<std::size_t> InsertionPointIfKnown(std::span<const std::uint8_t> jpeg)
{
    if (jpeg.size() < 2)
        return std::nullopt;
    if (jpeg[0] != kMarker || jpeg[1] != kStartOfImage)
        throw std::invalid_argument("WithJpegSegments: no JPEG start marker");
    const std::size_t at = 2;
    if (jpeg.size() < at + 4)
        return std::nullopt;
    if (jpeg[at] != kMarker || jpeg[at + 1] != kApp0)
        return at;
    const std::size_t length = std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
    if (at + 2 + length > jpeg.size())
        return std::nullopt;
    return at + 2 + length;
}

std::size_t InsertionPoint(std::span<const std::uint8_t> jpeg)
{
    const std::optional<std::size_t> at = InsertionPointIfKnown(jpeg);
    if (!at)
        throw std::invalid_argument("WithJpegSegments: the data ends before its insertion point");
    return *at;
}

// The segments alone, as WithJpegSegments puts them.
std::vector<std::uint8_t> Segments(std::span<const std::uint8_t> exif, std::span<const std::uint8_t> icc)
{
    if (exif.size() > kMaxPayload || icc.size() > kMaxJpegIccBytes)
        throw std::invalid_argument("WithJpegSegments: a segment too large");
    const std::size_t chunks = (icc.size() + kMaxIccChunk - 1) / kMaxIccChunk;
    std::vector<std::uint8_t> out;
    out.reserve(exif.size() + icc.size() + 4 + chunks * (4 + kIccOverhead));
    if (!exif.empty()) {
        AppendSegment(out, kApp1, exif.size());
        out.insert(out.end(), exif.begin(), exif.end());
    }
    for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
        const std::size_t first = chunk * kMaxIccChunk;
        const std::size_t length = std::min(kMaxIccChunk, icc.size() - first);
        AppendSegment(out, kApp2, kIccOverhead + length);
        out.insert(out.end(), std::begin(kIccSignature), std::end(kIccSignature));
        // Numbered from 1; at most 255 chunks, checked above.
        out.push_back(static_cast<std::uint8_t>(chunk + 1));
        out.push_back(static_cast<std::uint8_t>(chunks));
        const auto from = icc.begin() + static_cast<std::ptrdiff_t>(first);
        out.insert(out.end(), from, from + static_cast<std::ptrdiff_t>(length));
    }
    return out;
}

}  // namespace

std::vector<std::uint8_t> WithJpegSegments(std::span<const std::uint8_t> jpeg, std::span<const std::uint8_t> exif,
                                           std::span<const std::uint8_t> icc)
{
    const std::size_t at = InsertionPoint(jpeg);
    const std::vector<std::uint8_t> segments = Segments(exif, icc);
    std::vector<std::uint8_t> out;
    out.reserve(jpeg.size() + segments.size());
    out.insert(out.end(), jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(at));
    out.insert(out.end(), segments.begin(), segments.end());
    out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.end());
    return out;
}

SegmentSplicingSink::SegmentSplicingSink(ByteSink& out, std::span<const std::uint8_t> exif,
                                         std::span<const std::uint8_t> icc)
    : m_out(out), m_segments(Segments(exif, icc))
{
}

void SegmentSplicingSink::WriteAt(std::int64_t offset, std::span<const std::uint8_t> bytes)
{
    if (offset != m_received)
        throw std::logic_error("SegmentSplicingSink: writes out of order");
    m_received += static_cast<std::int64_t>(bytes.size());
    if (m_spliced) {
        m_out.WriteAt(offset + static_cast<std::int64_t>(m_segments.size()), bytes);
        return;
    }
    m_head.insert(m_head.end(), bytes.begin(), bytes.end());
    const std::optional<std::size_t> at = InsertionPointIfKnown(m_head);
    if (!at)
        return;
    const std::span<const std::uint8_t> head(m_head);
    const auto before = static_cast<std::int64_t>(*at);
    m_out.WriteAt(0, head.first(*at));
    m_out.WriteAt(before, m_segments);
    m_out.WriteAt(before + static_cast<std::int64_t>(m_segments.size()), head.subspan(*at));
    m_spliced = at;
    m_head = {};
}

void SegmentSplicingSink::Finish()
{
    if (!m_spliced)
        throw std::invalid_argument("WithJpegSegments: the data ends before its insertion point");
}

}  // namespace picbatch
