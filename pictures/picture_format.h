// The picture formats the program reads and writes, one row each: the file-name extension
// that selects a format, its reader and writer, and what else the rest of the program asks of
// a format. Every rule that looks at a file name's extension, or that differs between formats,
// goes through this table; each format's own code lives in its folder (jpeg/, bmp/, ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pictures/encode_settings.h"
#include "pictures/picture_header.h"
#include "pictures/read_notes.h"
#include "pictures/row_sinks.h"

namespace picbatch {

class ByteSink;
class MetadataSink;
class Raster;
class RowEncoder;
struct PictureMetadata;
struct PictureWindow;

struct PictureFormat {
    // The format's name as users know it ("JPEG", "WebP"): the program's texts that list the
    // formats it converts are made of these names (FormatNameList).
    std::string_view name = {};
    // With its dot, in lower case: a name ending in it (in any case) is a picture of this
    // format, and output files of this format end in it unless their source's name ended in
    // otherExtension.
    std::string_view extension = {};
    // A second name ending of this format (".jpeg"), empty when there is none; a source named
    // so keeps it when written in its own format.
    std::string_view otherExtension = {};

    // Reads the file at path whole into a picture (the form is the format's choice), noting in
    // notes what it noticed (a file that ended before its pixels did). Throws Error with the
    // reader's message.
    Raster (*read)(const std::string& path, ReadNotes& notes) = nullptr;
    // Optional (nullptr): the bytes of a file holding picture (any form the format takes: with
    // or without alpha), for a format written whole rather than row by row, at settings where
    // the format is lossy. Throws Error.
    std::vector<std::uint8_t> (*encode)(const Raster& picture, const EncodeSettings& settings) = nullptr;
    // Optional (nullptr): the same without loss, for a format that is otherwise written lossy;
    // used for a source that was stored without loss (ReadNotes::lossless), whatever the
    // settings. Throws Error.
    std::vector<std::uint8_t> (*encodeLossless)(const Raster& picture) = nullptr;

    // Files of this format keep a picture's transparency (encode writes Bgra32 with its alpha).
    bool keepsAlpha = false;

    // Optional (nullptr): decodes the file at path as read() would, converted to Bgr24, but
    // hands the rows over in bands instead of keeping the picture (the band road); for a
    // picture of at least alongsideFromPixels pixels the row sink may run on a second thread.
    // Notes as read() notes them. A decoder may report an empty file as 0 x 0 with no rows.
    // Without it, pictures of this format are read whole.
    void (*decodeRows)(const std::string& path, const PictureSizeSink& size, const PictureRowSink& rows,
                       std::int64_t alongsideFromPixels, ReadNotes& notes) = nullptr;
    // Optional (nullptr): decodeRows for the part window of the stored picture only: size
    // gets the whole picture's size, then rows gets the window's rows alone, top row first,
    // each starting at the window's left column (3 x window.width bytes), with the pixels
    // decodeRows gives there. The rest of the picture may go undecoded. Without it, the
    // window is cut out of decodeRows's rows.
    void (*decodeWindowRows)(const std::string& path, const PictureWindow& window, const PictureSizeSink& size,
                             const PictureRowSink& rows, std::int64_t alongsideFromPixels, ReadNotes& notes) = nullptr;
    // Optional (nullptr, for a format written whole by encode): the writer of an encoding of
    // width x height at settings, fed row by row (top row first), its bytes written to out
    // (which must outlive it) as they are made. Throws Error.
    std::unique_ptr<RowEncoder> (*startRowEncoding)(int width, int height, const EncodeSettings& settings,
                                                    ByteSink& out) = nullptr;
    // Optional (nullptr: a few rows only), with startRowEncoding: what its encoder of width x
    // height at settings holds for the whole picture besides its rows (a progressive JPEG's
    // every coefficient), so that a run can budget it.
    std::int64_t (*rowEncodingBytes)(int width, int height, const EncodeSettings& settings) = nullptr;
    // The largest side startRowEncoding takes without failing; larger pictures take the
    // whole-picture road, so that their errors come in the same order on both.
    int maxRowEncodedSide = 0;
    // Optional (nullptr): reads only the header of the file at path and tells what decoding
    // it holds in memory, on either road, so that a run can budget its pictures before they
    // start. Throws Error for a header it cannot read (the conversion then reports the file's
    // own error).
    PictureHeader (*readHeader)(const std::string& path) = nullptr;
    // Optional (nullptr), with encode: what encoding a picture of pixels pixels (with alpha,
    // the costlier) holds at its peak besides the picture, so that a run can budget it.
    std::int64_t (*encodeBytes)(std::int64_t pixels) = nullptr;

    // Optional (nullptr): the orientation, ICC profile and EXIF block of the file at path;
    // none for a file that cannot be read or whose header is damaged (its conversion reports
    // the reader's error). Throws only std::bad_alloc. Without it, files of this format have
    // none.
    PictureMetadata (*readMetadata)(const std::string& path) = nullptr;
    // Optional (nullptr): a sink that puts an EXIF block (as a JPEG APP1 segment holds it,
    // from "Exif\0\0" on; may be empty) and an ICC profile (at most maxIccBytes; may be empty)
    // into this format's data on its way to out, which must outlive it; Finish it after the
    // encoder. Files of a format without it carry no metadata: a source's profile is applied
    // to the pixels instead (converted to sRGB). Throws std::invalid_argument for parts too
    // large.
    std::unique_ptr<MetadataSink> (*carryMetadata)(ByteSink& out, std::span<const std::uint8_t> exif,
                                                   std::span<const std::uint8_t> icc) = nullptr;
    // The largest ICC profile carryMetadata takes; a larger one is left out.
    std::size_t maxIccBytes = 0;
};

// The format of the file name at the end of path, by its extension in any case (only the
// part after the last "/" counts: a folder named "x.jpg" decides nothing); nullptr when the
// name is no picture's.
const PictureFormat* FormatOfName(std::string_view path);

// The extension (a row's extension or otherExtension, as the table spells it) that the file
// name at the end of path ends in; empty when the name is no picture's.
std::string_view ExtensionOfName(std::string_view path);

// Every row of the table, in its order.
std::span<const PictureFormat> PictureFormats();

// The row named name (PictureFormat::name, as the table spells it). Throws
// std::invalid_argument for a name no row has.
const PictureFormat& FormatOf(std::string_view name);

// The rows' names in the order of their bytes, joined by separator, the last two by
// lastSeparator: FormatNameList(", ", " and ") gives "BMP, JPEG, PNG and WebP".
std::string FormatNameList(std::string_view separator, std::string_view lastSeparator);

// The file of format holding picture (any form the format takes) written to out, at settings,
// or without loss where the format has the choice and losslessSource says the source had
// none; no bytes for an empty picture. Throws Error.
void EncodePicture(const PictureFormat& format, const Raster& picture, ByteSink& out, bool losslessSource = false,
                   const EncodeSettings& settings = {});

// EncodePicture's bytes in memory.
std::vector<std::uint8_t> EncodeToBytes(const PictureFormat& format, const Raster& picture,
                                        bool losslessSource = false, const EncodeSettings& settings = {});

}  // namespace picbatch
