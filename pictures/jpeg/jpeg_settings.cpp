// The settings the binding starts every JPEG picture with.
#include "pictures/jpeg/jpeg_settings.h"

#include "pictures/encode_settings.h"

namespace picbatch {

JpegSettings& DefaultJpegSettings()
{
    static JpegSettings settings;
    return settings;
}

JpegSettings JpegSettingsFor(const EncodeSettings& encoding)
{
    JpegSettings settings = DefaultJpegSettings();
    settings.quality = encoding.quality;
    settings.progressiveEncoding = encoding.progressive;
    return settings;
}

void ApplyDisplayColorDepth(int bitsPerPixel)
{
    // 0 or less means no display was found: the 24-bit format stays.
    if (bitsPerPixel > 0 && bitsPerPixel <= 8)
        DefaultJpegSettings().pixelFormat = JpegPixelFormat::Bits8;
}

}  // namespace picbatch
