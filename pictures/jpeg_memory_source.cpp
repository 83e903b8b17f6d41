// libjpeg source manager over compressed bytes held in memory.
#include "pictures/jpeg_memory_source.h"

#include <algorithm>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>
#include <jerror.h>

#include "pictures/jpeg_error.h"

namespace {

// Each refill hands libjpeg at most this many bytes, as a file-backed source would.
constexpr std::size_t kRefillBytes = 4096;

// Stands in for the missing rest of a cut-off file: an EOI marker (0xFF 0xD9).
const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

struct MemorySource {
    jpeg_source_mgr pub;  // first member: libjpeg sees only this part
    const JOCTET* data;
    std::size_t size;
    std::size_t position;  // bytes handed to libjpeg so far
};

MemorySource* SourceOf(j_decompress_ptr cinfo)
{
    return reinterpret_cast<MemorySource*>(cinfo->src);
}

extern "C" {

static void InitSource(j_decompress_ptr cinfo)
{
    SourceOf(cinfo)->position = 0;
}

static boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    MemorySource* src = SourceOf(cinfo);
    if (src->position >= src->size) {
        if (src->position == 0)
            FailJpeg(reinterpret_cast<j_common_ptr>(cinfo), JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->pub.next_input_byte = kFakeEoi;
        src->pub.bytes_in_buffer = sizeof kFakeEoi;
        return TRUE;
    }
    const std::size_t count = std::min(kRefillBytes, src->size - src->position);
    src->pub.next_input_byte = src->data + src->position;
    src->pub.bytes_in_buffer = count;
    src->position += count;
    return TRUE;
}

static void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    auto remaining = static_cast<std::size_t>(count);
    while (remaining > src->bytes_in_buffer) {
        remaining -= src->bytes_in_buffer;
        FillInputBuffer(cinfo);  // never suspends: at the end it delivers the fake EOI
    }
    src->next_input_byte += remaining;
    src->bytes_in_buffer -= remaining;
}

static void TermSource(j_decompress_ptr) {}

}  // extern "C"

}  // namespace

void AttachJpegMemorySource(jpeg_decompress_struct* cinfo, const std::uint8_t* data, std::size_t size) noexcept
{
    auto* src = static_cast<MemorySource*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(MemorySource)));
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInputBuffer;
    src->pub.skip_input_data = SkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.next_input_byte = nullptr;
    src->pub.bytes_in_buffer = 0;
    src->data = data;
    src->size = size;
    src->position = 0;
    cinfo->src = &src->pub;
}
