// libjpeg destination manager that collects the compressed bytes in memory.
#pragma once

#include <cstdint>
#include <vector>

struct jpeg_compress_struct;

namespace picbatch {

// Makes cinfo append its output to *out, through a 4096-byte buffer flushed when full and at
// the end. Running out of memory fails with libjpeg's "insufficient memory" (54). *out must
// outlive cinfo's use of it. Run it inside a JpegStep: it allocates from libjpeg's pools.
void AttachJpegMemoryDestination(jpeg_compress_struct* cinfo, std::vector<std::uint8_t>* out) noexcept;

}  // namespace picbatch
