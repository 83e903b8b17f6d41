// Tests' reference encoder: a picture compressed by libjpeg itself, so decoders meet files of
// every layout and encoders have a stream to be compared with.
#pragma once

#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>
#include <functional>
#include <vector>

#include <jpeglib.h>

namespace picbatch {

// Writes the `components` samples of pixel (x, y) to `samples`.
using SampleFn = std::function<void(int x, int y, std::uint8_t* samples)>;
// Adjusts the parameters after jpeg_set_defaults, or writes markers after jpeg_start_compress.
using CompressSetup = std::function<void(jpeg_compress_struct&)>;

inline std::vector<std::uint8_t> LibjpegCompress(int width, int height, int components, J_COLOR_SPACE space,
                                                 const SampleFn& sample, const CompressSetup& setup = {},
                                                 const CompressSetup& markers = {})
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    if (setup)
        setup(cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (markers)
        markers(cinfo);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * static_cast<std::size_t>(components));
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < width; ++x)
            sample(x, static_cast<int>(cinfo.next_scanline), &row[static_cast<std::size_t>(x) * components]);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    jpeg_destroy_compress(&cinfo);
    return out;
}

// A colour picture of width x height with a pattern in every channel, compressed by libjpeg.
inline std::vector<std::uint8_t> PatternJpeg(int width, int height, const CompressSetup& setup = {})
{
    return LibjpegCompress(width, height, 3, JCS_RGB,
                           [](int x, int y, std::uint8_t* rgb) {
                               rgb[0] = static_cast<std::uint8_t>(x * 7);
                               rgb[1] = static_cast<std::uint8_t>(y * 3);
                               rgb[2] = static_cast<std::uint8_t>(x ^ y);
                           },
                           setup);
}

}  // namespace picbatch
