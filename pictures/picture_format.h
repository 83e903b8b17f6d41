// The picture formats the program reads and writes, one row each: the file-name extension
// that selects a format, and its reader and writer. Every rule that looks at a file name's
// extension goes through this table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pictures/read_notes.h"

namespace picbatch {

class ByteSink;
class Raster;
class RowEncoder;

enum class PictureKind { Jpeg, Bmp };

// Called once with a decoded picture's width and height, before any rows.
using PictureSizeSink = std::function<void(int width, int height)>;
// Called with consecutive bands of rows, top row first: row i of the band starts at
// first + i x step and holds 3 x width bytes of blue, green, red.
using PictureRowSink = std::function<void(const std::uint8_t* first, std::int64_t step, int count)>;

struct PictureFormat {
    PictureKind kind;
    // With its dot, in lower case: a name ending in it (in any case) is a picture of this
    // format, and output files of this format end in it.
    std::string_view extension;

    // Reads the file at path whole into a picture (the form is the format's choice), noting in
    // notes what it noticed (a file that ended before its pixels did). Throws Error with the
    // reader's message.
    Raster (*read)(const std::string& path, ReadNotes& notes);
    // Optional (nullptr): decodes the file at path as read() would, converted to Bgr24, but
    // hands the rows over in bands instead of keeping the picture; for a picture of at least
    // alongsideFromPixels pixels the row sink runs on a second thread. Notes as read() notes
    // them.
    void (*decodeRows)(const std::string& path, const PictureSizeSink& size, const PictureRowSink& rows,
                       std::int64_t alongsideFromPixels, ReadNotes& notes);
    // The writer: an encoding of width x height fed row by row (top row first), its bytes
    // written to out (which must outlive it) as they are made. Throws Error.
    std::unique_ptr<RowEncoder> (*startRowEncoding)(int width, int height, ByteSink& out);
    // The largest side startRowEncoding takes without failing; larger pictures take the
    // whole-picture road, so that their errors come in the same order on both.
    int maxRowEncodedSide;
};

// The format of the file name at the end of path, by its extension in any case (only the
// part after the last "/" counts: a folder named "x.jpg" decides nothing); nullptr when the
// name is no picture's.
const PictureFormat* FormatOfName(std::string_view path);

// The row of kind.
const PictureFormat& FormatOf(PictureKind kind);

// The file of format holding picture (any form that converts to Bgr24) written to out; no
// bytes for an empty picture. Throws Error.
void EncodePicture(const PictureFormat& format, const Raster& picture, ByteSink& out);

}  // namespace picbatch
