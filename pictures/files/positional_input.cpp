// Reading bytes at an offset from memory or from a file.
#include "pictures/files/positional_input.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "imaging/error.h"

namespace picbatch {

namespace {

void RequireInside(std::int64_t offset, std::int64_t count, std::int64_t size)
{
    if (offset < 0 || count < 0 || count > size - offset)
        throw Error(kStreamReadError);
}

}  // namespace

void MemoryInput::ReadAt(std::int64_t offset, std::uint8_t* out, std::int64_t count)
{
    RequireInside(offset, count, Size());
    if (count > 0)
        std::memcpy(out, m_bytes.data() + offset, static_cast<std::size_t>(count));
}

void FileInput::ReadAt(std::int64_t offset, std::uint8_t* out, std::int64_t count)
{
    RequireInside(offset, count, Size());
    while (count > 0) {
        const ssize_t got = ::pread(m_file.descriptor.Get(), out, static_cast<std::size_t>(count), offset);
        if (got < 0 && errno == EINTR)
            continue;
        // The end of the file before the bytes its size promised: it shrank while being read.
        if (got <= 0)
            throw Error(kStreamReadError);
        out += got;
        offset += got;
        count -= got;
    }
}

}  // namespace picbatch
