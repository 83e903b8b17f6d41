// The plan of one picture's conversion, made once from the source's header and metadata and
// the run's request before anything is decoded: where the picture is written, which road it
// takes and what that road holds at its peak. The conversion carries the plan out and the
// memory budget reads its estimate; neither decides again.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "batch/conversion_request.h"
#include "imaging/canvas.h"
#include "imaging/orientation.h"
#include "imaging/picture_window.h"
#include "imaging/resample_path.h"
#include "pictures/encode_settings.h"
#include "pictures/picture_header.h"

namespace picbatch {

struct PictureFormat;

// Whether a JPEG file's decoding and the work on its rows may run on two threads side by
// side: a conversion then takes about as long as decoding alone, at the cost of a second
// processor core. Two takes the second thread only for pictures where it pays
// (kMinPixelsAlongside); TwoAtAnySize for every picture, for tests and benchmarks. The bytes
// written are the same either way.
enum class Threads { One, Two, TwoAtAnySize };

// How the picture goes from the source file to the output file.
enum class ConversionRoad {
    // Decoded in bands, resampled as the bands come and each target row handed to the
    // output's row encoder: neither the full-size picture nor the result is stored.
    Streamed,
    // Decoded in bands and resampled as they come into the whole target picture, which is
    // then encoded.
    BandsIntoTarget,
    // Read whole, resampled whole, encoded whole.
    Whole,
};

// What becomes of the source's colour profile.
enum class ColourHandling {
    None,          // no RGB profile: the pixels are taken as they are
    ProfileKept,   // the profile goes into the output, the pixels unchanged
    ToSrgb,        // the output cannot carry it: the result's pixels are converted to sRGB
};

// The file a picture is written to and its format; no path when nothing is written (no
// output format, or a name too short to replace its extension: OutputPathFor).
struct PlannedOutput {
    std::optional<std::string> path;
    const PictureFormat* format = nullptr;  // set with path
};

// The canvas colour of background for output files of format (none: no alpha kept):
// transparent where the format keeps alpha and the background is automatic or transparent,
// white where it is transparent but the format keeps none.
CanvasColour CanvasColourFor(const Background& background, const PictureFormat* format);

// PlannedOutput of the destination path before the saver picks the extension.
PlannedOutput OutputFor(const std::string& destinationPath, OutputMode mode);

struct ConversionPlan {
    std::string sourcePath;
    // The source's format by its name; nullptr for a name that is no picture's.
    const PictureFormat* source = nullptr;
    PlannedOutput output;
    ConversionRequest request;
    Threads threads = Threads::One;

    // The source's header, when it could be read and its picture is within the size limits;
    // otherwise the conversion meets and reports the file's error.
    std::optional<PictureHeader> header;
    // How the stored picture is turned upright before it is resampled.
    Orientation orientation = Orientation::Normal;
    // The upright picture's size (0 x 0 without a header) and the size its window is
    // resampled to (FitSize, batch/fitted_size.h).
    int uprightWidth = 0;
    int uprightHeight = 0;
    int width = 0;
    int height = 0;
    // The part of the upright picture that is resampled (the whole picture but for a cover),
    // and the same part of the stored picture, which the decoder is asked for.
    PictureWindow window;
    PictureWindow storedWindow;
    // The output picture: the resampled one at left, top on a canvas of background (a pad),
    // otherwise width x height itself.
    int canvasWidth = 0;
    int canvasHeight = 0;
    int left = 0;
    int top = 0;
    CanvasColour background;
    // The sizes computed for this picture pass the picture limits: it fails as too large.
    bool targetTooLarge = false;
    // The sizes depend on the picture, whose header could not be read: they are computed
    // once it is loaded, on the whole road.
    bool sizedWhenLoaded = false;

    ColourHandling colour = ColourHandling::None;
    // The source's RGB profile (ProfileKept, ToSrgb), and the EXIF block that goes into the
    // output (rewritten for the result as it is written); empty where there is none.
    std::vector<std::uint8_t> iccProfile;
    std::vector<std::uint8_t> exif;
    // What reading the metadata threw (no memory); the conversion raises it where the
    // metadata is used, before anything is decoded.
    std::exception_ptr metadataFailure;

    // How the output is encoded: the options' quality and progression.
    EncodeSettings encoding;

    ConversionRoad road = ConversionRoad::Whole;
    // The resampler's path: the fastest this processor runs, or the reference where the
    // vectorised path refuses the weight lists of these sizes (its 16-bit arithmetic could
    // not reproduce them); the reference keeps the whole picture it resamples.
    ResamplePath resamplePath = ResamplePath::Reference;
    // The source's band decoder decodes the picture whole before handing it over (a JPEG
    // under progressive display, PictureHeader::bandsDecodedWhole).
    bool sourceDecodedWhole = false;
    // The target rows come out of the resampler in an order other than the result's (a turn
    // or an upside-down tag): the whole target is kept until the last source row.
    bool targetKeptWhole = false;

    // The conversion's peak memory as this road takes it (EstimatePeak, peak_estimate.h).
    std::int64_t peakBytes = 0;
};

// Sets plan's sizes, windows and canvas for an upright uprightWidth x uprightHeight picture
// under its request (FitSize), the stored window through its orientation.
void PlanSizes(ConversionPlan& plan, int uprightWidth, int uprightHeight);

// The plan of converting the picture at sourcePath into output under request, on threads.
// Never throws but std::bad_alloc: a header that cannot be read gives a plan without one
// (estimated at kConversionBaseBytes), metadata that cannot be read none; the conversion then
// reports the file's own errors in their order. With no output path, the plan only loads and
// resamples the picture, and reads no metadata.
ConversionPlan PlanConversion(const std::string& sourcePath, const PlannedOutput& output,
                              const ConversionRequest& request, Threads threads = Threads::One);

// The same for the destination path before the saver picks the extension (OutputFor).
ConversionPlan PlanConversion(const std::string& sourcePath, const std::string& destinationPath,
                              const ConversionRequest& request, Threads threads = Threads::One);

}  // namespace picbatch
