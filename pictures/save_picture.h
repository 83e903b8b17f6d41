// Saving the working picture as JPEG or BMP under the output name, replacing safely.
#pragma once

#include <optional>
#include <string>

class Raster;

enum class OutputMode { KeepFormat = 1, Jpeg = 2, Bmp = 3 };

// The file that SavePicture(path, mode) writes: path without its last four characters,
// plus ".jpg" or ".bmp"; std::nullopt when nothing would be written (mode KeepFormat and a
// name ending in neither ".JPG" nor ".BMP", or a file name shorter than four characters).
// Only the file name decides the format.
std::optional<std::string> OutputPathFor(const std::string& path, OutputMode mode);

// Encodes picture completely in memory and puts it at OutputPathFor(path, mode) with
// ReplaceFile. Returns the path written, or std::nullopt when nothing was written.
// Throws Error; an existing file is untouched on every failure.
std::optional<std::string> SavePicture(const Raster& picture, const std::string& path, OutputMode mode);
