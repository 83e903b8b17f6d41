// libjpeg destination manager that hands the compressed bytes to a ByteSink as they come.
#pragma once

#include <exception>

struct jpeg_compress_struct;

namespace picbatch {

class ByteSink;

// Makes cinfo write its output to *sink from offset 0 on, through a 4096-byte buffer handed
// over when full and at the end. What the sink throws cannot cross libjpeg's frames: it is
// kept in *failure and the libjpeg call fails, for the caller to raise *failure once the step
// is over; std::bad_alloc is libjpeg's "insufficient memory" (54) and is not kept. sink and failure must outlive cinfo's use of
// them. Run it inside a JpegStep: it allocates from libjpeg's pools.
void AttachJpegSinkDestination(jpeg_compress_struct* cinfo, ByteSink* sink, std::exception_ptr* failure) noexcept;

}  // namespace picbatch
