// What libjpeg source managers of the binding share: the end of a cut-off file and skipping.
#pragma once

struct jpeg_decompress_struct;
struct jpeg_source_mgr;

namespace picbatch {

// libjpeg's fill_input_buffer (its boolean is an int).
using JpegFillFunction = int (*)(jpeg_decompress_struct*);

// Hands libjpeg an EOI marker in place of the missing rest of a cut-off file, with libjpeg's
// "premature end" warning, so that decoding ends normally with what was read.
void DeliverFakeEoi(jpeg_decompress_struct* cinfo) noexcept;

// Fills a source manager's functions for a source whose refills, by fill, never suspend:
// skipping refills as needed, starting and ending do nothing, and the buffer starts empty.
void InitSourceManager(jpeg_source_mgr& pub, JpegFillFunction fill) noexcept;

}  // namespace picbatch
