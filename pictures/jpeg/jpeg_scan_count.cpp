// The scan counter: a byte-by-byte walk over markers and entropy-coded data.
#include "pictures/jpeg/jpeg_scan_count.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace picbatch {

namespace {

// Marker codes (the byte after 0xFF) that stand alone, without a length.
constexpr std::uint8_t kStuffedZero = 0x00;  // a 0xFF data byte inside entropy-coded data
constexpr std::uint8_t kTemporary = 0x01;
constexpr std::uint8_t kFirstRestart = 0xD0;
constexpr std::uint8_t kLastRestart = 0xD7;
constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfScan = 0xDA;
// Fill bytes before a marker code.
constexpr std::uint8_t kFill = 0xFF;

// The file is read in portions of this size from a buffer on the stack.
constexpr std::size_t kReadBytes = 16 * 1024;

}  // namespace

void JpegScanCounter::Feed(std::span<const std::uint8_t> bytes) noexcept
{
    std::size_t i = 0;
    while (i < bytes.size() && m_state != State::Done) {
        const std::uint8_t byte = bytes[i];
        switch (m_state) {
        case State::Seek: {
            // Entropy-coded data and stray bytes alike end at the next 0xFF.
            const void* found = std::memchr(bytes.data() + i, kFill, bytes.size() - i);
            if (!found)
                return;
            i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - bytes.data()) + 1;
            m_state = State::MarkerCode;
            continue;
        }
        case State::MarkerCode:
            if (byte == kFill)
                break;
            if (byte == kStuffedZero || byte == kTemporary || byte == kStartOfImage
                || (byte >= kFirstRestart && byte <= kLastRestart)) {
                m_state = State::Seek;
            } else if (byte == kEndOfImage) {
                m_state = State::Done;
            } else {
                m_marker = byte;
                m_state = State::LengthHigh;
            }
            break;
        case State::LengthHigh:
            m_length = static_cast<std::uint16_t>(byte << 8);
            m_state = State::LengthLow;
            break;
        case State::LengthLow:
            m_length = static_cast<std::uint16_t>(m_length | byte);
            // The length counts its own two bytes; less is an error to libjpeg.
            if (m_length < 2) {
                m_state = State::Done;
                break;
            }
            if (m_marker == kStartOfScan)
                ++m_scans;
            m_skip = m_length - 2;
            m_state = m_skip > 0 ? State::Skip : State::Seek;
            break;
        case State::Skip: {
            const auto skipped = static_cast<std::int64_t>(std::min<std::size_t>(static_cast<std::size_t>(m_skip), bytes.size() - i));
            m_skip -= skipped;
            i += static_cast<std::size_t>(skipped);
            if (m_skip == 0)
                m_state = State::Seek;
            continue;
        }
        case State::Done:
            return;
        }
        ++i;
    }
}

int CountJpegScans(std::span<const std::uint8_t> bytes, int limit) noexcept
{
    JpegScanCounter counter;
    // In portions, so that counting stops soon after the limit.
    for (std::size_t at = 0; at < bytes.size() && !counter.Done() && counter.Scans() <= limit; at += kReadBytes)
        counter.Feed(bytes.subspan(at, std::min(kReadBytes, bytes.size() - at)));
    return counter.Scans();
}

int CountJpegFileScans(int fd, int limit) noexcept
{
    JpegScanCounter counter;
    std::array<std::uint8_t, kReadBytes> buffer{};
    for (off_t offset = 0; !counter.Done() && counter.Scans() <= limit;) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        counter.Feed(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)));
        offset += got;
    }
    return counter.Scans();
}

}  // namespace picbatch
