// The binding's libjpeg error manager (see jpeg_error.h).
#include "pictures/jpeg/jpeg_error_manager.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>
#include <jerror.h>

namespace picbatch {

namespace {

extern "C" {

static void ErrorExit(j_common_ptr cinfo)
{
    FailJpeg(cinfo, cinfo->err->msg_code);
}

// Warnings and traces cost next to nothing: a corrupt file can raise a warning per block.
// The premature end and the warnings of corrupt data are noted (negative levels are
// warnings), so that such a picture can be reported; the decoding goes on as before.
static void EmitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0 || !cinfo->client_data)
        return;
    auto* jump = static_cast<JpegJump*>(cinfo->client_data);
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
        jump->endedEarly = true;
        break;
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        jump->corrupt = true;
        break;
    default:
        break;  // an unknown JFIF revision or Adobe transform: the pixels are as written
    }
}

static void OutputMessage(j_common_ptr) {}

static void FormatMessage(j_common_ptr, char* buffer)
{
    buffer[0] = '\0';
}

static void ResetErrorManager(j_common_ptr cinfo)
{
    cinfo->err->num_warnings = 0;
    cinfo->err->msg_code = 0;
}

}  // extern "C"

}  // namespace

jpeg_error_mgr* InitJpegErrorManager(jpeg_error_mgr* err) noexcept
{
    *err = jpeg_error_mgr{};
    err->error_exit = ErrorExit;
    err->emit_message = EmitMessage;
    err->output_message = OutputMessage;
    err->format_message = FormatMessage;
    err->reset_error_mgr = ResetErrorManager;
    err->trace_level = 0;
    err->jpeg_message_table = nullptr;
    err->last_jpeg_message = 0;
    err->addon_message_table = nullptr;
    return err;
}

void FailJpeg(jpeg_common_struct* cinfo, int code) noexcept
{
    auto* jump = static_cast<JpegJump*>(cinfo->client_data);
    jump->code = code;
    std::longjmp(jump->target, 1);
}

}  // namespace picbatch
