// WebP files for tests: an animation of two frames made by libwebpmux's animation encoder.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include <webp/encode.h>
#include <webp/mux.h>

namespace picbatch {

// The bytes of a lossless animated WebP of two width x height frames, red then blue.
inline std::vector<std::uint8_t> AnimatedWebp(int width, int height)
{
    WebPAnimEncoderOptions options;
    WebPConfig config;
    WebPPicture frame;
    if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config) || !WebPPictureInit(&frame))
        throw std::runtime_error("libwebp version mismatch");
    config.lossless = 1;
    frame.use_argb = 1;
    frame.width = width;
    frame.height = height;
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(width, height, &options);
    bool ok = encoder && WebPPictureAlloc(&frame);
    int timestamp = 0;
    for (const std::uint32_t color : {0xFFFF0000u, 0xFF0000FFu}) {
        for (int y = 0; ok && y < height; ++y)
            for (int x = 0; x < width; ++x)
                frame.argb[y * frame.argb_stride + x] = color;
        ok = ok && WebPAnimEncoderAdd(encoder, &frame, timestamp, &config);
        timestamp += 100;
    }
    ok = ok && WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr);
    WebPData data;
    WebPDataInit(&data);
    ok = ok && WebPAnimEncoderAssemble(encoder, &data);
    std::vector<std::uint8_t> bytes(data.bytes, data.bytes + (ok ? data.size : 0));
    WebPDataClear(&data);
    WebPPictureFree(&frame);
    WebPAnimEncoderDelete(encoder);
    if (!ok)
        throw std::runtime_error("the animation could not be made");
    return bytes;
}

}  // namespace picbatch
