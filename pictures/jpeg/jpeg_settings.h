// How the binding decodes and encodes JPEG data: the settings every JpegImage, decoder and
// encoder is given, and the defaults the program starts with.
#pragma once

#include <cstdint>

namespace picbatch {

struct EncodeSettings;

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

// The default settings with encoding's quality and progression: what a run's JPEG outputs are
// written at.
JpegSettings JpegSettingsFor(const EncodeSettings& encoding);

// Start-up rule: a display of 8 bits per pixel or less selects the 8-bit pixel format.
void ApplyDisplayColorDepth(int bitsPerPixel);

}  // namespace picbatch
