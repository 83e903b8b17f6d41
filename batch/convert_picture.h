// Loading and resampling one source picture: the part of a conversion that the window's run
// and the command-line program share, so both write identical files.
#pragma once

#include <optional>
#include <string>

#include "pictures/save_picture.h"

namespace picbatch {

class Raster;

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
};

// Loads the picture at sourcePath into working and resamples it to exactly width x height;
// working then holds the 24-bit result, ready for SavePicture. Throws Error: "File not
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
std::optional<std::string> ConvertPicture(const std::string& sourcePath, int width, int height,
                                          const std::string& destinationPath, OutputMode mode, Raster& working,
                                          Threads threads = Threads::One, ConversionNotes* notes = nullptr);

}  // namespace picbatch
