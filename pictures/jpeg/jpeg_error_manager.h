// The binding's libjpeg error manager: a libjpeg error jumps back into the binding, which
// throws only after the libjpeg object is gone; of the warnings a premature end of the data
// and corrupt data are noted, the others and all traces are dropped.
#pragma once

#include <csetjmp>

struct jpeg_common_struct;
struct jpeg_error_mgr;

namespace picbatch {

// Where a libjpeg error lands. Each libjpeg object's client_data points at its own
// JpegJump; error_exit records the message code there and longjmps to `target`.
struct JpegJump {
    std::jmp_buf target;
    int code = 0;
    // The data ended before the decoder was done with it (libjpeg's "premature end of JPEG
    // file" warning): the source manager made up an end, and libjpeg filled in what was missing.
    bool endedEarly = false;
    // libjpeg warned of corrupt data (a bad Huffman code, bytes where a marker belongs, a
    // missing restart marker, a segment ended early, ...) and decoded on: parts of the
    // picture may be wrong.
    bool corrupt = false;
};

// Fills err with the binding's handlers (trace level 0, no message texts) and returns it,
// ready for the libjpeg object's `err` field.
jpeg_error_mgr* InitJpegErrorManager(jpeg_error_mgr* err) noexcept;

// Ends the libjpeg call in progress with `code`, exactly as a libjpeg error would. Only
// for callbacks running inside a JpegStep.
[[noreturn]] void FailJpeg(jpeg_common_struct* cinfo, int code) noexcept;

// Runs `work`, a piece of libjpeg work, and returns false (with jump.code set) when libjpeg
// raised an error inside it. longjmp skips destructors, so `work` must neither throw nor
// keep locals that are not trivially destructible; the libjpeg object itself lives in the
// caller's frame, so nothing below the setjmp is clobbered.
template <class Work>
bool JpegStep(JpegJump& jump, Work&& work) noexcept
{
    if (setjmp(jump.target) != 0)
        return false;
    work();
    return true;
}

}  // namespace picbatch
