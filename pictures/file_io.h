// File access for the picture readers and writers, with the user-visible error texts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pictures/file_descriptor.h"

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

// The whole file. Throws Error "Cannot open file "<absolute path>". <system text>" when it
// cannot be opened (also a folder or another non-regular file), "Stream read error" when
// reading fails, and "Out of system resources" for a file larger than 2 GiB, more than any
// picture within the size limits needs. Each Error carries its cause where the system's
// error code tells it (FailureCause: file not found, access denied, too large, ...).
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// Writes all of bytes to fd, resuming after short writes. Throws "Stream write error. <system
// text>" ("Stream write error. No space left on device" on a full disk), with its cause.
void WriteAllBytes(int fd, std::span<const std::uint8_t> bytes);

// Puts bytes at path, replacing any file there only once the new content is complete:
// writes a temporary file in the same folder, flushes it and renames it over path. The new
// file gets the permissions of an ordinarily created file (0666 less the umask). On any
// failure the old file is untouched and no temporary file remains.
// Throws "Cannot create file "<absolute path>". <system text>" when the file cannot be
// created (also when an existing file at path may not be written: its owner protected it),
// and "Stream write error. <system text>" when writing or flushing fails part-way; both
// with their cause (a missing folder, access denied, a full or read-only disk, ...).
void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

// True when a file (not a folder) exists at path.
bool FileExists(const std::string& path);

}  // namespace picbatch
