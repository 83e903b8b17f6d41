// libjpeg source manager over compressed bytes held in memory.
#include "pictures/jpeg/jpeg_memory_source.h"

#include <algorithm>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>
#include <jerror.h>

#include "pictures/jpeg/jpeg_error_manager.h"
#include "pictures/jpeg/jpeg_source_support.h"

namespace picbatch {

namespace {

// Each refill hands libjpeg at most this many bytes, as a file-backed source would.
constexpr std::size_t kRefillBytes = 4096;

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
        DeliverFakeEoi(cinfo);
        return TRUE;
    }
    const std::size_t count = std::min(kRefillBytes, src->size - src->position);
    src->pub.next_input_byte = src->data + src->position;
    src->pub.bytes_in_buffer = count;
    src->position += count;
    return TRUE;
}

}  // extern "C"

}  // namespace

void AttachJpegMemorySource(jpeg_decompress_struct* cinfo, const std::uint8_t* data, std::size_t size) noexcept
{
    auto* src = static_cast<MemorySource*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(MemorySource)));
    InitSourceManager(src->pub, FillInputBuffer);
    src->pub.init_source = InitSource;
    src->data = data;
    src->size = size;
    src->position = 0;
    cinfo->src = &src->pub;
}

}  // namespace picbatch
