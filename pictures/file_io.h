// File access for the picture readers and writers, with the user-visible error texts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// strerror(errnum) without trailing blanks, control characters and periods.
std::string SystemErrorText(int errnum);

// The path made absolute against the current folder (no symlinks resolved).
std::string AbsolutePath(const std::string& path);

// The whole file. Throws Error "Cannot open file "<absolute path>". <system text>" when it
// cannot be opened (also a folder or another non-regular file), "Stream read error" when
// reading fails, and "Out of system resources" for a file larger than 2 GiB, more than any
// picture within the size limits needs.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// Writes all of bytes to fd, resuming after short writes. Throws "Stream write error".
void WriteAllBytes(int fd, std::span<const std::uint8_t> bytes);

// Puts bytes at path, replacing any file there only once the new content is complete:
// writes a temporary file in the same folder, flushes it and renames it over path. The new
// file gets the permissions of an ordinarily created file (0666 less the umask). On any
// failure the old file is untouched and no temporary file remains.
// Throws "Cannot create file "<absolute path>". <system text>" when the file cannot be
// created (also when an existing file at path may not be written: its owner protected it),
// and "Stream write error" when writing fails part-way.
void ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

// True when a file (not a folder) exists at path.
bool FileExists(const std::string& path);
