// The colour-space fields of the 108- and 124-byte BMP headers, read from the bytes the file
// has, and the profile they describe.
#include "pictures/bmp/bmp_colour_space.h"

#include <lcms2.h>
#include <sys/types.h>
#include <unistd.h>

#include <array>

#include "imaging/error.h"
#include "pictures/files/file_io.h"

namespace picbatch {

namespace {

constexpr std::int64_t kFileHeaderSize = 14;
// Offsets within the info header (the 108-byte layout; the 124-byte one adds the profile).
constexpr std::int64_t kColourSpaceType = 56;
constexpr std::int64_t kEndpoints = 60;   // red, green, blue X Y Z: nine 2.30 fixed-point numbers
constexpr std::int64_t kGammas = 96;      // red, green, blue: three 16.16 fixed-point numbers
constexpr std::int64_t kProfileData = 112;  // from the info header's start
constexpr std::int64_t kProfileSize = 116;
constexpr std::uint32_t kVersion4Header = 108;
constexpr std::uint32_t kVersion5Header = 124;
constexpr std::int64_t kLongestHead = kFileHeaderSize + kVersion5Header;
constexpr std::uint32_t kCalibratedRgb = 0;
constexpr std::uint32_t kEmbedded = 0x4D424544;  // "MBED"
// A larger profile could not go into a JPEG file anyway (255 segments of 64 KiB).
constexpr std::int64_t kMaxProfileBytes = std::int64_t{16} << 20;

std::uint32_t Read32(std::span<const std::uint8_t> bytes, std::int64_t at)
{
    const auto i = static_cast<std::size_t>(at);
    return std::uint32_t{bytes[i]} | std::uint32_t{bytes[i + 1]} << 8 | std::uint32_t{bytes[i + 2]} << 16
        | std::uint32_t{bytes[i + 3]} << 24;
}

// The info header's size when header holds a whole 108- or 124-byte one; 0 otherwise.
std::uint32_t ColourHeaderSize(std::span<const std::uint8_t> header)
{
    if (header.size() < static_cast<std::size_t>(kFileHeaderSize + kVersion4Header) || header[0] != 'B'
        || header[1] != 'M')
        return 0;
    const std::uint32_t size = Read32(header, kFileHeaderSize);
    if (size != kVersion4Header && size != kVersion5Header)
        return 0;
    return header.size() >= kFileHeaderSize + std::size_t{size} ? size : 0;
}

// Reads up to size bytes at offset; fewer when the file ends first.
std::vector<std::uint8_t> ReadAt(int fd, std::int64_t offset, std::int64_t size)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::int64_t used = 0;
    while (used < size) {
        const ssize_t got = ::pread(fd, bytes.data() + used, static_cast<std::size_t>(size - used),
                                    static_cast<off_t>(offset + used));
        if (got <= 0)
            break;
        used += got;
    }
    bytes.resize(static_cast<std::size_t>(used));
    return bytes;
}

}  // namespace

bool EmbeddedBmpProfile(std::span<const std::uint8_t> header, BmpProfilePlace& place)
{
    if (ColourHeaderSize(header) != kVersion5Header
        || Read32(header, kFileHeaderSize + kColourSpaceType) != kEmbedded)
        return false;
    place.offset = kFileHeaderSize + std::int64_t{Read32(header, kFileHeaderSize + kProfileData)};
    place.size = Read32(header, kFileHeaderSize + kProfileSize);
    return place.size > 0 && place.size <= kMaxProfileBytes;
}

std::vector<std::uint8_t> CalibratedBmpProfile(std::span<const std::uint8_t> header)
{
    if (ColourHeaderSize(header) == 0 || Read32(header, kFileHeaderSize + kColourSpaceType) != kCalibratedRgb)
        return {};
    std::array<double, 9> endpoints{};
    bool calibrated = false;
    for (std::size_t i = 0; i < endpoints.size(); ++i) {
        const std::uint32_t raw = Read32(header, kFileHeaderSize + kEndpoints + 4 * static_cast<std::int64_t>(i));
        calibrated |= raw != 0;
        endpoints[i] = raw / 1073741824.0;  // 2^30: 2.30 fixed point
    }
    std::array<double, 3> gammas{};
    for (std::size_t i = 0; i < gammas.size(); ++i) {
        const std::uint32_t raw = Read32(header, kFileHeaderSize + kGammas + 4 * static_cast<std::int64_t>(i));
        calibrated |= raw != 0;
        gammas[i] = raw / 65536.0;  // 16.16 fixed point
    }
    // All zero is what many writers put there meaning no calibration at all.
    if (!calibrated)
        return {};
    cmsCIExyYTRIPLE primaries{};
    cmsCIExyY* const targets[3] = {&primaries.Red, &primaries.Green, &primaries.Blue};
    double white[3] = {0, 0, 0};
    for (std::size_t c = 0; c < 3; ++c) {
        const double x = endpoints[3 * c];
        const double y = endpoints[3 * c + 1];
        const double z = endpoints[3 * c + 2];
        const double sum = x + y + z;
        if (sum <= 0 || gammas[c] <= 0)
            return {};  // no colour and no curve can be made of it
        *targets[c] = {x / sum, y / sum, y};
        white[0] += x;
        white[1] += y;
        white[2] += z;
    }
    const double whiteSum = white[0] + white[1] + white[2];
    const cmsCIExyY whitePoint{white[0] / whiteSum, white[1] / whiteSum, 1.0};
    cmsToneCurve* curves[3] = {cmsBuildGamma(nullptr, gammas[0]), cmsBuildGamma(nullptr, gammas[1]),
                               cmsBuildGamma(nullptr, gammas[2])};
    cmsHPROFILE profile = curves[0] && curves[1] && curves[2] ? cmsCreateRGBProfile(&whitePoint, &primaries, curves)
                                                              : nullptr;
    cmsFreeToneCurveTriple(curves);
    if (!profile)
        return {};
    std::vector<std::uint8_t> bytes;
    cmsUInt32Number size = 0;
    if (cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
        bytes.resize(size);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
            bytes.clear();
    }
    cmsCloseProfile(profile);
    return bytes;
}

std::vector<std::uint8_t> ReadBmpProfile(const std::string& path)
{
    try {
        const OpenedFile file = OpenFileForReading(path);
        const std::vector<std::uint8_t> header = ReadAt(file.descriptor.Get(), 0, kLongestHead);
        if (BmpProfilePlace place; EmbeddedBmpProfile(header, place)) {
            if (place.offset + place.size > file.size)
                return {};
            std::vector<std::uint8_t> profile = ReadAt(file.descriptor.Get(), place.offset, place.size);
            return std::ssize(profile) == place.size ? profile : std::vector<std::uint8_t>{};
        }
        return CalibratedBmpProfile(header);
    } catch (const Error&) {
        return {};  // the conversion reports why the file cannot be read
    }
}

}  // namespace picbatch
