// File access for the picture readers and writers, with the user-visible error texts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/error.h"
#include "pictures/files/file_descriptor.h"

namespace picbatch {

// strerror(errnum) without trailing blanks, control characters and periods.
std::string SystemErrorText(int errnum);

// The path made absolute against the current folder (no symlinks resolved).
std::string AbsolutePath(const std::string& path);

// The largest file read: a 32-bit BMP at the picture limit (16384 x 16384) holds 1 GiB of
// pixels; twice that leaves room for any header, gap or JPEG of an allowed picture.
inline constexpr std::int64_t kMaxFileBytes = std::int64_t{2} << 30;

// A regular file open for reading, and its size when it was opened.
struct OpenedFile {
    FileDescriptor descriptor;
    std::int64_t size;
};

// The regular file at path opened for reading, with ReadFileBytes's errors for a file that
// cannot be opened and for one larger than kMaxFileBytes.
OpenedFile OpenFileForReading(const std::string& path);

// read(2) of up to size bytes, resumed when interrupted by a signal: the count read, 0 at
// the end of the file, -1 on an error (errno tells which).
std::int64_t ReadSome(int fd, std::uint8_t* buffer, std::int64_t size) noexcept;

// Up to size bytes from the current position of fd (fewer at the end of the file). Throws
// Error "Stream read error" when reading fails.
std::vector<std::uint8_t> ReadFileStart(int fd, std::int64_t size);

// The whole file. Throws Error "Cannot open file "<absolute path>". <system text>" when it
// cannot be opened (also a folder or another non-regular file), "Stream read error" when
// reading fails, and "Out of system resources" for a file larger than 2 GiB, more than any
// picture within the size limits needs. Each Error carries its cause where the system's
// error code tells it (FailureCause: file not found, access denied, too large, ...).
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// Writes all of bytes to fd at offset (pwrite), resuming after short writes. Throws "Stream
// write error. <system text>" ("Stream write error. No space left on device" on a full disk),
// with its cause.
void WriteAllBytesAt(int fd, std::int64_t offset, std::span<const std::uint8_t> bytes);

// "Cannot create file "<absolute path>". <system text>", with the cause errnum tells.
Error CannotCreateFile(const std::string& path, int errnum);

// "Stream write error. <system text>", with the cause errnum tells.
Error StreamWriteFailed(int errnum);

// True when a file (not a folder) exists at path. Paths of any length work here and in the
// readers above.
bool FileExists(const std::string& path);

}  // namespace picbatch
