// Writing WebP files with libwebp's advanced encoder, from the Raster's pixels as ARGB words
// straight into a byte vector.
#include "pictures/webp/webp.h"

#include <algorithm>
#include <string>
#include <utility>

#include <webp/encode.h>

#include "imaging/error.h"
#include "imaging/raster.h"

namespace picbatch {

namespace {

// Owns a WebPPicture's pixel buffers.
class EncoderPicture {
public:
    EncoderPicture()
    {
        if (!WebPPictureInit(&m_picture))
            throw Error("WebP error: library version mismatch");
    }
    ~EncoderPicture() { WebPPictureFree(&m_picture); }
    EncoderPicture(const EncoderPicture&) = delete;
    EncoderPicture& operator=(const EncoderPicture&) = delete;

    WebPPicture* Get() { return &m_picture; }

private:
    WebPPicture m_picture{};
};

struct WebpOutput {
    std::vector<std::uint8_t>* bytes;
    bool outOfMemory = false;
};

extern "C" {

// The vector may throw, and no exception may cross libwebp's frames: a failure is noted and
// reported to libwebp as a failed write (0).
static int AppendWebpBytes(const std::uint8_t* data, std::size_t size, const WebPPicture* picture)
{
    auto* output = static_cast<WebpOutput*>(picture->custom_ptr);
    try {
        output->bytes->insert(output->bytes->end(), data, data + size);
        return 1;
    } catch (...) {
        output->outOfMemory = true;
        return 0;
    }
}

}  // extern "C"

Error EncodingError(const WebPPicture& picture, const WebpOutput& output)
{
    if (output.outOfMemory || picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY
        || picture.error_code == VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY)
        return Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    return Error("WebP error #" + std::to_string(static_cast<int>(picture.error_code)));
}

// Fills picture's ARGB words from raster (Bgra32 or Bgr24).
void ImportPixels(const Raster& raster, WebPPicture& picture)
{
    const bool alpha = raster.Form() == PixelForm::Bgra32;
    const std::size_t pixelBytes = alpha ? 4 : 3;
    for (int y = 0; y < raster.Height(); ++y) {
        const std::uint8_t* in = raster.Row(y).data();
        std::uint32_t* out = picture.argb + static_cast<std::ptrdiff_t>(y) * picture.argb_stride;
        for (int x = 0; x < raster.Width(); ++x) {
            const std::uint8_t* pixel = in + pixelBytes * static_cast<std::size_t>(x);
            const std::uint32_t a = alpha ? pixel[3] : 0xFF;
            out[x] = a << 24 | std::uint32_t{pixel[2]} << 16 | std::uint32_t{pixel[1]} << 8 | pixel[0];
        }
    }
}

std::vector<std::uint8_t> EncodeWebp(const Raster& raster, bool lossless, int quality)
{
    if (raster.Empty())
        return {};
    // Any other form is written as its 24-bit conversion; a Bgr24 copy shares the store.
    Raster source = raster;
    if (source.Form() != PixelForm::Bgra32)
        source.SetPixelForm(PixelForm::Bgr24);

    WebPConfig config{};
    if (!WebPConfigInit(&config))
        throw Error("WebP error: library version mismatch");
    config.lossless = lossless ? 1 : 0;
    // Lossless files are compressed at the effort quality stands for there; they were ever
    // written at kWebpQuality, and their pixels do not depend on it. libwebp refuses a
    // quality beyond 0 to 100: it is taken as libjpeg takes it, the nearer end of 1 to 100.
    config.quality = static_cast<float>(lossless ? kWebpQuality : std::clamp(quality, 1, 100));
    // Lossless files keep the colours under transparent pixels, so that a picture read and
    // written at its own size comes back byte for byte.
    config.exact = lossless ? 1 : 0;

    std::vector<std::uint8_t> bytes;
    WebpOutput output{&bytes};
    EncoderPicture picture;
    WebPPicture& target = *picture.Get();
    target.use_argb = 1;
    target.width = source.Width();
    target.height = source.Height();
    target.writer = AppendWebpBytes;
    target.custom_ptr = &output;
    if (!WebPPictureAlloc(&target))
        throw EncodingError(target, output);
    ImportPixels(source, target);
    if (!WebPEncode(&config, &target))
        throw EncodingError(target, output);
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> EncodeWebpLossyAt(const Raster& raster, int quality)
{
    return EncodeWebp(raster, false, quality);
}

std::vector<std::uint8_t> EncodeWebpLossy(const Raster& raster)
{
    return EncodeWebp(raster, false, kWebpQuality);
}

std::vector<std::uint8_t> EncodeWebpLossless(const Raster& raster)
{
    return EncodeWebp(raster, true, kWebpQuality);
}

}  // namespace picbatch
