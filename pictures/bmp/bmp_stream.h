// Reading a BMP file a band of rows at a time, top row first, without ever holding the file
// or its picture whole.
#pragma once

#include <cstdint>
#include <string>

#include "pictures/read_notes.h"
#include "pictures/row_sinks.h"

namespace picbatch {

class PositionalInput;

// The picture that ParseBmp reads from input's bytes, converted to Bgr24 as
// Raster::SetPixelForm converts it, handed to rows in bands, top row first, after size got
// its width and height; the same errors in the same order, except that no store of the whole
// picture is made, so none can run out of memory; the same notes. Rows that the file does not
// hold (its data ended early, or RLE codes left them out) come without being read, as a step
// of 0: one row repeated `count` times. Memory: a few bands of the file's rows and the RLE
// index (32 bytes a row). An empty input reports 0 x 0 and no rows, which the resampler
// refuses as it refuses ParseBmp's empty picture. Throws Error; the rows handed over until
// then are all there is.
ReadNotes DecodeBmpRows(PositionalInput& input, const PictureSizeSink& size, const PictureRowSink& rows);

// The bytes of the bands DecodeBmpRows keeps for a picture of width x height whose file rows
// take rowBytes each: the file's rows and their 24-bit form.
std::int64_t BmpBandBytes(std::int64_t rowBytes, int width, int height);

// DecodeBmpRows over the file at path, opened with ReadFileBytes's errors.
ReadNotes DecodeBmpFileRows(const std::string& path, const PictureSizeSink& size, const PictureRowSink& rows);

}  // namespace picbatch
