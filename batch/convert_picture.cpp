// Load and resample one picture for a run. A file whose format decodes in bands is
// resampled band by band as it is decoded, so its full-size picture is never stored; other
// files are loaded whole first. Saved in a format that encodes row by row, its target rows
// go on straight into the encoder.
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
#include "pictures/read_picture_metadata.h"
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

// What the loader and ResampleLanczos give for a file of format, with the same errors in the
// same order: the file's and the decoder's first, then the resampler's. With a sink, the
// target rows go there and the result is empty.
Raster DecodeResampled(const PictureFormat& format, const std::string& sourcePath, int width, int height,
                       Threads threads, Orientation orientation, const TargetRowSink& sink, ReadNotes& notes)
{
    std::unique_ptr<OrientedResampleStream> stream;
    // The stream is made once the decoder knows the picture's size; a target size the
    // resampler refuses waits until the decoder has found nothing wrong with the file.
    std::optional<Error> refused;
    format.decodeRows(
        sourcePath,
        [&](int sourceWidth, int sourceHeight) {
            try {
                stream = std::make_unique<OrientedResampleStream>(sourceWidth, sourceHeight, orientation, width,
                                                                  height, sink);
            } catch (const Error& error) {
                refused = error;
            }
        },
        [&](const std::uint8_t* first, std::int64_t step, int count) {
            if (stream)
                stream->AddRows(first, step, count);
        },
        AlongsideFromPixels(threads), notes);
    if (refused)
        throw *refused;
    if (!stream)  // the decoder reported no size: there were no pixels
        throw Error(kEmptySourcePicture);
    return stream->Finish();
}

Raster LoadResampledBands(const PictureFormat& format, const std::string& sourcePath, int width, int height,
                          Threads threads, Orientation orientation, ReadNotes& notes, const TargetRowSink& sink = {})
{
    try {
        return DecodeResampled(format, sourcePath, width, height, threads, orientation, sink, notes);
    } catch (const std::bad_alloc&) {  // the decoder's row buffers, the encoder
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    }
}

ConversionNotes NotesOf(const ReadNotes& read)
{
    return ConversionNotes{read.incomplete, read.lossless};
}

// The format of the file at path when it decodes in bands and the file is there.
const PictureFormat* BandDecodedFormat(const std::string& path)
{
    const PictureFormat* format = FormatOfName(path);
    return format && format->decodeRows && FileExists(path) ? format : nullptr;
}

