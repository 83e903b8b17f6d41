// Loading and resampling one source picture: the part of a conversion that the window's run
// and the command-line program share, so both write identical files.
#pragma once

#include <optional>
#include <string>

#include "batch/conversion_options.h"
#include "pictures/save_picture.h"

namespace picbatch {

class Raster;

struct PictureFormat;

// True when ConvertPicture hands the target rows of a width x height picture straight to
// output's encoder (with a source that decodes in bands) instead of storing the picture.
bool EncodesRows(const PictureFormat* output, int width, int height);

// Whether a JPEG file's decoding and the work on its rows may run on two threads side by
// side: a conversion then takes about as long as decoding alone, at the cost of a second
// processor core. Two takes the second thread only for pictures where it pays
// (kMinPixelsAlongside); TwoAtAnySize for every picture, for tests and benchmarks. The bytes
// written are the same either way.
enum class Threads { One, Two, TwoAtAnySize };

// Two when a processor core that this process may use would otherwise stay idle while jobs
// conversions run at once.
Threads ThreadsPerConversion(int jobs);

// What a conversion that succeeded has to tell besides.
struct ConversionNotes {
    // The source file ended before its picture did; the missing part was filled in (grey or
    // black) as it always is, and the file was written all the same.
    bool incompleteSource = false;
    // The source stored its pixels without loss (ReadNotes::lossless).
    bool losslessSource = false;
};

// Loads the picture at sourcePath into working and resamples it to exactly width x height;
// working then holds the 24-bit result (32-bit with alpha for a source with transparency),
// ready for SavePicture. Throws Error: "File not
// found" when no file is at sourcePath (or its name is not a picture's), otherwise the
// loader's and the resampler's messages. On failure working holds no result of this call
// that could be saved under the entry's name by mistake: it is left empty. notes, when given,
// is filled in on success.
void LoadAndResample(const std::string& sourcePath, int width, int height, Raster& working,
                     Threads threads = Threads::One, ConversionNotes* notes = nullptr);

// A whole conversion: LoadAndResample(sourcePath, width, height, working) and then
// SavePicture(working, destinationPath, mode), with the same file and the same errors in the
// same order. A JPEG file goes from the decoder through the resampler into the
// encoder a few rows at a time, so neither the full-size picture nor the result is ever
// stored; working is then left empty. Returns the path written, as SavePicture does; notes,
// when given, is filled in on success, alike on both roads.
// Under options: a source tagged as stored turned or mirrored is made upright before it is
// resampled (width x height is the upright picture's size), unless they keep the orientation.
// The source's RGB ICC profile goes into a JPEG output unchanged; an output that cannot carry
// it gets the pixels converted to sRGB. A JPEG output gets the source's EXIF block when they
// keep metadata (ExifForOutput). A source without tag and profile gives the same bytes as ever.
std::optional<std::string> ConvertPicture(const std::string& sourcePath, int width, int height,
                                          const std::string& destinationPath, OutputMode mode, Raster& working,
                                          Threads threads = Threads::One, ConversionNotes* notes = nullptr,
                                          const ConversionOptions& options = {});

}  // namespace picbatch
