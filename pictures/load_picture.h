// Loading one source file into the working picture, by its name's extension.
#pragma once

#include <string>

namespace picbatch {

class Raster;
struct ReadNotes;

// Loads the file at path into working by the format of its name's extension (FormatOfName):
// a JPEG (".JPG", ".JPEG", any case) is decoded onto a 24-bit picture (8-bit in the 8-bit
// pixel format), a BMP is read in the file's own pixel form, a PNG or WebP into 24 bits, or
// 32 with alpha when it has transparency. Only the file name decides, never the folder part.
// Returns false, changing nothing, when no file exists at path or the name is no picture's. Throws Error on failure; working keeps what it held. notes, when given, gets
// what the reader noticed about a file it loaded (ReadNotes).
bool LoadPicture(const std::string& path, Raster& working, ReadNotes* notes = nullptr);

}  // namespace picbatch
