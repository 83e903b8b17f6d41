// libjpeg source manager over compressed bytes held in memory.
#pragma once

#include <cstddef>
#include <cstdint>

struct jpeg_decompress_struct;

namespace picbatch {

// Makes cinfo read data[0, size) in 4096-byte portions. An input with no bytes at all fails
// with libjpeg's "empty input" (42); a premature end delivers an EOI marker so that decoding
// ends normally with what was read. The bytes must outlive cinfo's use of them. Run it
// inside a JpegStep: it allocates from libjpeg's pools.
void AttachJpegMemorySource(jpeg_decompress_struct* cinfo, const std::uint8_t* data, std::size_t size) noexcept;

}  // namespace picbatch
