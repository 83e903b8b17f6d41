// libjpeg source manager that reads compressed data from an open file as it is needed.
#pragma once

#include <cstdint>

struct jpeg_decompress_struct;

namespace picbatch {

// How reading went, for the error to raise when a decode fails.
struct JpegFileReading {
    bool failed = false;    // read(2) failed: "Stream read error"
    bool tooLarge = false;  // more than kMaxFileBytes: "Out of system resources"
    std::int64_t total = 0; // bytes read so far
};

// Makes cinfo read from fd in 64 KiB portions. An input with no bytes at all fails with
// libjpeg's "empty input" (42); a premature end delivers an EOI marker so that decoding ends
// normally with what was read; a failing read, or more than kMaxFileBytes, fails with
// libjpeg's "read error" after noting it in reading. fd and reading must outlive cinfo's
// use of them. Run it inside a JpegStep: it allocates from libjpeg's pools.
void AttachJpegFileSource(jpeg_decompress_struct* cinfo, int fd, JpegFileReading* reading) noexcept;

}  // namespace picbatch