// The file at sourcePath resampled and encoded in output's format into out, row by row.
void EncodeResampled(const PictureFormat& source, const std::string& sourcePath, int width, int height,
                     const PictureFormat& output, Threads threads, Orientation orientation, ByteSink& out,
                     ReadNotes& notes)
{
    // Made with the first target row: a file that fails before then reports the decoder's
    // or the resampler's error, as when the picture is saved after loading.
    std::unique_ptr<RowEncoder> encoder;
    // What the encoder or the output file throws waits until the decoder is done, so that a
    // broken source still reports its own error first, as when the picture is saved after
    // loading. Its rows are then passed over.
    std::exception_ptr outputFailure;
    LoadResampledBands(source, sourcePath, width, height, threads, orientation, notes, [&](const std::uint8_t* row) {
        if (outputFailure)
            return;
        try {
            if (!encoder)
                encoder = output.startRowEncoding(width, height, out);
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

// What the conversion takes over from the source under options: the orientation to apply,
// an RGB profile (others describe pixels the program does not make), the EXIF block asked for.
PictureMetadata SourceMetadata(const std::string& sourcePath, const ConversionOptions& options)
{
    PictureMetadata metadata = ReadPictureMetadata(sourcePath);
    if (options.orientation == OrientationChoice::Keep)
        metadata.orientation = Orientation::Normal;
    if (!metadata.iccProfile.empty() && !IsRgbProfile(metadata.iccProfile))
        metadata.iccProfile.clear();
    if (options.metadata == MetadataChoice::Drop)
        metadata.exif.clear();
    return metadata;
}

// Whether output files of format carry the source's profile and EXIF block; the pixels of
// other formats are converted to sRGB instead.
bool CarriesMetadata(const PictureFormat& format)
{
    return format.carryMetadata != nullptr;
}

// Runs encode into file, through output's sink that puts the EXIF block (rewritten for a
// result of width x height) and the profile into its data where there are any to put. An
// output that carries no metadata gets none: its pixels were made sRGB where that mattered.
void WithSegments(ByteSink& file, const PictureFormat& output, const PictureMetadata& metadata, int width, int height,
                  const ConversionOptions& options, const std::function<void(ByteSink&)>& encode)
{
    if (!CarriesMetadata(output)) {
        encode(file);
        return;
    }
    std::vector<std::uint8_t> exif;
    if (!metadata.exif.empty()) {
        exif = ExifForOutput(metadata.exif, width, height, options.metadata == MetadataChoice::KeepWithoutGps,
                             options.orientation == OrientationChoice::Apply);
    }
    // A profile too large for the format's segments is left out (the pixels stay as they are).
    const std::span<const std::uint8_t> icc = metadata.iccProfile.size() <= output.maxIccBytes
        ? std::span<const std::uint8_t>(metadata.iccProfile)
        : std::span<const std::uint8_t>();
    if (exif.empty() && icc.empty()) {
        encode(file);
        return;
    }
    const std::unique_ptr<MetadataSink> spliced = output.carryMetadata(file, exif, icc);
    encode(*spliced);
    spliced->Finish();
}

void LoadResampledOriented(const std::string& sourcePath, int width, int height, Raster& working, Threads threads,
                           ConversionNotes* notes, Orientation orientation)
{
    try {
        ReadNotes read;
        // The loader loads nothing for a missing file; without this check the picture of the
        // previous entry would be resampled and saved under this entry's name.
        if (const PictureFormat* format = BandDecodedFormat(sourcePath)) {
            working = LoadResampledBands(*format, sourcePath, width, height, threads, orientation, read);
        } else {
            if (!LoadPicture(sourcePath, working, &read))  // "File not found", as for a missing folder
                throw Error(FolderErrorText(ENOENT), FailureCause::FileNotFound);
            if (orientation == Orientation::Normal) {
                // As loaded: a picture with alpha keeps it, and no copy is made.
                working = ResampleLanczos(working, width, height);
            } else {
                Raster upright = Upright(working, orientation);
                working = ResampleLanczos(upright, width, height);
            }
        }
        if (notes)
            *notes = NotesOf(read);
    } catch (...) {
        working = Raster();
        throw;
    }
}

}  // namespace

bool EncodesRows(const PictureFormat* output, int width, int height)
{
    return output && output->startRowEncoding && width <= output->maxRowEncodedSide
        && height <= output->maxRowEncodedSide;
}

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
    LoadResampledOriented(sourcePath, width, height, working, threads, notes, Orientation::Normal);
}

std::optional<std::string> ConvertPicture(const std::string& sourcePath, int width, int height,
                                          const std::string& destinationPath, OutputMode mode, Raster& working,
                                          Threads threads, ConversionNotes* notes, const ConversionOptions& options)
{
    std::optional<std::string> outputPath = OutputPathFor(destinationPath, mode);
    const PictureFormat* output = OutputFormatFor(destinationPath, mode);
    const PictureFormat* source = BandDecodedFormat(sourcePath);
    const PictureMetadata metadata = outputPath ? SourceMetadata(sourcePath, options) : PictureMetadata{};
    // Pixels converted to sRGB for an output without the profile are converted whole.
    const bool toSrgb = outputPath && !CarriesMetadata(*output) && !metadata.iccProfile.empty();
    const bool streamed = outputPath && EncodesRows(output, width, height) && source && !toSrgb;
    ConversionNotes found;
    if (!streamed) {
        LoadResampledOriented(sourcePath, width, height, working, threads, &found, metadata.orientation);
        if (toSrgb)
            ConvertToSrgb(working, metadata.iccProfile);
        if (outputPath && CarriesMetadata(*output)) {
            OutputFile file(*outputPath);
            WithSegments(file, *output, metadata, width, height, options,
                         [&](ByteSink& out) { EncodePicture(*output, working, out, found.losslessSource); });
            file.Commit();
        } else {
            outputPath = SavePicture(working, destinationPath, mode, found.losslessSource);
        }
    } else {
        working = Raster();
        ReadNotes read;
        OutputFile file(*outputPath);
        WithSegments(file, *output, metadata, width, height, options, [&](ByteSink& out) {
            EncodeResampled(*source, sourcePath, width, height, *output, threads, metadata.orientation, out, read);
        });
        file.Commit();
        found = NotesOf(read);
    }
    if (notes)
        *notes = found;
    return outputPath;
}

}  // namespace picbatch
