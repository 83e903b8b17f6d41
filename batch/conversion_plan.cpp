// Making a picture's plan: the one place where its output, its road and its resampler path
// are decided, and where the fallbacks of the lower layers are asked about ahead.
#include "batch/conversion_plan.h"

#include <map>
#include <mutex>
#include <new>
#include <utility>

#include "batch/fitted_size.h"
#include "batch/peak_estimate.h"
#include "imaging/lanczos_contributors.h"
#include "imaging/limits.h"
#include "imaging/oriented_resample_stream.h"
#include "imaging/resample_vector.h"
#include "pictures/files/file_io.h"
#include "pictures/picture_format.h"
#include "pictures/read_picture_metadata.h"
#include "pictures/srgb_conversion.h"

namespace picbatch {

namespace {

// Whether output files of format carry the source's profile and EXIF block; the pixels of
// other formats are converted to sRGB instead, and they get no EXIF block.
bool CarriesMetadata(const PictureFormat& format)
{
    return format.carryMetadata != nullptr;
}

// True when the vectorised resampler takes the weights of a line of n pixels resampled to m:
// the same lists and the same test (PackAxis) as when it is made, so the resampler never
// falls back to the reference behind the plan. Lists read from the far end hold the same
// weights, and a line resampled to its own length always passes. Making the lists costs up
// to a millisecond or two, a few percent of a photograph's conversion: the answers are kept
// for the sizes met, which in a folder of photographs are few.
bool VectorPathTakes(int n, int m)
{
    // More sizes than a run meets; past it, the answers start afresh.
    constexpr std::size_t kKeptAnswers = 1024;
    static std::mutex mutex;
    static std::map<std::pair<int, int>, bool> answers;
    {
        const std::lock_guard lock(mutex);
        if (const auto known = answers.find({n, m}); known != answers.end())
            return known->second;
    }
    bool takes = true;
    try {
        takes = PackAxis(BuildContributors(n, m, AxisScale(n, m)), n, 1).has_value();
        const std::lock_guard lock(mutex);
        if (answers.size() >= kKeptAnswers)
            answers.clear();
        answers.emplace(std::pair{n, m}, takes);
    } catch (const std::bad_alloc&) {
        // The resampler, making the same lists, fails alike and says so.
    }
    return takes;
}

// The metadata the conversion takes over under the request's options: the orientation to
// apply, an RGB profile (others describe pixels the program does not make) carried or
// converted from, the EXIF block asked for where the output carries one.
void PlanMetadata(ConversionPlan& plan)
{
    const ConversionOptions& options = plan.request.options;
    PictureMetadata metadata = ReadPictureMetadata(plan.sourcePath);
    if (options.orientation == OrientationChoice::Apply)
        plan.orientation = metadata.orientation;
    const bool carries = CarriesMetadata(*plan.output.format);
    if (!metadata.iccProfile.empty() && IsRgbProfile(metadata.iccProfile)) {
        // A profile too large for the format's segments is left out; the pixels stay as they are.
        if (!carries)
            plan.colour = ColourHandling::ToSrgb;
        else if (metadata.iccProfile.size() <= plan.output.format->maxIccBytes)
            plan.colour = ColourHandling::ProfileKept;
        if (plan.colour != ColourHandling::None)
            plan.iccProfile = std::move(metadata.iccProfile);
    }
    if (carries && options.metadata != MetadataChoice::Drop)
        plan.exif = std::move(metadata.exif);
}

// The source's header where its format reads one and it is within the limits.
std::optional<PictureHeader> HeaderOf(const ConversionPlan& plan)
{
    if (!plan.source || !plan.source->readHeader)
        return std::nullopt;
    try {
        const PictureHeader header = plan.source->readHeader(plan.sourcePath);
        if (header.width < 1 || header.height < 1 || !PictureSizeAllowed(header.width, header.height))
            return std::nullopt;
        return header;
    } catch (...) {
        // Whatever reading the header met, the conversion meets again and reports.
        return std::nullopt;
    }
}

bool EncodesRows(const PictureFormat* output, int width, int height)
{
    return output && output->startRowEncoding && width <= output->maxRowEncodedSide
        && height <= output->maxRowEncodedSide;
}

}  // namespace

CanvasColour CanvasColourFor(const Background& background, const PictureFormat* format)
{
    switch (background.kind) {
    case Background::Kind::Colour:
        return {background.blue, background.green, background.red, 255};
    case Background::Kind::Automatic:
    case Background::Kind::Transparent:
        break;
    }
    if (format && format->keepsAlpha)
        return {255, 255, 255, 0};
    return {};
}

void PlanSizes(ConversionPlan& plan, int uprightWidth, int uprightHeight)
{
    plan.uprightWidth = uprightWidth;
    plan.uprightHeight = uprightHeight;
    const FittedSize fitted = FitSize(uprightWidth, uprightHeight, plan.request);
    plan.targetTooLarge = fitted.tooLarge;
    if (fitted.tooLarge)
        return;
    plan.width = fitted.width;
    plan.height = fitted.height;
    plan.window = fitted.window;
    const bool swaps = SwapsSides(plan.orientation);
    plan.storedWindow = StoredWindow(plan.orientation, swaps ? uprightHeight : uprightWidth,
                                     swaps ? uprightWidth : uprightHeight, fitted.window);
    plan.canvasWidth = fitted.canvasWidth;
    plan.canvasHeight = fitted.canvasHeight;
    plan.left = fitted.left;
    plan.top = fitted.top;
}

PlannedOutput OutputFor(const std::string& destinationPath, OutputMode mode)
{
    PlannedOutput output;
    output.path = OutputPathFor(destinationPath, mode);
    if (output.path)
        output.format = OutputFormatFor(destinationPath, mode);
    return output;
}

ConversionPlan PlanConversion(const std::string& sourcePath, const PlannedOutput& output,
                              const ConversionRequest& request, Threads threads)
{
    ConversionPlan plan;
    plan.sourcePath = sourcePath;
    plan.source = FormatOfName(sourcePath);
    plan.output = output;
    if (!plan.output.path)
        plan.output.format = nullptr;
    plan.request = request;
    plan.threads = threads;
    plan.width = request.width;
    plan.height = request.height;
    plan.canvasWidth = request.width;
    plan.canvasHeight = request.height;
    plan.background = CanvasColourFor(request.options.background, plan.output.format);
    plan.encoding = {request.options.quality, request.options.progressive};

    if (plan.output.path) {
        try {
            PlanMetadata(plan);
        } catch (...) {
            plan.metadataFailure = std::current_exception();
        }
    }

    const bool dependent = SizeDependsOnPicture(request);
    plan.resamplePath = FastestResamplePath();
    if (dependent || (plan.width >= 1 && plan.height >= 1 && PictureSizeAllowed(plan.width, plan.height)))
        plan.header = HeaderOf(plan);
    if (plan.header) {
        const bool swaps = SwapsSides(plan.orientation);
        const int uprightWidth = swaps ? plan.header->height : plan.header->width;
        const int uprightHeight = swaps ? plan.header->width : plan.header->height;
        if (dependent) {
            PlanSizes(plan, uprightWidth, uprightHeight);
        } else {
            plan.uprightWidth = uprightWidth;
            plan.uprightHeight = uprightHeight;
            plan.window = {0, 0, uprightWidth, uprightHeight};
            plan.storedWindow = {0, 0, plan.header->width, plan.header->height};
        }
        if (plan.targetTooLarge) {
            plan.header.reset();  // fails before anything is decoded
        } else if (!VectorPathTakes(plan.window.width, plan.width)
                   || !VectorPathTakes(plan.window.height, plan.height)) {
            plan.resamplePath = ResamplePath::Reference;
        }
    }
    plan.sizedWhenLoaded = dependent && !plan.header && !plan.targetTooLarge;

    // A missing file takes the whole road, whose loader reports it as a missing picture; so
    // does a picture sized only once it is loaded.
    const bool bandDecoded =
        plan.source && plan.source->decodeRows && FileExists(sourcePath) && !plan.sizedWhenLoaded;
    // Pixels converted to sRGB are converted in the whole target.
    if (bandDecoded && plan.output.path && plan.colour != ColourHandling::ToSrgb
        && EncodesRows(plan.output.format, plan.canvasWidth, plan.canvasHeight))
        plan.road = ConversionRoad::Streamed;
    else
        plan.road = bandDecoded ? ConversionRoad::BandsIntoTarget : ConversionRoad::Whole;
    if (plan.header)
        plan.sourceDecodedWhole = plan.road != ConversionRoad::Whole && plan.header->bandsDecodedWhole;
    plan.targetKeptWhole = plan.road != ConversionRoad::Whole
        && OrientedResampleStream::KeepsTargetWhole(plan.orientation, plan.road == ConversionRoad::Streamed);
    plan.peakBytes = EstimatePeak(plan);
    return plan;
}

ConversionPlan PlanConversion(const std::string& sourcePath, const std::string& destinationPath,
                              const ConversionRequest& request, Threads threads)
{
    return PlanConversion(sourcePath, OutputFor(destinationPath, request.mode), request, threads);
}

}  // namespace picbatch
