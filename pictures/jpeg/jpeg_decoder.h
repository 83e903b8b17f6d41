// Reading the header of JPEG data and decoding it into a Raster, through libjpeg with the
// binding's fixed parameters.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "pictures/band_pipeline.h"
#include "pictures/read_notes.h"

namespace picbatch {

class Raster;
struct JpegSettings;
struct PictureWindow;

struct JpegHeader {
    int width = 0;
    int height = 0;
    bool grayscale = false;    // a single colour component
    bool progressive = false;  // more than one scan
};

// Reads the header of bytes (at least one byte). Throws JpegError with libjpeg's code, and
// "JPEG error #41" for a picture of more than kMaxPicturePixels. Every JpegError of the
// functions here carries its cause (JpegError): data that ended before the picture did
// counts as cut short.
JpegHeader ReadJpegHeader(std::span<const std::uint8_t> bytes);

// Decodes bytes into picture (an empty Raster of form NoPixels) at the given settings:
// Bgr24 for colour output; Paletted8 with the colours in its table when colours are
// quantized (grayscale output or the 8-bit pixel format). Rows are decoded straight into
// the picture's store, top row first. Throws JpegError after the libjpeg object is destroyed;
// picture then holds the rows decoded so far. The notes say whether the data ended early (the
// picture is then filled in as libjpeg fills a cut-off file).
ReadNotes DecodeJpegPicture(std::span<const std::uint8_t> bytes, const JpegSettings& settings, Raster& picture);

// Called once with the decoded picture's width and height, before any rows.
using JpegSizeSink = std::function<void(int width, int height)>;
// Called with consecutive bands of rows, top row first: row i of the band starts at
// first + i x step and holds 3 x width bytes of blue, green, red.
using JpegRowSink = std::function<void(const std::uint8_t* first, std::int64_t step, int count)>;

// Decodes bytes as DecodeJpegPicture does, then converted to Bgr24 as Raster::SetPixelForm
// converts it, but hands the rows over a band at a time as libjpeg delivers them instead of
// keeping the picture: the full-size picture is never stored (with progressive display,
// which shows every scan, it is decoded whole and handed over in one band). The sinks may
// throw; the exception passes through once libjpeg's call has returned. Throws JpegError after
// the libjpeg object is destroyed; the rows handed over until then are all there is. The
// notes are DecodeJpegPicture's.
ReadNotes DecodeJpegRows(std::span<const std::uint8_t> bytes, const JpegSettings& settings, const JpegSizeSink& size,
                    const JpegRowSink& rows);

// The same for the file at path, read as the decoder needs it rather than whole: the same
// rows and errors as DecodeJpegRows(ReadFileBytes(path), ...), the file's being reported
// as they happen. Throws first ReadFileBytes's errors for a file that cannot be opened.
// For a picture of at least alongsideFromPixels pixels (kMinPixelsAlongside, band_pipeline.h,
// where a second thread pays), rows runs on a second thread, working on one band while the
// next is decoded
// (not with progressive display, which hands the picture over whole); its exception is
// raised as it would be on one thread, before any error of a later band's decoding. The
// notes are DecodeJpegPicture's.
ReadNotes DecodeJpegFileRows(const std::string& path, const JpegSettings& settings, const JpegSizeSink& size,
                        const JpegRowSink& rows, std::int64_t alongsideFromPixels = kNeverAlongside);

// DecodeJpegFileRows for the part window of the picture only (which must lie inside it): size
// gets the whole picture's size, rows the window's rows alone, each from the window's left
// column, with the same pixels as DecodeJpegFileRows gives there. Where libjpeg-turbo can
// decode a part with the whole picture's pixels (not for colour-quantized output), it decodes
// only the columns and rows around the window and reads the file no further than its last
// row: a file damaged or cut below them converts without notice.
ReadNotes DecodeJpegFileWindowRows(const std::string& path, const JpegSettings& settings, const PictureWindow& window,
                                   const JpegSizeSink& size, const JpegRowSink& rows,
                                   std::int64_t alongsideFromPixels = kNeverAlongside);

}  // namespace picbatch
