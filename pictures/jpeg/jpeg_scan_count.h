// Counting the scans of JPEG data ahead of decoding, so that a file with too many is refused
// before the decoder spends time on the first of them.
#pragma once

#include <cstdint>
#include <span>

namespace picbatch {

// Walks JPEG data as libjpeg's marker reader does and counts its start-of-scan markers up to
// its end-of-picture marker: marker segments are skipped by their length, entropy-coded data
// up to the next marker (a stuffed 0xFF 0x00 and the restart markers belong to the data).
// Bytes between segments are skipped as libjpeg skips them. Stops at a length that no
// segment may have.
class JpegScanCounter {
public:
    // Takes the next bytes of the data.
    void Feed(std::span<const std::uint8_t> bytes) noexcept;
    int Scans() const noexcept { return m_scans; }
    // The walk is over (the end marker, or a segment that makes no sense): Feed takes no more.
    bool Done() const noexcept { return m_state == State::Done; }

private:
    enum class State : std::uint8_t { Seek, MarkerCode, LengthHigh, LengthLow, Skip, Done };
    State m_state = State::Seek;
    std::uint8_t m_marker = 0;
    std::uint16_t m_length = 0;
    std::int64_t m_skip = 0;
    int m_scans = 0;
};

// The scans of bytes, counting stops once more than limit were found.
int CountJpegScans(std::span<const std::uint8_t> bytes, int limit) noexcept;

// The same for the file open as fd, read with pread from its start (its offset is left
// alone); a read error ends the count where it got.
int CountJpegFileScans(int fd, int limit) noexcept;

}  // namespace picbatch
