// Carrying out one picture's plan: the part of a conversion that the window's run and the
// command-line program share, so both write identical files.
#pragma once

#include <cstdint>
#include <string>

#include "batch/conversion_plan.h"

namespace picbatch {

class Raster;

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
    // The decoder met damaged data and decoded on (ReadNotes::damaged).
    bool damagedSource = false;
    // The size of the output file written and of its picture; 0 when nothing was written.
    std::int64_t bytesWritten = 0;
    int writtenWidth = 0;
    int writtenHeight = 0;
};

// Loads the picture at sourcePath into working and resamples it to exactly width x height;
// working then holds the 24-bit result (32-bit with alpha for a source with transparency),
// ready for SavePicture. Throws Error: "File not
// found" when no file is at sourcePath (or its name is not a picture's), otherwise the
// loader's and the resampler's messages. On failure working holds no result of this call
// that could be saved under the entry's name by mistake: it is left empty. notes, when given,
// is filled in on success. The plan of a conversion that writes nothing.
void LoadAndResample(const std::string& sourcePath, int width, int height, Raster& working,
                     Threads threads = Threads::One, ConversionNotes* notes = nullptr);

// Converts as plan says (PlanConversion): loads and resamples the source on the plan's road
// and, where it has an output path, writes the output file through the safe replacement
// (OutputFile), with the same file and the same errors in the same order on every road as
// LoadAndResample then SavePicture: the file's and the decoder's first, then the
// resampler's, then the encoder's and the output file's. The plan's orientation turns the
// picture upright before it is resampled; its profile goes into a JPEG output unchanged or
// has the pixels converted to sRGB; its EXIF block, rewritten for the result
// (ExifForOutput), goes into a JPEG output. Returns what the conversion noticed besides.
ConversionNotes CarryOut(const ConversionPlan& plan);

}  // namespace picbatch
