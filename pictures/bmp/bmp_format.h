// What the format table's BMP row points at: the BMP reader, band decoder, row encoder and
// colour space as the rest of the program asks for them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pictures/picture_metadata.h"
#include "pictures/read_notes.h"
#include "pictures/row_sinks.h"

namespace picbatch {

class ByteSink;
class Raster;
class RowEncoder;
struct EncodeSettings;

// The file at path read whole (ReadBmp), in the file's own pixel form.
Raster ReadBmpFile(const std::string& path, ReadNotes& notes);

// DecodeBmpFileRows; always on the calling thread (alongsideFromPixels is ignored).
void DecodeBmpFileBands(const std::string& path, const PictureSizeSink& size, const PictureRowSink& rows,
                        std::int64_t alongsideFromPixels, ReadNotes& notes);

// A BmpRowEncoder; BMP files are written without loss, whatever the settings.
std::unique_ptr<RowEncoder> StartBmpRowEncoding(int width, int height, const EncodeSettings& settings,
                                                ByteSink& out);

// The file's colour space as its ICC profile (ReadBmpProfile); BMP files have no orientation
// and no EXIF block.
PictureMetadata ReadBmpMetadata(const std::string& path);

}  // namespace picbatch
