// libjpeg destination manager that hands the compressed bytes to a ByteSink as they come.
#include "pictures/jpeg/jpeg_sink_destination.h"

#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <new>
#include <span>

#include <jpeglib.h>
#include <jerror.h>

#include "pictures/byte_sink.h"
#include "pictures/jpeg/jpeg_error_manager.h"

namespace picbatch {

namespace {

constexpr std::size_t kBufferBytes = 4096;

// Allocated in libjpeg's pool, which never runs destructors: only trivially destructible
// members.
struct SinkDestination {
    jpeg_destination_mgr pub;  // first member: libjpeg sees only this part
    ByteSink* sink;
    std::exception_ptr* failure;
    std::int64_t written;  // bytes handed to the sink so far
    JOCTET buffer[kBufferBytes];
};

SinkDestination* DestinationOf(j_compress_ptr cinfo)
{
    return reinterpret_cast<SinkDestination*>(cinfo->dest);
}

// Hands over the first `count` buffered bytes. The sink may throw, and no exception may
// cross libjpeg's frames, so failure is kept and reported by value. Memory running out is
// libjpeg's own "insufficient memory", as for its other allocations.
bool Flush(SinkDestination* dest, std::size_t count) noexcept
{
    try {
        dest->sink->WriteAt(dest->written, std::span<const std::uint8_t>(dest->buffer, count));
        dest->written += static_cast<std::int64_t>(count);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (...) {
        *dest->failure = std::current_exception();
        return false;
    }
}

extern "C" {

static void InitDestination(j_compress_ptr cinfo)
{
    SinkDestination* dest = DestinationOf(cinfo);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBufferBytes;
}

static boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    SinkDestination* dest = DestinationOf(cinfo);
    // libjpeg calls this with a full buffer, whatever free_in_buffer says.
    if (!Flush(dest, kBufferBytes))
        FailJpeg(reinterpret_cast<j_common_ptr>(cinfo), JERR_OUT_OF_MEMORY);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBufferBytes;
    return TRUE;
}

static void TermDestination(j_compress_ptr cinfo)
{
    SinkDestination* dest = DestinationOf(cinfo);
    if (!Flush(dest, kBufferBytes - dest->pub.free_in_buffer))
        FailJpeg(reinterpret_cast<j_common_ptr>(cinfo), JERR_OUT_OF_MEMORY);
}

}  // extern "C"

}  // namespace

void AttachJpegSinkDestination(jpeg_compress_struct* cinfo, ByteSink* sink, std::exception_ptr* failure) noexcept
{
    auto* dest = static_cast<SinkDestination*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(SinkDestination)));
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyOutputBuffer;
    dest->pub.term_destination = TermDestination;
    dest->pub.next_output_byte = nullptr;
    dest->pub.free_in_buffer = 0;
    dest->sink = sink;
    dest->failure = failure;
    dest->written = 0;
    cinfo->dest = &dest->pub;
}

}  // namespace picbatch
