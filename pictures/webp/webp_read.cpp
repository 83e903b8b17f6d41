// Reading WebP files with libwebp's incremental decoder, which writes the rows straight into
// the Raster's store and, for a file that ends early, keeps the rows it could decode.
#include "pictures/webp/webp.h"

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include <webp/decode.h>

#include "imaging/error.h"
#include "imaging/limits.h"
#include "imaging/raster.h"
#include "pictures/decoded_store.h"

namespace picbatch {

namespace {

// libwebp's format field: 2 for a lossless bitstream.
constexpr int kLosslessFormat = 2;

struct IncrementalDecoderDelete {
    void operator()(WebPIDecoder* decoder) const noexcept { WebPIDelete(decoder); }
};
using IncrementalDecoder = std::unique_ptr<WebPIDecoder, IncrementalDecoderDelete>;

// As much of "RIFF", four bytes of size, "WEBP" as the file holds: what every WebP file
// starts with. (libwebp also takes a bare bitstream, which no WebP file is.)
bool StartsLikeWebp(std::span<const std::uint8_t> bytes)
{
    constexpr std::string_view start = "RIFF????WEBP";  // '?': any byte
    const std::size_t present = std::min(bytes.size(), start.size());
    for (std::size_t i = 0; i < present; ++i) {
        if (start[i] != '?' && bytes[i] != static_cast<std::uint8_t>(start[i]))
            return false;
    }
    return true;
}

Error WebpError(VP8StatusCode status)
{
    const FailureCause cause = status == VP8_STATUS_OUT_OF_MEMORY ? FailureCause::OutOfMemory : FailureCause::Unknown;
    return Error("WebP error #" + std::to_string(static_cast<int>(status)), cause);
}

WebPBitstreamFeatures ReadFeatures(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        throw Error(kStreamReadError, FailureCause::EmptyFile);
    // Checked first: a short file that is no WebP at all would otherwise count as one cut short.
    if (!StartsLikeWebp(bytes))
        throw Error("WebP error #" + std::to_string(static_cast<int>(VP8_STATUS_BITSTREAM_ERROR)),
                    FailureCause::NotAPicture, kNotAWebpExplanation);
    WebPBitstreamFeatures features{};
    const VP8StatusCode status = WebPGetFeatures(bytes.data(), bytes.size(), &features);
    if (status == VP8_STATUS_NOT_ENOUGH_DATA)
        throw Error(kStreamReadError, FailureCause::CutBeforePicture);
    if (status != VP8_STATUS_OK)
        throw WebpError(status);
    if (features.has_animation)
        throw Error(kAnimatedWebp, FailureCause::Animated);
    if (features.width < 1 || features.height < 1 || !PictureSizeAllowed(features.width, features.height))
        throw Error(kWebpTooLarge, FailureCause::TooLarge);
    return features;
}

}  // namespace

PictureSize ReadWebpSize(std::span<const std::uint8_t> bytes)
{
    const WebPBitstreamFeatures features = ReadFeatures(bytes);
    return {features.width, features.height};
}

ReadNotes ParseWebp(std::span<const std::uint8_t> bytes, Raster& raster)
{
    const WebPBitstreamFeatures features = ReadFeatures(bytes);
    const bool alpha = features.has_alpha != 0;
    // Rows are decoded top first: those a cut file leaves out are made opaque afterwards, so
    // that a file failing half-way costs only the rows it has.
    Raster picture = MakeDecodedStore(features.width, features.height, alpha, false);

    WebPDecoderConfig config{};
    if (!WebPInitDecoderConfig(&config))
        throw Error("WebP error: library version mismatch");
    // The decoder writes into the store, whose rows lie bottom-up: flipped, its first row
    // goes to the store's end, where the Raster's top row is.
    const auto store = picture.Bits();
    config.options.flip = 1;
    config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = store.data();
    config.output.u.RGBA.stride = static_cast<int>(picture.RowSize());
    config.output.u.RGBA.size = store.size();

    ReadNotes notes;
    notes.lossless = features.format == kLosslessFormat;
    const IncrementalDecoder decoder(WebPIDecode(nullptr, 0, &config));
    if (!decoder)
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    const VP8StatusCode status = WebPIUpdate(decoder.get(), bytes.data(), bytes.size());
    if (status == VP8_STATUS_SUSPENDED) {
        notes.incomplete = true;  // the data ended; the rows decoded so far are kept
        int decodedRows = 0;
        if (!WebPIDecGetRGB(decoder.get(), &decodedRows, nullptr, nullptr, nullptr))
            decodedRows = 0;
        if (alpha)
            MakeOpaqueFrom(picture, std::clamp(decodedRows, 0, picture.Height()));
    } else if (status != VP8_STATUS_OK) {
        throw WebpError(status);
    }
    DropOpaqueAlpha(picture);
    raster = std::move(picture);
    return notes;
}

}  // namespace picbatch
