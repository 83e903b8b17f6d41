// Finding and changing the markers of a JPEG stream, to make damaged and hostile files out of
// the ones libjpeg writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace picbatch {

using JpegBytes = std::vector<std::uint8_t>;

// Offset of the first marker `code` (0xFF code) at or after `from`, or npos.
inline std::size_t FindMarker(const JpegBytes& jpeg, std::uint8_t code, std::size_t from = 0)
{
    for (std::size_t i = from; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == code)
            return i;
    return std::string::npos;
}

inline std::size_t FindLastMarker(const JpegBytes& jpeg, std::uint8_t code)
{
    std::size_t last = std::string::npos;
    for (std::size_t at = FindMarker(jpeg, code); at != std::string::npos; at = FindMarker(jpeg, code, at + 2))
        last = at;
    return last;
}

// jpeg with the byte `offset` bytes after its first marker `code` set to value.
inline JpegBytes Patched(JpegBytes jpeg, std::uint8_t code, std::size_t offset, std::uint8_t value)
{
    const std::size_t at = FindMarker(jpeg, code);
    if (at == std::string::npos || at + offset >= jpeg.size())
        throw std::logic_error("no such marker");
    jpeg[at + offset] = value;
    return jpeg;
}

// The first `size` bytes of jpeg.
inline JpegBytes CutAt(const JpegBytes& jpeg, std::size_t size)
{
    return JpegBytes(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(size));
}

inline JpegBytes CutHalfwayThroughScan(const JpegBytes& jpeg)
{
    const std::size_t sos = FindMarker(jpeg, 0xDA);
    return CutAt(jpeg, sos + (jpeg.size() - sos) / 2);
}

// Patches the height and width fields of the frame header `sof` (SOF0 or SOF2).
inline JpegBytes WithFrameSize(JpegBytes jpeg, int width, int height, std::uint8_t sof = 0xC0)
{
    jpeg = Patched(jpeg, sof, 5, static_cast<std::uint8_t>(height >> 8));
    jpeg = Patched(jpeg, sof, 6, static_cast<std::uint8_t>(height));
    jpeg = Patched(jpeg, sof, 7, static_cast<std::uint8_t>(width >> 8));
    return Patched(jpeg, sof, 8, static_cast<std::uint8_t>(width));
}

}  // namespace picbatch
