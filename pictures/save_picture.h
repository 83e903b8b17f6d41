// Saving the working picture in its output format under the output name, replacing safely.
#pragma once

#include <optional>
#include <string>

namespace picbatch {

class Raster;
struct PictureFormat;

enum class OutputMode { KeepFormat = 1, Jpeg = 2, Bmp = 3 };

// The format SavePicture(path, mode) writes: the mode's, or for KeepFormat the format of
// path's file name (nullptr when that is no picture's).
const PictureFormat* OutputFormatFor(const std::string& path, OutputMode mode);

// The file that SavePicture(path, mode) writes: path without its extension (its last four
// characters when the name is no picture's), plus the output format's extension ("A.JPG"
// becomes "A.jpg" or "A.bmp"), or the table's spelling of the name's own extension when the
// output format is the name's ("A.JPEG" becomes "A.jpeg"); std::nullopt when nothing would be
// written (no output format, or a file name shorter than the part to replace). Only the file
// name decides.
std::optional<std::string> OutputPathFor(const std::string& path, OutputMode mode);

// Encodes picture into an OutputFile (output_file.h) at OutputPathFor(path, mode) and commits
// it; without loss where the format has the choice and losslessSource says the source had
// none (ReadNotes::lossless). Returns the path written, or std::nullopt when nothing was
// written. Throws Error: the encoder's first, then the file's; an existing file is untouched
// on every failure.
std::optional<std::string> SavePicture(const Raster& picture, const std::string& path, OutputMode mode,
                                       bool losslessSource = false);

}  // namespace picbatch
