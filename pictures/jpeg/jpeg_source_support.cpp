// What libjpeg source managers of the binding share.
#include "pictures/jpeg/jpeg_source_support.h"

#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <type_traits>

#include <jpeglib.h>
#include <jerror.h>

namespace picbatch {

static_assert(std::is_same_v<boolean, int>, "JpegFillFunction assumes libjpeg's boolean is an int");

namespace {

// Stands in for the missing rest of a cut-off file: an EOI marker (0xFF 0xD9).
const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

extern "C" {

static void SkipByRefilling(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    auto remaining = static_cast<std::size_t>(count);
    while (remaining > src->bytes_in_buffer) {
        remaining -= src->bytes_in_buffer;
        (*src->fill_input_buffer)(cinfo);  // never suspends: at the end it delivers the fake EOI
    }
    src->next_input_byte += remaining;
    src->bytes_in_buffer -= remaining;
}

static void DoNothing(j_decompress_ptr) {}

}  // extern "C"

}  // namespace

void DeliverFakeEoi(jpeg_decompress_struct* cinfo) noexcept
{
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = kFakeEoi;
    cinfo->src->bytes_in_buffer = sizeof kFakeEoi;
}

void InitSourceManager(jpeg_source_mgr& pub, JpegFillFunction fill) noexcept
{
    pub.init_source = DoNothing;
    pub.fill_input_buffer = fill;
    pub.skip_input_data = SkipByRefilling;
    pub.resync_to_restart = jpeg_resync_to_restart;
    pub.term_source = DoNothing;
    pub.next_input_byte = nullptr;
    pub.bytes_in_buffer = 0;
}

}  // namespace picbatch
