// libjpeg destination manager that collects the compressed bytes in memory.
#include "pictures/jpeg_memory_destination.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>
#include <jerror.h>

#include "pictures/jpeg_error.h"

namespace picbatch {

namespace {

constexpr std::size_t kBufferBytes = 4096;

struct MemoryDestination {
    jpeg_destination_mgr pub;  // first member: libjpeg sees only this part
    std::vector<std::uint8_t>* out;
    JOCTET buffer[kBufferBytes];
};

MemoryDestination* DestinationOf(j_compress_ptr cinfo)
{
    return reinterpret_cast<MemoryDestination*>(cinfo->dest);
}

// Appends the first `count` buffered bytes. The vector may throw, and no exception may
// cross libjpeg's frames, so failure is reported by value and turned into a libjpeg error.
bool Flush(MemoryDestination* dest, std::size_t count) noexcept
{
    try {
        dest->out->insert(dest->out->end(), dest->buffer, dest->buffer + count);
        return true;
    } catch (...) {
        return false;
    }
}

extern "C" {

static void InitDestination(j_compress_ptr cinfo)
{
    MemoryDestination* dest = DestinationOf(cinfo);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBufferBytes;
}

static boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    MemoryDestination* dest = DestinationOf(cinfo);
    // libjpeg calls this with a full buffer, whatever free_in_buffer says.
    if (!Flush(dest, kBufferBytes))
        FailJpeg(reinterpret_cast<j_common_ptr>(cinfo), JERR_OUT_OF_MEMORY);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBufferBytes;
    return TRUE;
}

static void TermDestination(j_compress_ptr cinfo)
{
    MemoryDestination* dest = DestinationOf(cinfo);
    if (!Flush(dest, kBufferBytes - dest->pub.free_in_buffer))
        FailJpeg(reinterpret_cast<j_common_ptr>(cinfo), JERR_OUT_OF_MEMORY);
}

}  // extern "C"

}  // namespace

void AttachJpegMemoryDestination(jpeg_compress_struct* cinfo, std::vector<std::uint8_t>* out) noexcept
{
    auto* dest = static_cast<MemoryDestination*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(MemoryDestination)));
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyOutputBuffer;
    dest->pub.term_destination = TermDestination;
    dest->pub.next_output_byte = nullptr;
    dest->pub.free_in_buffer = 0;
    dest->out = out;
    cinfo->dest = &dest->pub;
}

}  // namespace picbatch
