// JpegImage: a JPEG picture as compressed bytes, a decoded Raster, or both, converted
// on demand through libjpeg with fixed parameters.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/read_notes.h"

namespace picbatch {

// A picture's data cannot be read or written.
class PictureDataError : public Error {
public:
    using Error::Error;
};

// An operation that a picture object does not allow.
class PictureOperationError : public Error {
public:
    using Error::Error;
};

// A libjpeg failure: "JPEG error #<code>", code being libjpeg's message code. Its cause comes
// from the code (empty data, not a JPEG, too large, out of memory, unsupported) and, for any
// other code, from endedEarly: the data ended before the failure, so the file was cut short
// before its picture.
class JpegError : public PictureDataError {
public:
    explicit JpegError(int code, bool endedEarly = false);
    int Code() const { return m_code; }

private:
    int m_code;
};

// A multi-scan file may hold at most this many scans; real encoders write a dozen or so.
inline constexpr int kJpegMaxScans = 1000;
// The code of the JpegError raised for a file with more scans, beyond libjpeg's own codes.
inline constexpr int kJpegTooManyScans = 1001;

enum class JpegPerformance : std::uint8_t { BestQuality, BestSpeed };
enum class JpegPixelFormat : std::uint8_t { Bits24, Bits8 };
enum class JpegScale : std::uint8_t { Full, Half, Quarter, Eighth };

// How a JpegImage decodes and encodes. The system uses the defaults throughout.
struct JpegSettings {
    int quality = 90;                // encoding, 1 to 100 (limited to it by libjpeg)
    bool grayscale = false;          // decode and encode one gray component
    JpegPerformance performance = JpegPerformance::BestQuality;  // BestSpeed: fast integer DCT
    JpegPixelFormat pixelFormat = JpegPixelFormat::Bits24;       // Bits8: quantize to 236 colours
    bool progressiveDisplay = false;   // decode multi-scan files pass by pass
    bool progressiveEncoding = false;  // encode progressively; set by LoadJpegData
    JpegScale scale = JpegScale::Full; // decode at 1/1, 1/2, 1/4 or 1/8 of the size
    bool smoothing = true;             // block smoothing of early progressive scans
};

// The settings every new JpegImage starts with. Written once at start-up, before any
// picture is made (and before any worker thread starts); read-only afterwards.
JpegSettings& DefaultJpegSettings();

// Start-up rule: a display of 8 bits per pixel or less selects the 8-bit pixel format.
void ApplyDisplayColorDepth(int bitsPerPixel);

struct JpegData;

// One JPEG picture: compressed data (shared by reference), a cached decoded Raster, or both.
// Each libjpeg object lives for one call; every libjpeg failure throws JpegError after it is gone.
class JpegImage {
public:
    JpegImage();
    ~JpegImage();
    JpegImage(const JpegImage&) = delete;
    JpegImage& operator=(const JpegImage&) = delete;

    JpegSettings& Settings() { return m_settings; }
    const JpegSettings& Settings() const { return m_settings; }

    // Takes bytes as the compressed data and reads the header (width, height, grayscale,
    // progressive). Zero bytes read no header. Throws JpegError.
    void LoadJpegData(std::span<const std::uint8_t> bytes);
    // The same, taking over the caller's buffer instead of copying it.
    void LoadJpegData(std::vector<std::uint8_t>&& bytes);

    // The decoded picture's size when one is cached, else the header's (0 before any).
    int Width() const;
    int Height() const;
    // Refused: throws PictureOperationError "Cannot change the size of a JPEG image".
    void SetWidth(int width);
    void SetHeight(int height);

    // The decoded picture, decoding the compressed data first when none is cached.
    const Raster& DecodeJpeg();
    // Decodes if needed and draws the picture onto target at (0, 0); no-op when empty.
    void DrawJpeg(Raster& target);
    // Hands the decoded picture over (decoding first if needed); the object keeps an
    // empty cache. Saves a copy where the caller only wants the pixels.
    Raster TakePicture();
    // What the last decoding of the compressed data noticed; nothing before any.
    const ReadNotes& DecodeNotes() const { return m_notes; }

    // Replaces the compressed data by none and the cached picture by (a shared copy of)
    // picture. Nothing is encoded yet.
    void AssignPicture(const Raster& picture);

    // Encodes the cached picture when there is no compressed data, then appends all
    // compressed bytes to out. A second call appends the same bytes without encoding.
    void SaveJpegData(std::vector<std::uint8_t>& out);

    // The embedded record: 32-bit little-endian byte count, then the JPEG bytes.
    // ReadEmbedded returns the number of bytes consumed; throws "Stream read error".
    std::size_t ReadEmbedded(std::span<const std::uint8_t> bytes);
    void WriteEmbedded(std::vector<std::uint8_t>& out);

private:
    std::shared_ptr<JpegData> m_data;
    std::optional<Raster> m_picture;
    ReadNotes m_notes;
    JpegSettings m_settings;
};

}  // namespace picbatch
