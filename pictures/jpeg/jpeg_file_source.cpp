// libjpeg source manager that reads compressed data from an open file as it is needed, so
// that a file is never held whole in memory.
#include "pictures/jpeg/jpeg_file_source.h"

#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>
#include <jerror.h>

#include "pictures/files/file_io.h"
#include "pictures/jpeg/jpeg_error_manager.h"
#include "pictures/jpeg/jpeg_source_support.h"

namespace picbatch {

namespace {

// Large enough that system calls cost nothing next to decoding, small enough to stay cached.
constexpr std::int64_t kBufferBytes = 64 * 1024;

struct FileSource {
    jpeg_source_mgr pub;  // first member: libjpeg sees only this part
    int fd;
    JpegFileReading* reading;
    JOCTET* buffer;
};

FileSource* SourceOf(j_decompress_ptr cinfo)
{
    return reinterpret_cast<FileSource*>(cinfo->src);
}

extern "C" {

static boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    FileSource* src = SourceOf(cinfo);
    const std::int64_t got = ReadSome(src->fd, src->buffer, kBufferBytes);
    if (got < 0)
        src->reading->failed = true;
    else if (src->reading->total + got > kMaxFileBytes)
        src->reading->tooLarge = true;
    if (got < 0 || src->reading->tooLarge)
        FailJpeg(reinterpret_cast<j_common_ptr>(cinfo), JERR_FILE_READ);
    if (got == 0) {
        if (src->reading->total == 0)
            FailJpeg(reinterpret_cast<j_common_ptr>(cinfo), JERR_INPUT_EMPTY);
        DeliverFakeEoi(cinfo);
        return TRUE;
    }
    src->reading->total += got;
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = static_cast<std::size_t>(got);
    return TRUE;
}

}  // extern "C"

}  // namespace

void AttachJpegFileSource(jpeg_decompress_struct* cinfo, int fd, JpegFileReading* reading) noexcept
{
    const auto common = reinterpret_cast<j_common_ptr>(cinfo);
    auto* src = static_cast<FileSource*>((*cinfo->mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(FileSource)));
    src->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(common, JPOOL_PERMANENT, kBufferBytes));
    InitSourceManager(src->pub, FillInputBuffer);
    src->fd = fd;
    src->reading = reading;
    cinfo->src = &src->pub;
}

}  // namespace picbatch
