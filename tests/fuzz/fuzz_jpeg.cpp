// libFuzzer target over the JPEG binding: header reading, decoding at the default settings
// and, for small pictures, the buffered and quantizing paths and a re-encode.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/jpeg/jpeg_image.h"

namespace picbatch {

namespace {

// Pictures above this are only header-checked: decoding them is correct but slow under the
// sanitizers, and the size limits themselves are tested elsewhere.
constexpr std::int64_t kMaxDecodedPixels = std::int64_t{2048} * 2048;
// Pictures up to this size also go through the other decoding paths and the encoder.
constexpr std::int64_t kMaxVariantPixels = std::int64_t{256} * 256;

void DecodeWith(std::span<const std::uint8_t> bytes, bool variant)
{
    JpegImage image;
    if (variant) {
        image.Settings().progressiveDisplay = true;
        image.Settings().pixelFormat = JpegPixelFormat::Bits8;
    }
    image.LoadJpegData(bytes);
    const std::int64_t pixels = std::int64_t{image.Width()} * image.Height();
    if (pixels > kMaxDecodedPixels)
        return;
    const Raster& picture = image.DecodeJpeg();
    if (!variant || picture.Empty())
        return;
    JpegImage encoder;
    encoder.AssignPicture(picture);
    std::vector<std::uint8_t> out;
    encoder.SaveJpegData(out);
}

}  // namespace

}  // namespace picbatch

using namespace picbatch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    std::int64_t pixels = 0;
    try {
        JpegImage probe;
        probe.LoadJpegData(bytes);
        pixels = std::int64_t{probe.Width()} * probe.Height();
        DecodeWith(bytes, false);
    } catch (const Error&) {
        return 0;
    }
    if (pixels <= kMaxVariantPixels) {
        try {
            DecodeWith(bytes, true);
        } catch (const Error&) {
        }
    }
    return 0;
}
