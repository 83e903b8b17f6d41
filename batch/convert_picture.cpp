// Carrying out a picture's plan. On the band roads the file is resampled band by band as it
// is decoded, so its full-size picture is never stored; on the streamed road its target rows
// go on straight into the encoder. Other files are loaded whole first.
#include "batch/convert_picture.h"

#include <sched.h>

#include "batch/source_listing.h"
#include "imaging/canvas.h"
#include "imaging/error.h"
#include "imaging/picture_window.h"
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
#include <utility>
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

// Whether the plan resamples a part of the stored picture rather than all of it.
bool CutsWindow(const ConversionPlan& plan)
{
    return plan.header
        && plan.storedWindow != PictureWindow{0, 0, plan.header->width, plan.header->height};
}

// The rows of the stored window out of the rows of the whole picture, as rows takes them.
PictureRowSink WindowOfRows(const PictureWindow& window, const PictureRowSink& rows)
{
    return [window, rows, next = 0](const std::uint8_t* first, std::int64_t step, int count) mutable {
        const int from = std::max(next, window.y);
        const int to = std::min(next + count, window.y + window.height);
        if (from < to)
            rows(first + (from - next) * step + 3 * std::int64_t{window.x}, step, to - from);
        next += count;
    };
}

// What the loader and ResampleLanczos give for the plan's source (its window cut out first),
// with the same errors in the same order: the file's and the decoder's first, then the
// resampler's. With a sink, the target rows go there and the result is empty.
Raster DecodeResampled(const ConversionPlan& plan, const TargetRowSink& sink, ReadNotes& notes)
{
    std::unique_ptr<OrientedResampleStream> stream;
    // The stream is made once the decoder knows the picture's size; a target size the
    // resampler refuses waits until the decoder has found nothing wrong with the file.
    std::optional<Error> refused;
    const bool cut = CutsWindow(plan);
    const PictureWindow& window = plan.storedWindow;
    const PictureSizeSink size = [&](int sourceWidth, int sourceHeight) {
        try {
            if (cut && (sourceWidth != plan.header->width || sourceHeight != plan.header->height))
                throw Error(kStreamReadError);  // the file changed since its header was read
            stream = std::make_unique<OrientedResampleStream>(cut ? window.width : sourceWidth,
                                                              cut ? window.height : sourceHeight, plan.orientation,
                                                              plan.width, plan.height, sink, plan.resamplePath);
        } catch (const Error& error) {
            refused = error;
        }
    };
    const PictureRowSink rows = [&](const std::uint8_t* first, std::int64_t step, int count) {
        if (stream)
            stream->AddRows(first, step, count);
    };
    const std::int64_t alongside = AlongsideFromPixels(plan.threads);
    if (!cut)
        plan.source->decodeRows(plan.sourcePath, size, rows, alongside, notes);
    else if (plan.source->decodeWindowRows)
        plan.source->decodeWindowRows(plan.sourcePath, window, size, rows, alongside, notes);
    else
        plan.source->decodeRows(plan.sourcePath, size, WindowOfRows(window, rows), alongside, notes);
    if (refused)
        throw *refused;
    if (!stream)  // the decoder reported no size: there were no pixels
        throw Error(kEmptySourcePicture);
    return stream->Finish();
}

// The plan's canvas rows around the resampled rows given to it, each handed to rows: the
// background's rows above and below and its pixels left and right of the picture.
class CanvasRows {
public:
    CanvasRows(const ConversionPlan& plan, std::function<void(const std::uint8_t*)> rows)
        : m_plan(plan), m_rows(std::move(rows)),
          m_row(3 * static_cast<std::size_t>(plan.canvasWidth))
    {
        for (std::size_t x = 0; x < m_row.size(); x += 3) {
            m_row[x] = plan.background.blue;
            m_row[x + 1] = plan.background.green;
            m_row[x + 2] = plan.background.red;
        }
        m_background = m_row;
    }

    void Add(const std::uint8_t* row)
    {
        if (m_added == 0)
            Background(m_plan.top);
        std::copy_n(row, 3 * static_cast<std::size_t>(m_plan.width), m_row.begin() + 3 * std::ptrdiff_t{m_plan.left});
        m_rows(m_row.data());
        if (++m_added == m_plan.height)
            Background(m_plan.canvasHeight - m_plan.top - m_plan.height);
    }

private:
    void Background(int count)
    {
        for (int i = 0; i < count; ++i)
            m_rows(m_background.data());
    }

    const ConversionPlan& m_plan;
    std::function<void(const std::uint8_t*)> m_rows;
    std::vector<std::uint8_t> m_row;
    std::vector<std::uint8_t> m_background;
    int m_added = 0;
};

