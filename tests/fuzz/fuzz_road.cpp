// libFuzzer target over the road a picture takes in a run: the bytes become a file (an
// anonymous memory file, so nothing touches the disk), which the format's reader decodes in
// bands into the streaming resampler, whose rows go into a row encoder. Built once per source
// format (FUZZ_SOURCE_NAME names a file of that format); a format without a band decoder is
// read whole and resampled, as a run does it.
//
// The first two bytes of the input choose the target size and the output format, so the
// fuzzer explores them too; the rest is the file.
//
// A longer run than the CI's minute, once .ci/run has built the targets:
//   build-fuzz/tests/fuzz/fuzz_road_bmp -max_total_time=3600 -rss_limit_mb=2048 -timeout=10 \
//     build-fuzz/corpus-road_bmp tests/fuzz/corpus/road_bmp
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "imaging/resample.h"
#include "imaging/resample_stream.h"
#include "pictures/band_pipeline.h"
#include "pictures/byte_sink.h"
#include "pictures/files/file_descriptor.h"
#include "pictures/files/file_io.h"
#include "pictures/picture_header.h"
#include "pictures/picture_format.h"
#include "pictures/row_encoder.h"

namespace picbatch {

namespace {

// Headers may declare pictures of up to 2^28 pixels from a few bytes; converting them is
// correct but takes seconds under the sanitizers, which only slows the search for faults.
constexpr std::int64_t kMaxFuzzPixels = std::int64_t{1} << 20;

// The pixels the file's header declares, read by the format's header reader as a run
// budgets its pictures; 0 when the header is refused (the reader then refuses the file too,
// quickly).
std::int64_t DeclaredPixels(const PictureFormat& format, const std::string& path)
{
    try {
        const PictureHeader header = format.readHeader(path);
        return std::int64_t{header.width} * header.height;
    } catch (const Error&) {
    }
    return 0;
}

// The bytes as a file that the readers open by its name.
class MemoryFile {
public:
    explicit MemoryFile(std::span<const std::uint8_t> bytes)
        : m_descriptor(::memfd_create("fuzz-road", MFD_CLOEXEC))
    {
        if (m_descriptor.Get() < 0)
            return;
        try {
            WriteAllBytesAt(m_descriptor.Get(), 0, bytes);
        } catch (const Error&) {
            return;
        }
        m_path = "/proc/self/fd/" + std::to_string(m_descriptor.Get());
    }

    // Empty when the file could not be made.
    const std::string& Path() const { return m_path; }

private:
    FileDescriptor m_descriptor;
    std::string m_path;
};

void Convert(const PictureFormat& source, const std::string& path, int width, int height,
             const PictureFormat& output)
{
    std::vector<std::uint8_t> encoded;
    MemorySink memory(encoded);
    ReadNotes notes;
    if (!source.decodeRows) {
        Raster picture = source.read(path, notes);
        if (!picture.Empty())
            EncodePicture(output, ResampleLanczos(picture, width, height), memory, notes.lossless);
        return;
    }
    // Rows go straight into the output's row encoder where it has one, as in a run.
    std::unique_ptr<RowEncoder> encoder;
    TargetRowSink sink;
    if (output.startRowEncoding) {
        sink = [&](const std::uint8_t* row) {
            if (!encoder)
                encoder = output.startRowEncoding(width, height, EncodeSettings{}, memory);
            encoder->AddRow(row);
        };
    }
    std::unique_ptr<ResampleStream> stream;
    source.decodeRows(
        path,
        [&](int sourceWidth, int sourceHeight) {
            try {
                stream = sink ? std::make_unique<ResampleStream>(sourceWidth, sourceHeight, width, height, sink)
                              : std::make_unique<ResampleStream>(sourceWidth, sourceHeight, width, height);
            } catch (const Error&) {
            }
        },
        [&](const std::uint8_t* first, std::int64_t step, int count) {
            if (stream)
                stream->AddRows(first, step, count);
        },
        // Half the inputs decode on a second thread, as large pictures do in a run.
        (width + height) % 2 == 0 ? 0 : kNeverAlongside, notes);
    if (!stream)
        return;
    const Raster resampled = stream->Finish();
    if (encoder)
        encoder->Finish();
    else if (!sink)
        EncodePicture(output, resampled, memory);
}

}  // namespace

}  // namespace picbatch

using namespace picbatch;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const PictureFormat* source = FormatOfName(FUZZ_SOURCE_NAME);
    const std::span<const std::uint8_t> file(data + 2, size - 2);
    // Targets from 1 x 1 to 64 x 64, smaller and larger than most inputs' pictures.
    const int width = 1 + (data[0] & 0x3f);
    const int height = 1 + (data[1] & 0x3f);
    // The three output modes: the source's own format, JPEG, BMP.
    const PictureFormat& output = (data[1] & 0x40) ? *source
        : FormatOf((data[0] & 0x40) ? "BMP" : "JPEG");
    const MemoryFile memory(file);
    if (memory.Path().empty())
        return 0;
    if (DeclaredPixels(*source, memory.Path()) > kMaxFuzzPixels)
        return 0;
    try {
        Convert(*source, memory.Path(), width, height, output);
    } catch (const Error&) {
        // Refusing a file is a correct outcome.
    }
    return 0;
}
