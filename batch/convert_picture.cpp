// Carrying out a picture's plan. On the band roads the file is resampled band by band as it
// is decoded, so its full-size picture is never stored; on the streamed road its target rows
// go on straight into the encoder. Other files are loaded whole first.
#include "batch/convert_picture.h"

#include <sched.h>

#include "batch/source_listing.h"
#include "imaging/error.h"
#include "imaging/raster.h"
#include "imaging/resample.h"
#include "imaging/oriented_resample_stream.h"
#include "pictures/band_pipeline.h"
#include "pictures/exif_block.h"
#include "pictures/files/file_io.h"
#include "pictures/load_picture.h"
#include "pictures/metadata_sink.h"
#include "pictures/files/output_file.h"
#include "pictures/picture_format.h"
#include "pictures/row_encoder.h"
#include "pictures/srgb_conversion.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <thread>
#include <vector>

namespace picbatch {

namespace {

std::int64_t AlongsideFromPixels(Threads threads)
{
    switch (threads) {
    case Threads::One:
        break;
    case Threads::Two:
        return kMinPixelsAlongside;
    case Threads::TwoAtAnySize:
        return 0;
    }
    return kNeverAlongside;
}

// What the loader and ResampleLanczos give for the plan's source, with the same errors in
// the same order: the file's and the decoder's first, then the resampler's. With a sink, the
// target rows go there and the result is empty.
Raster DecodeResampled(const ConversionPlan& plan, const TargetRowSink& sink, ReadNotes& notes)
{
    std::unique_ptr<OrientedResampleStream> stream;
    // The stream is made once the decoder knows the picture's size; a target size the
    // resampler refuses waits until the decoder has found nothing wrong with the file.
    std::optional<Error> refused;
    plan.source->decodeRows(
        plan.sourcePath,
        [&](int sourceWidth, int sourceHeight) {
            try {
                stream = std::make_unique<OrientedResampleStream>(sourceWidth, sourceHeight, plan.orientation,
                                                                  plan.width, plan.height, sink, plan.resamplePath);
            } catch (const Error& error) {
                refused = error;
            }
        },
        [&](const std::uint8_t* first, std::int64_t step, int count) {
            if (stream)
                stream->AddRows(first, step, count);
        },
        AlongsideFromPixels(plan.threads), notes);
    if (refused)
        throw *refused;
    if (!stream)  // the decoder reported no size: there were no pixels
        throw Error(kEmptySourcePicture);
    return stream->Finish();
}

Raster LoadResampledBands(const ConversionPlan& plan, ReadNotes& notes, const TargetRowSink& sink = {})
{
    try {
        return DecodeResampled(plan, sink, notes);
    } catch (const std::bad_alloc&) {  // the decoder's row buffers, the encoder
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    }
}

ConversionNotes NotesOf(const ReadNotes& read)
{
    return ConversionNotes{read.incomplete, read.lossless};
}

// The plan's source resampled and encoded in its output format into out, row by row.
void EncodeResampled(const ConversionPlan& plan, ByteSink& out, ReadNotes& notes)
{
    // Made with the first target row: a file that fails before then reports the decoder's
    // or the resampler's error, as when the picture is saved after loading.
    std::unique_ptr<RowEncoder> encoder;
    // What the encoder or the output file throws waits until the decoder is done, so that a
    // broken source still reports its own error first, as when the picture is saved after
    // loading. Its rows are then passed over.
    std::exception_ptr outputFailure;
    LoadResampledBands(plan, notes, [&](const std::uint8_t* row) {
        if (outputFailure)
            return;
        try {
            if (!encoder)
                encoder = plan.output.format->startRowEncoding(plan.width, plan.height, out);
            encoder->AddRow(row);
        } catch (const std::bad_alloc&) {
            outputFailure = std::make_exception_ptr(Error(kOutOfSystemResources, FailureCause::OutOfMemory));
        } catch (...) {
            outputFailure = std::current_exception();
        }
    });
    if (outputFailure)
        std::rethrow_exception(outputFailure);
    if (!encoder)  // every complete resampling makes at least one row
        throw std::logic_error("no target row was made");
    encoder->Finish();
}

// Runs encode into file, through a sink that puts the plan's EXIF block (rewritten for the
// result) and kept profile into the output format's data where there are any to put.
void WithSegments(ByteSink& file, const ConversionPlan& plan, const std::function<void(ByteSink&)>& encode)
{
    const ConversionOptions& options = plan.request.options;
    std::vector<std::uint8_t> exif;
    if (!plan.exif.empty()) {
        exif = ExifForOutput(plan.exif, plan.width, plan.height, options.metadata == MetadataChoice::KeepWithoutGps,
                             options.orientation == OrientationChoice::Apply);
    }
    const std::span<const std::uint8_t> icc = plan.colour == ColourHandling::ProfileKept
        ? std::span<const std::uint8_t>(plan.iccProfile)
        : std::span<const std::uint8_t>();
    if (exif.empty() && icc.empty()) {
        encode(file);
        return;
    }
    const std::unique_ptr<MetadataSink> spliced = plan.output.format->carryMetadata(file, exif, icc);
    encode(*spliced);
    spliced->Finish();
}

// The plan's source loaded and resampled on its road (not the streamed one). Throws as
// LoadAndResample does.
Raster Resampled(const ConversionPlan& plan, ReadNotes& read)
{
    if (plan.road == ConversionRoad::BandsIntoTarget)
        return LoadResampledBands(plan, read);
    // The loader loads nothing for a missing file; without this check the picture of the
    // previous entry would be resampled and saved under this entry's name.
    Raster working;
    if (!LoadPicture(plan.sourcePath, working, &read))  // "File not found", as for a missing folder
        throw Error(FolderErrorText(ENOENT), FailureCause::FileNotFound);
    if (plan.orientation == Orientation::Normal)  // as loaded: alpha is kept, and no copy is made
        return ResampleLanczosOn(working, plan.width, plan.height, plan.resamplePath);
    Raster upright = Upright(working, plan.orientation);
    return ResampleLanczosOn(upright, plan.width, plan.height, plan.resamplePath);
}

}  // namespace

Threads ThreadsPerConversion(int jobs)
{
    // The cores this process may run on (taskset, cgroup cpusets), not all the machine has.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    const int cores = ::sched_getaffinity(0, sizeof allowed, &allowed) == 0
        ? CPU_COUNT(&allowed)
        : static_cast<int>(std::thread::hardware_concurrency());
    return cores > std::max(jobs, 1) ? Threads::Two : Threads::One;
}

void LoadAndResample(const std::string& sourcePath, int width, int height, Raster& working, Threads threads,
                     ConversionNotes* notes)
{
    const ConversionPlan plan = PlanConversion(sourcePath, PlannedOutput{}, {width, height, OutputMode::KeepFormat, {}}, threads);
    try {
        ReadNotes read;
        working = Resampled(plan, read);
        if (notes)
            *notes = NotesOf(read);
    } catch (...) {
        working = Raster();
        throw;
    }
}

ConversionNotes CarryOut(const ConversionPlan& plan)
{
    if (plan.metadataFailure)
        std::rethrow_exception(plan.metadataFailure);
    ReadNotes read;
    if (plan.road == ConversionRoad::Streamed) {
        OutputFile file(*plan.output.path);
        WithSegments(file, plan, [&](ByteSink& out) { EncodeResampled(plan, out, read); });
        file.Commit();
        ConversionNotes notes = NotesOf(read);
        notes.bytesWritten = file.Size();
        return notes;
    }
    Raster working = Resampled(plan, read);
    if (plan.colour == ColourHandling::ToSrgb)
        ConvertToSrgb(working, plan.iccProfile);
    ConversionNotes notes = NotesOf(read);
    if (plan.output.path) {
        OutputFile file(*plan.output.path);
        WithSegments(file, plan, [&](ByteSink& out) {
            EncodePicture(*plan.output.format, working, out, read.lossless);
        });
        file.Commit();
        notes.bytesWritten = file.Size();
    }
    return notes;
}

}  // namespace picbatch