bool Padded(const ConversionPlan& plan)
{
    return plan.canvasWidth != plan.width || plan.canvasHeight != plan.height;
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
    ConversionNotes notes;
    notes.incompleteSource = read.incomplete;
    notes.losslessSource = read.lossless;
    notes.damagedSource = read.damaged;
    return notes;
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
    const auto encode = [&](const std::uint8_t* row) {
        if (!encoder)
            encoder = plan.output.format->startRowEncoding(plan.canvasWidth, plan.canvasHeight, plan.encoding, out);
        encoder->AddRow(row);
    };
    std::optional<CanvasRows> canvas;
    LoadResampledBands(plan, notes, [&](const std::uint8_t* row) {
        if (outputFailure)
            return;
        try {
            if (!Padded(plan)) {
                encode(row);
                return;
            }
            if (!canvas)
                canvas.emplace(plan, encode);
            canvas->Add(row);
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
        exif = ExifForOutput(plan.exif, plan.canvasWidth, plan.canvasHeight,
                             options.metadata == MetadataChoice::KeepWithoutGps,
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
// LoadAndResample does. A plan sized only once its picture is loaded gets its sizes then.
Raster Resampled(ConversionPlan& plan, ReadNotes& read)
{
    if (plan.road == ConversionRoad::BandsIntoTarget)
        return LoadResampledBands(plan, read);
    // The loader loads nothing for a missing file; without this check the picture of the
    // previous entry would be resampled and saved under this entry's name.
    Raster working;
    if (!LoadPicture(plan.sourcePath, working, &read))  // "File not found", as for a missing folder
        throw Error(FolderErrorText(ENOENT), FailureCause::FileNotFound);
    const bool swaps = SwapsSides(plan.orientation);
    if (plan.sizedWhenLoaded) {
        PlanSizes(plan, swaps ? working.Height() : working.Width(), swaps ? working.Width() : working.Height());
        if (plan.targetTooLarge)
            throw Error(kOutOfSystemResources, FailureCause::TooLarge);
    }
    const bool cut = plan.sizedWhenLoaded ? plan.window != PictureWindow{0, 0, plan.uprightWidth, plan.uprightHeight}
                                          : CutsWindow(plan);
    if (plan.orientation == Orientation::Normal && !cut)  // as loaded: alpha is kept, and no copy is made
        return ResampleLanczosOn(working, plan.width, plan.height, plan.resamplePath);
    // Upright makes a 24-bit copy: a picture without a turn keeps its alpha.
    Raster upright = plan.orientation == Orientation::Normal ? working : Upright(working, plan.orientation);
    if (cut) {
        working = Raster();  // only the window is kept
        upright = CroppedPicture(upright, plan.window);
    }
    return ResampleLanczosOn(upright, plan.width, plan.height, plan.resamplePath);
}

// The resampled picture on the plan's canvas, where it has one.
Raster OnPlannedCanvas(const ConversionPlan& plan, Raster resampled)
{
    if (!Padded(plan))
        return resampled;
    return OnCanvas(resampled, plan.canvasWidth, plan.canvasHeight, plan.left, plan.top, plan.background);
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
    ConversionPlan plan = PlanConversion(sourcePath, PlannedOutput{}, {width, height, OutputMode::KeepFormat, {}}, threads);
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

ConversionNotes CarryOut(const ConversionPlan& planned)
{
    if (planned.metadataFailure)
        std::rethrow_exception(planned.metadataFailure);
    if (planned.targetTooLarge)
        throw Error(kOutOfSystemResources, FailureCause::TooLarge);
    ConversionPlan plan = planned;  // a plan sized when loaded gets its sizes on the way
    ReadNotes read;
    if (plan.road == ConversionRoad::Streamed) {
        OutputFile file(*plan.output.path);
        WithSegments(file, plan, [&](ByteSink& out) { EncodeResampled(plan, out, read); });
        file.Commit();
        ConversionNotes notes = NotesOf(read);
        notes.bytesWritten = file.Size();
        notes.writtenWidth = plan.canvasWidth;
        notes.writtenHeight = plan.canvasHeight;
        return notes;
    }
    Raster working = Resampled(plan, read);
    if (plan.colour == ColourHandling::ToSrgb)
        ConvertToSrgb(working, plan.iccProfile);
    working = OnPlannedCanvas(plan, std::move(working));
    ConversionNotes notes = NotesOf(read);
    if (plan.output.path) {
        OutputFile file(*plan.output.path);
        WithSegments(file, plan, [&](ByteSink& out) {
            EncodePicture(*plan.output.format, working, out, read.lossless, plan.encoding);
        });
        file.Commit();
        notes.bytesWritten = file.Size();
        notes.writtenWidth = working.Width();
        notes.writtenHeight = working.Height();
    }
    return notes;
}

}  // namespace picbatch
