// Reading the header of JPEG data and decoding it into a Raster through libjpeg.
#include "pictures/jpeg/jpeg_decoder.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <cstring>
#include <optional>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "imaging/error.h"
#include "imaging/limits.h"
#include "imaging/picture_window.h"
#include "imaging/raster.h"
#include "pictures/band_pipeline.h"
#include "pictures/files/file_io.h"
#include "pictures/jpeg/jpeg_cmyk.h"
#include "pictures/jpeg/jpeg_error.h"
#include "pictures/jpeg/jpeg_error_manager.h"
#include "pictures/jpeg/jpeg_file_source.h"
#include "pictures/jpeg/jpeg_memory_source.h"
#include "pictures/jpeg/jpeg_scan_count.h"
#include "pictures/jpeg/jpeg_settings.h"

namespace picbatch {

static_assert(JPEG_LIB_VERSION == 62, "the binding is written for libjpeg interface version 62");

namespace {

// Colours of a quantized picture: 256 less the 20 that a paletted display reserves.
constexpr int kQuantizedColors = 236;

// libjpeg may not allocate more than this for one picture (coefficient buffers of
// progressive files above all): a hostile header fails instead of exhausting the machine.
constexpr long kMaxLibjpegMemory = 1L << 30;

extern "C" {

// Called by libjpeg while it takes in a multi-scan file. Real encoders write a dozen
// scans or so; a file that repeats scans by the thousand only keeps the decoder busy. The
// scans are counted ahead too (FewEnoughScans); this count holds whatever the file does
// meanwhile.
static void WatchScanCount(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor
        && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kJpegMaxScans)
        FailJpeg(cinfo, kJpegTooManyScans);
}

}  // extern "C"

// A whole-picture array of coefficient blocks, which libjpeg keeps for multi-scan files
// (as much memory as the decoded picture itself). The binding provides these arrays
// instead of libjpeg's memory manager: in PixelMemory they fault in huge pages, and they
// are already zero where libjpeg would clear them block row by block row.
struct CoefficientArray {
    JDIMENSION blocksPerRow = 0;
    JDIMENSION rows = 0;
    JBLOCKARRAY rowStarts = nullptr;  // from libjpeg's image pool once realized
    PixelMemory memory;
};

// libjpeg asks for one array per component.
constexpr int kMaxCoefficientArrays = MAX_COMPONENTS;

// One libjpeg decompressor with its own error manager. It lives in a scope of its own
// that ends before any JpegError is thrown, never in a frame that calls setjmp.
struct Decompressor {
    jpeg_decompress_struct cinfo{};  // first: libjpeg's callbacks find the Decompressor from it
    jpeg_error_mgr err{};
    jpeg_progress_mgr progress{};
    JpegJump jump;
    // libjpeg's own methods for the virtual arrays that the binding leaves to it.
    jpeg_memory_mgr libjpegMemory{};
    std::array<CoefficientArray, kMaxCoefficientArrays> arrays;
    int arrayCount = 0;
    bool multiScan = false;  // known once the header is read

    Decompressor()
    {
        cinfo.err = InitJpegErrorManager(&err);
        cinfo.client_data = &jump;  // kept by jpeg_CreateDecompress
        progress.progress_monitor = WatchScanCount;
    }
    ~Decompressor() { jpeg_destroy_decompress(&cinfo); }  // also safe before creation
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    // Records a failure found by the binding itself, as a libjpeg error would.
    bool Fail(int code)
    {
        jump.code = code;
        return false;
    }

    // The error to raise for the failure recorded; made before the decompressor goes.
    JpegError Failure() const { return JpegError(jump.code, jump.endedEarly); }
    ReadNotes Notes() const
    {
        ReadNotes notes;
        notes.incomplete = jump.endedEarly;
        notes.damaged = jump.corrupt;
        return notes;
    }

    // The binding's array behind ptr, or null for one of libjpeg's.
    CoefficientArray* Find(jvirt_barray_ptr ptr)
    {
        for (int i = 0; i < arrayCount; ++i)
            if (reinterpret_cast<jvirt_barray_ptr>(&arrays[static_cast<std::size_t>(i)]) == ptr)
                return &arrays[static_cast<std::size_t>(i)];
        return nullptr;
    }
};

// The callbacks below reach their Decompressor through cinfo, its first member.
static_assert(std::is_standard_layout_v<Decompressor>);

Decompressor& DecompressorOf(j_common_ptr cinfo)
{
    return *reinterpret_cast<Decompressor*>(reinterpret_cast<jpeg_decompress_struct*>(cinfo));
}

// Gives an array its memory and row starts; false when the memory cannot be had. Kept out of
// the callback, whose frame libjpeg may leave by longjmp, because it holds an optional.
bool RealizeArray(j_common_ptr cinfo, CoefficientArray& array) noexcept
{
    const std::size_t rowBytes = std::size_t{array.blocksPerRow} * sizeof(JBLOCK);
    {
        std::optional<PixelMemory> memory = PixelMemory::Allocate(rowBytes * array.rows);
        if (!memory)
            return false;
        array.memory = std::move(*memory);
    }
    // alloc_small fails through libjpeg's error exit (a longjmp): the block above has ended,
    // so only trivially destructible locals are alive by then.
    array.rowStarts = static_cast<JBLOCKARRAY>(
        cinfo->mem->alloc_small(cinfo, JPOOL_IMAGE, std::max<std::size_t>(array.rows, 1) * sizeof(JBLOCKROW)));
    for (JDIMENSION row = 0; row < array.rows; ++row)
        array.rowStarts[row] = reinterpret_cast<JBLOCKROW>(array.memory.Data() + row * rowBytes);
    return true;
}

extern "C" {

static jvirt_barray_ptr RequestCoefficients(j_common_ptr cinfo, int poolId, boolean preZero,
                                            JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION maxAccess)
{
    Decompressor& d = DecompressorOf(cinfo);
    if (poolId != JPOOL_IMAGE || d.arrayCount == kMaxCoefficientArrays)
        return d.libjpegMemory.request_virt_barray(cinfo, poolId, preZero, blocksPerRow, rows, maxAccess);
    // preZero needs nothing: the array's memory starts out zero.
    CoefficientArray& array = d.arrays[static_cast<std::size_t>(d.arrayCount++)];
    array.blocksPerRow = blocksPerRow;
    array.rows = rows;
    return reinterpret_cast<jvirt_barray_ptr>(&array);
}

static void RealizeCoefficients(j_common_ptr cinfo)
{
    Decompressor& d = DecompressorOf(cinfo);
    std::uint64_t total = 0;  // at most 10 arrays of 65535 x 65535 blocks of 128 bytes: below 2^43
    for (int i = 0; i < d.arrayCount; ++i) {
        const CoefficientArray& array = d.arrays[static_cast<std::size_t>(i)];
        if (!array.rowStarts)
            total += std::uint64_t{array.blocksPerRow} * array.rows * sizeof(JBLOCK);
    }
    // Above its limit libjpeg would move arrays to a temporary file, which this build of
    // the library refuses with this code; the binding answers the same.
    const long limit = cinfo->mem->max_memory_to_use;
    if (limit > 0 && total > static_cast<std::uint64_t>(limit))
        FailJpeg(cinfo, JERR_NO_BACKING_STORE);
    for (int i = 0; i < d.arrayCount; ++i) {
        CoefficientArray& array = d.arrays[static_cast<std::size_t>(i)];
        if (!array.rowStarts && !RealizeArray(cinfo, array))
            FailJpeg(cinfo, JERR_OUT_OF_MEMORY);
    }
    // libjpeg's own arrays (a quantizer's picture buffer) get what is left of the limit;
    // 0 would mean no limit at all.
    if (limit > 0)
        cinfo->mem->max_memory_to_use = std::max(1L, limit - static_cast<long>(total));
    d.libjpegMemory.realize_virt_arrays(cinfo);
    cinfo->mem->max_memory_to_use = limit;
}

static JBLOCKARRAY AccessCoefficients(j_common_ptr cinfo, jvirt_barray_ptr ptr, JDIMENSION startRow,
                                      JDIMENSION rowCount, boolean writable)
{
    Decompressor& d = DecompressorOf(cinfo);
    CoefficientArray* array = d.Find(ptr);
    if (!array)
        return d.libjpegMemory.access_virt_barray(cinfo, ptr, startRow, rowCount, writable);
    if (!array->rowStarts || startRow > array->rows || rowCount > array->rows - startRow)
        FailJpeg(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    return array->rowStarts + startRow;
}

}  // extern "C"

// Routes libjpeg's whole-picture coefficient arrays to the binding; called right after the
// decompressor is created.
void TakeOverCoefficientArrays(Decompressor& d)
{
    d.libjpegMemory = *d.cinfo.mem;
    d.cinfo.mem->request_virt_barray = RequestCoefficients;
    d.cinfo.mem->realize_virt_arrays = RealizeCoefficients;
    d.cinfo.mem->access_virt_barray = AccessCoefficients;
}

// The functions below return false with d.jump.code set when libjpeg or the binding's
// limits refused the data; the caller throws once the decompressor is gone.

// Where the compressed data comes from: bytes in memory, or an open file read as needed.
struct Input {
    std::span<const std::uint8_t> bytes;
    int fd = -1;
    JpegFileReading* reading = nullptr;
};

// Creates the decompressor over the input and reads the header; refuses pictures that no
// Raster may hold before libjpeg allocates anything for them.
bool Open(Decompressor& d, const Input& input)
{
    const bool ok = JpegStep(d.jump, [&] {
        jpeg_CreateDecompress(&d.cinfo, JPEG_LIB_VERSION, sizeof d.cinfo);
        TakeOverCoefficientArrays(d);
        d.cinfo.mem->max_memory_to_use = kMaxLibjpegMemory;
        d.cinfo.progress = &d.progress;
        if (input.fd >= 0)
            AttachJpegFileSource(&d.cinfo, input.fd, input.reading);
        else
            AttachJpegMemorySource(&d.cinfo, input.bytes.data(), input.bytes.size());
        jpeg_read_header(&d.cinfo, TRUE);
        d.multiScan = jpeg_has_multiple_scans(&d.cinfo) != FALSE;
    });
    if (!ok)
        return false;
    if (!PictureSizeAllowed(d.cinfo.image_width, d.cinfo.image_height))
        return d.Fail(JERR_IMAGE_TOO_BIG);
    return true;
}

// The bytes of the coefficient arrays that a multi-scan picture keeps whole: every
// component's blocks, rounded up to whole sampling units as libjpeg asks for them.
std::uint64_t CoefficientBytes(const jpeg_decompress_struct& cinfo)
{
    std::uint64_t total = 0;
    for (int i = 0; i < cinfo.num_components; ++i) {
        const jpeg_component_info& component = cinfo.comp_info[i];
        const auto roundUp = [](std::uint64_t value, std::uint64_t multiple) {
            return (value + multiple - 1) / multiple * multiple;
        };
        // At most 65535 / 8 x 4 blocks a side: the product stays far below 2^64.
        total += roundUp(component.width_in_blocks, static_cast<std::uint64_t>(component.h_samp_factor))
            * roundUp(component.height_in_blocks, static_cast<std::uint64_t>(component.v_samp_factor)) * sizeof(JBLOCK);
    }
    return total;
}

// Refuses, from the header alone, a multi-scan picture whose coefficients would pass
// libjpeg's memory limit, as libjpeg would once it came to make room for them (the code of
// its missing backing store, which names the limit's cause: the picture is too large for
// the memory a picture may take).
bool FitsInMemory(Decompressor& d)
{
    if (d.multiScan && CoefficientBytes(d.cinfo) > static_cast<std::uint64_t>(kMaxLibjpegMemory))
        return d.Fail(JERR_NO_BACKING_STORE);
    return true;
}

// Refuses a multi-scan file with more scans than a file may have before anything is made
// for it: libjpeg takes in every scan before the first output row, and would otherwise count
// to the limit by decoding a thousand scans. The scans are counted from the input ahead of the
// decoder.
bool FewEnoughScans(Decompressor& d, const Input& input)
{
    if (!d.multiScan)
        return true;
    const int scans = input.fd >= 0 ? CountJpegFileScans(input.fd, kJpegMaxScans)
                                    : CountJpegScans(input.bytes, kJpegMaxScans);
    if (scans > kJpegMaxScans)
        return d.Fail(kJpegTooManyScans);
    return true;
}

// What Configure decided, for the passes that follow.
struct Plan {
    bool quantize = false;
    bool buffered = false;  // progressive display of a multi-scan file
    bool cmyk = false;      // four components delivered as CMYK, converted per row
    J_DCT_METHOD finalDct = JDCT_FLOAT;
    J_DITHER_MODE finalDither = JDITHER_FS;
    bool finalTwoPass = true;
};

// Sets every decompression parameter explicitly, so that the linked library's defaults
// decide nothing. Runs inside a step: it asks libjpeg about the scans.
Plan Configure(jpeg_decompress_struct& cinfo, const JpegSettings& settings)
{
    Plan plan;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1u << static_cast<unsigned>(settings.scale);
    cinfo.do_block_smoothing = settings.smoothing ? TRUE : FALSE;
    cinfo.do_fancy_upsampling = TRUE;
    if (settings.grayscale) {
        cinfo.out_color_space = JCS_GRAYSCALE;
    } else {
        switch (cinfo.jpeg_color_space) {
        case JCS_GRAYSCALE:
            cinfo.out_color_space = JCS_GRAYSCALE;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            cinfo.out_color_space = JCS_CMYK;  // libjpeg turns YCCK into CMYK
            plan.cmyk = true;
            break;
        default:
            // Colour files, YCbCr or coded directly in RGB, arrive in the Raster's
            // blue-green-red order with every channel in its place.
            cinfo.out_color_space = JCS_EXT_BGR;
            break;
        }
    }
    // libjpeg's quantizers work on one or three components only, so CMYK pictures stay
    // 24-bit even in the 8-bit pixel format.
    plan.quantize = !plan.cmyk
        && (settings.pixelFormat == JpegPixelFormat::Bits8 || cinfo.out_color_space == JCS_GRAYSCALE);
    cinfo.quantize_colors = plan.quantize ? TRUE : FALSE;
    cinfo.desired_number_of_colors = kQuantizedColors;
    cinfo.colormap = nullptr;
    if (settings.performance == JpegPerformance::BestSpeed) {
        cinfo.dct_method = JDCT_IFAST;
        cinfo.two_pass_quantize = FALSE;
        cinfo.dither_mode = JDITHER_ORDERED;
    } else {
        cinfo.dct_method = JDCT_FLOAT;
        cinfo.two_pass_quantize = TRUE;
        cinfo.dither_mode = JDITHER_FS;
    }
    plan.finalDct = cinfo.dct_method;
    plan.finalDither = cinfo.dither_mode;
    plan.finalTwoPass = cinfo.two_pass_quantize != FALSE;
    cinfo.enable_2pass_quant = FALSE;
    cinfo.buffered_image = FALSE;
    plan.buffered = settings.progressiveDisplay && jpeg_has_multiple_scans(&cinfo);
    if (plan.buffered) {
        // Intermediate passes are quick approximations; the final pass restores the
        // settings above.
        cinfo.enable_2pass_quant = cinfo.two_pass_quantize;
        cinfo.dct_method = JDCT_IFAST;
        cinfo.two_pass_quantize = FALSE;
        cinfo.dither_mode = JDITHER_ORDERED;
        cinfo.buffered_image = TRUE;
    }
    return plan;
}

// The colour table of a quantized picture, from libjpeg's colour map.
std::vector<ColorEntry> PaletteOf(const jpeg_decompress_struct& cinfo)
{
    std::vector<ColorEntry> palette(static_cast<std::size_t>(cinfo.actual_number_of_colors));
    for (std::size_t i = 0; i < palette.size(); ++i) {
        if (cinfo.out_color_components == 1) {
            const JSAMPLE v = cinfo.colormap[0][i];
            palette[i] = {v, v, v, 0};
        } else {  // the map's rows follow the blue-green-red output order
            palette[i] = {cinfo.colormap[0][i], cinfo.colormap[1][i], cinfo.colormap[2][i], 0};
        }
    }
    return palette;
}

// Where the rows go: row y starts at top + y * step in the picture's store.
struct RowTarget {
    std::uint8_t* top = nullptr;
    std::ptrdiff_t step = 0;
    std::uint8_t* cmykRow = nullptr;  // a scratch row for CMYK samples, or none
    bool adobeInverted = false;
    JDIMENSION rowsWritten = 0;  // rows 0 to rowsWritten - 1 were written by some pass
};

// Reads the rows of one output pass straight into the picture. Step code: no throwing.
void ReadRows(jpeg_decompress_struct& cinfo, RowTarget& target) noexcept
{
    while (cinfo.output_scanline < cinfo.output_height) {
        std::uint8_t* row = target.top + static_cast<std::ptrdiff_t>(cinfo.output_scanline) * target.step;
        JSAMPROW into = target.cmykRow ? target.cmykRow : row;
        if (jpeg_read_scanlines(&cinfo, &into, 1) != 1)  // only a suspending source returns 0
            FailJpeg(reinterpret_cast<j_common_ptr>(&cinfo), JERR_CANT_SUSPEND);
        if (target.cmykRow)
            CmykRowToBgr(target.cmykRow, row, cinfo.output_width, target.adobeInverted);
        target.rowsWritten = std::max(target.rowsWritten, cinfo.output_scanline);
    }
}

bool ReadPass(Decompressor& d, RowTarget& target)
{
    return JpegStep(d.jump, [&] { ReadRows(d.cinfo, target); });
}

// Progressive display: one quick output pass for every complete scan as it arrives, then
// the final pass at the configured quality.
bool ReadBuffered(Decompressor& d, const Plan& plan, RowTarget& target, Raster& picture)
{
    bool first = true;
    for (;;) {
        int status = 0;
        if (!JpegStep(d.jump, [&] { status = jpeg_consume_input(&d.cinfo); }))
            return false;
        if (d.cinfo.input_scan_number > kJpegMaxScans)
            return d.Fail(kJpegTooManyScans);
        if (status == JPEG_REACHED_EOI)
            break;
        if (status != JPEG_SCAN_COMPLETED)
            continue;
        if (!JpegStep(d.jump, [&] { jpeg_start_output(&d.cinfo, d.cinfo.input_scan_number); }))
            return false;
        if (first && plan.quantize && d.cinfo.colormap)
            picture.SetColorTable(PaletteOf(d.cinfo));
        first = false;
        if (!ReadPass(d, target) || !JpegStep(d.jump, [&] { jpeg_finish_output(&d.cinfo); }))
            return false;
    }
    const bool ok = JpegStep(d.jump, [&] {
        d.cinfo.dct_method = plan.finalDct;
        d.cinfo.dither_mode = plan.finalDither;
        if (plan.finalTwoPass) {
            d.cinfo.two_pass_quantize = TRUE;
            d.cinfo.colormap = nullptr;  // the final pass chooses its colours anew
        }
        jpeg_start_output(&d.cinfo, d.cinfo.input_scan_number);
    });
    if (!ok)
        return false;
    if (plan.quantize && d.cinfo.colormap && (first || plan.finalTwoPass))
        picture.SetColorTable(PaletteOf(d.cinfo));
    return ReadPass(d, target) && JpegStep(d.jump, [&] { jpeg_finish_output(&d.cinfo); });
}

// After a failure the picture keeps the rows decoded so far; the others are white, as in a
// picture sized by SetWidth and SetHeight. Paletted pictures keep index 0 there.
void PaintUnwrittenRowsWhite(Raster& picture, int rowsWritten)
{
    if (picture.Form() != PixelForm::Bgr24 || picture.Empty())
        return;
    const std::size_t pixelBytes = std::size_t(picture.Width()) * 3;
    for (int y = rowsWritten; y < picture.Height(); ++y)
        std::memset(picture.Row(y).data(), 0xFF, pixelBytes);
}

bool Decode(Decompressor& d, std::span<const std::uint8_t> bytes, const JpegSettings& settings, Raster& picture)
{
    Plan plan;
    const Input input{bytes};
    if (!Open(d, input) || !FitsInMemory(d) || !FewEnoughScans(d, input) || !JpegStep(d.jump, [&] {
            plan = Configure(d.cinfo, settings);
            jpeg_start_decompress(&d.cinfo);
        }))
        return false;

    picture.SetPixelForm(plan.quantize ? PixelForm::Paletted8 : PixelForm::Bgr24);
    // Every row is decoded into the store, so it is not painted white first (a failure
    // paints the rows it never reached, below).
    picture.SetSizeForWriting(static_cast<int>(d.cinfo.output_width), static_cast<int>(d.cinfo.output_height));
    // The step between rows comes from the store's layout, so pictures of one row work.
    RowTarget target;
    target.top = picture.Row(0).data();
    target.step = static_cast<std::ptrdiff_t>(picture.RowStep());
    std::vector<std::uint8_t> cmykRow;
    if (plan.cmyk) {
        cmykRow.resize(std::size_t{d.cinfo.output_width} * 4);
        target.cmykRow = cmykRow.data();
        target.adobeInverted = d.cinfo.saw_Adobe_marker != FALSE;
    }

    bool ok = false;
    if (plan.buffered) {
        ok = ReadBuffered(d, plan, target, picture);
    } else {
        if (plan.quantize && d.cinfo.colormap)
            picture.SetColorTable(PaletteOf(d.cinfo));
        ok = ReadPass(d, target);
    }
    if (!ok)
        PaintUnwrittenRowsWhite(picture, static_cast<int>(target.rowsWritten));
    return ok && JpegStep(d.jump, [&] { jpeg_finish_decompress(&d.cinfo); });
}

// Rows handed over at once: two groups of the resampler's eight, small enough to stay in
// the second-level cache between the decoder and the resampler.
constexpr int kBandRows = 16;
constexpr std::size_t kCacheLine = 64;
// Not a multiple of 16 or 32, the alignments libjpeg-turbo's SSE2 and AVX2 code test for.
constexpr std::size_t kCachedRowOffset = 8;

// Reads the next rows of the output pass into the band: kBandRows, or the rest of the
// picture. One call of libjpeg's may deliver a single row (context upsampling does), so it
// is asked until the band is full. Step code: no throwing.
void ReadBand(jpeg_decompress_struct& cinfo, JSAMPROW* rows, JDIMENSION& count) noexcept
{
    count = 0;
    while (count < kBandRows && cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION got = jpeg_read_scanlines(&cinfo, rows + count, kBandRows - count);
        if (got == 0)  // only a suspending source returns 0
            FailJpeg(reinterpret_cast<j_common_ptr>(&cinfo), JERR_CANT_SUSPEND);
        count += got;
    }
}

// Reads and drops the rest of the output pass, a band at a time into band (rows stride bytes
// apart). Step code: no throwing.
void ReadRemainingRows(jpeg_decompress_struct& cinfo, std::uint8_t* band, std::size_t stride) noexcept
{
    std::array<JSAMPROW, kBandRows> rows{};
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = band + i * stride;
    JDIMENSION count = 0;
    while (cinfo.output_scanline < cinfo.output_height)
        ReadBand(cinfo, rows.data(), count);
}

// Blue, green, red of a palette index, as Raster::SetPixelForm turns a Paletted8 pixel into
// them: black past the table's end.
void PutPaletteColor(const std::vector<ColorEntry>& palette, std::uint8_t index, std::uint8_t* bgr)
{
    if (index < palette.size()) {
        bgr[0] = palette[index].blue;
        bgr[1] = palette[index].green;
        bgr[2] = palette[index].red;
    } else {
        bgr[0] = bgr[1] = bgr[2] = 0;
    }
}

// Waits, when it goes, until the pipeline's consumer is done with the bands it was handed:
// declared after the band buffers, it goes before them.
class IdlePipelineGuard {
public:
    explicit IdlePipelineGuard(BandPipeline* pipeline) : m_pipeline(pipeline) {}
    ~IdlePipelineGuard()
    {
        if (m_pipeline)
            m_pipeline->WaitIdle();
    }
    IdlePipelineGuard(const IdlePipelineGuard&) = delete;
    IdlePipelineGuard& operator=(const IdlePipelineGuard&) = delete;

private:
    BandPipeline* m_pipeline;
};

// Pixels decoded around a window beyond what it needs: libjpeg-turbo's cropped decoding
// upsamples chroma and smooths the blocks of early progressive scans at the edges of what it
// decodes as if the picture ended there, over up to two blocks of subsampled chroma (32
// pixels) and the upsampling's pixel. Twice that keeps the window's pixels those of the
// whole picture.
constexpr JDIMENSION kWindowMargin = 64;

// The part of the output rows that goes to the row sink: rows first to end (exclusive), from
// column `column` of the rows as libjpeg delivers them, width pixels.
struct RowWindow {
    JDIMENSION first = 0;
    JDIMENSION end = 0;
    JDIMENSION column = 0;
    JDIMENSION width = 0;
};

// Narrows the decoding to the columns and rows around window (the picture's own coordinates)
// where libjpeg-turbo decodes only those with the pixels of the whole picture's decoding: a
// single output pass at full size without colour quantizing, whose two-pass palette depends
// on every row. Otherwise every row is decoded and the window cut out of them. Step code: no
// throwing.
void NarrowToWindow(jpeg_decompress_struct& cinfo, const Plan& plan, const PictureWindow& window,
                    RowWindow& rows) noexcept
{
    rows.first = static_cast<JDIMENSION>(window.y);
    rows.end = static_cast<JDIMENSION>(window.y + window.height);
    rows.column = static_cast<JDIMENSION>(window.x);
    rows.width = static_cast<JDIMENSION>(window.width);
    if (plan.quantize || plan.buffered || cinfo.output_width != cinfo.image_width
        || cinfo.output_height != cinfo.image_height)
        return;
    const JDIMENSION left = rows.column > kWindowMargin ? rows.column - kWindowMargin : 0;
    const JDIMENSION right = std::min(cinfo.output_width, rows.column + rows.width + kWindowMargin);
    JDIMENSION xoffset = left;
    JDIMENSION width = right - left;
    if (width < cinfo.output_width) {
        jpeg_crop_scanline(&cinfo, &xoffset, &width);  // moves xoffset left to an iMCU boundary
        rows.column -= xoffset;
    }
    const JDIMENSION top = rows.first > kWindowMargin ? rows.first - kWindowMargin : 0;
    if (top > 0)
        jpeg_skip_scanlines(&cinfo, top);
}

// Skips the rows below the window: libjpeg-turbo then reads no more of the file. Step code.
void SkipRest(jpeg_decompress_struct& cinfo) noexcept
{
    if (cinfo.output_scanline < cinfo.output_height)
        jpeg_skip_scanlines(&cinfo, cinfo.output_height - cinfo.output_scanline);
}

// Decodes band by band, handing each to rows, or, given a place for a pipeline and a picture
// of at least alongsideFromPixels, to a pipeline's consumer thread; then BandPipeline::kSlots
// bands are kept in turn, so the consumer works on one while the next is decoded. With a
// window, only its rows go to rows, each from its left column (NarrowToWindow).
bool DecodeRows(Decompressor& d, const Input& input, const JpegSettings& settings, const JpegSizeSink& size,
                const JpegRowSink& rows, std::optional<BandPipeline>* alongside = nullptr,
                std::int64_t alongsideFromPixels = kNeverAlongside, const PictureWindow* window = nullptr)
{
    Plan plan;
    if (!Open(d, input) || !FitsInMemory(d) || !FewEnoughScans(d, input) || !JpegStep(d.jump, [&] {
            plan = Configure(d.cinfo, settings);
            jpeg_start_decompress(&d.cinfo);
        }))
        return false;

    size(static_cast<int>(d.cinfo.output_width), static_cast<int>(d.cinfo.output_height));
    RowWindow wanted{0, d.cinfo.output_height, 0, d.cinfo.output_width};
    if (window && !JpegStep(d.jump, [&] { NarrowToWindow(d.cinfo, plan, *window, wanted); }))
        return false;

    // After NarrowToWindow: the width of the rows libjpeg delivers.
    const std::size_t width = d.cinfo.output_width;
    // Samples per pixel as libjpeg delivers them: 3 for blue, green, red, 4 for CMYK and 1
    // for a palette index.
    const std::size_t samples = static_cast<std::size_t>(d.cinfo.output_components);
    const bool convert = plan.cmyk || plan.quantize;
    std::vector<ColorEntry> palette;  // as DecodeJpegPicture gives the picture its table
    if (plan.quantize && d.cinfo.colormap)
        palette = PaletteOf(d.cinfo);
    const bool adobeInverted = d.cinfo.saw_Adobe_marker != FALSE;
    BandPipeline* pipeline = nullptr;
    if (alongside && static_cast<std::int64_t>(width) * d.cinfo.output_height >= alongsideFromPixels) {
        try {
            pipeline = &alongside->emplace(rows);
        } catch (const std::system_error&) {
            // No thread to be had (a process limit): the rows stay on this one, same bytes.
        }
    }

    // libjpeg-turbo's SIMD colour conversion writes rows that start on a 32-byte boundary
    // with non-temporal stores, which bypass the cache: the resampler would then read every
    // band back from memory. Rows that start kCachedRowOffset bytes past a cache line are
    // written through the cache, where the resampler finds them.
    const std::size_t stride = (width * samples + kCacheLine - 1) / kCacheLine * kCacheLine;
    const std::size_t slots = pipeline ? BandPipeline::kSlots : 1;
    std::vector<std::uint8_t> bands(stride * kBandRows * slots + kCacheLine + kCachedRowOffset);
    const auto misalign = reinterpret_cast<std::uintptr_t>(bands.data()) % kCacheLine;
    std::uint8_t* const bandsTop = bands.data() + (kCacheLine - misalign) % kCacheLine + kCachedRowOffset;
    const std::size_t bgrBand = width * 3 * kBandRows;
    std::vector<std::uint8_t> bgr(convert ? bgrBand * slots : 0);
    const IdlePipelineGuard idle(pipeline);
    // The next slot is taken only after a band was handed over: Push frees just that one.
    std::size_t slot = 0;
    while (d.cinfo.output_scanline < wanted.end) {
        std::uint8_t* const bandTop = bandsTop + slot * stride * kBandRows;
        std::array<JSAMPROW, kBandRows> bandRows{};
        for (std::size_t i = 0; i < bandRows.size(); ++i)
            bandRows[i] = bandTop + i * stride;
        const JDIMENSION bandFirst = d.cinfo.output_scanline;
        JDIMENSION count = 0;
        if (!JpegStep(d.jump, [&] { ReadBand(d.cinfo, bandRows.data(), count); }))
            return false;
        // The band's rows inside the window.
        const JDIMENSION start = std::max(bandFirst, wanted.first);
        const JDIMENSION stop = std::min(bandFirst + count, wanted.end);
        if (stop <= start)
            continue;
        const JDIMENSION from = start - bandFirst;
        const JDIMENSION to = stop - bandFirst;
        const std::uint8_t* first = bandRows[from];
        auto step = static_cast<std::int64_t>(stride);
        if (convert) {
            std::uint8_t* const out = bgr.data() + slot * bgrBand;
            for (std::size_t r = from; r < to; ++r) {
                const std::uint8_t* in = bandRows[r];
                std::uint8_t* row = out + (r - from) * width * 3;
                if (plan.cmyk) {
                    CmykRowToBgr(in, row, static_cast<std::int64_t>(width), adobeInverted);
                } else {
                    for (std::size_t x = 0; x < width; ++x)
                        PutPaletteColor(palette, in[x], row + 3 * x);
                }
            }
            first = out;
            step = static_cast<std::int64_t>(width * 3);
        }
        first += std::size_t{wanted.column} * (convert ? 3 : samples);
        if (pipeline)
            pipeline->Push(first, step, static_cast<int>(to - from));
        else
            rows(first, step, static_cast<int>(to - from));
        slot = (slot + 1) % slots;
    }
    // The rows below are read into the band buffers, which the consumer must be done with.
    if (pipeline && window)
        pipeline->WaitIdle();
    // A window of the rows of a quantized picture (not narrowed) reads them all: its colours
    // were chosen from all of them, and libjpeg skips none of them.
    const bool skips = window && !plan.quantize && !plan.buffered;
    return JpegStep(d.jump, [&] {
        if (skips)
            SkipRest(d.cinfo);
        else
            ReadRemainingRows(d.cinfo, bandsTop, stride);
        jpeg_finish_decompress(&d.cinfo);
    });
}

}  // namespace

JpegHeader ReadJpegHeader(std::span<const std::uint8_t> bytes)
{
    JpegHeader header;
    std::optional<JpegError> failure;
    {
        Decompressor d;
        const bool ok = Open(d, Input{bytes}) && JpegStep(d.jump, [&] {
            header.width = static_cast<int>(d.cinfo.image_width);
            header.height = static_cast<int>(d.cinfo.image_height);
            header.grayscale = d.cinfo.jpeg_color_space == JCS_GRAYSCALE;
            header.progressive = jpeg_has_multiple_scans(&d.cinfo) != FALSE;
        });
        if (!ok)
            failure = d.Failure();
    }  // the decompressor is destroyed before the error is raised
    if (failure)
        throw *failure;
    return header;
}

ReadNotes DecodeJpegPicture(std::span<const std::uint8_t> bytes, const JpegSettings& settings, Raster& picture)
{
    std::optional<JpegError> failure;
    ReadNotes notes;
    {
        Decompressor d;
        if (!Decode(d, bytes, settings, picture))
            failure = d.Failure();
        notes = d.Notes();
    }  // the decompressor is destroyed before the error is raised
    if (failure)
        throw *failure;
    return notes;
}

ReadNotes DecodeJpegRows(std::span<const std::uint8_t> bytes, const JpegSettings& settings, const JpegSizeSink& size,
                         const JpegRowSink& rows)
{
    if (settings.progressiveDisplay) {
        // Every scan is shown in the picture before the final pass overwrites it: decode it whole.
        Raster picture;
        const ReadNotes notes = DecodeJpegPicture(bytes, settings, picture);
        picture.SetPixelForm(PixelForm::Bgr24);
        size(picture.Width(), picture.Height());
        if (!picture.Empty())
            rows(picture.Row(0).data(), picture.RowStep(), picture.Height());
        return notes;
    }
    std::optional<JpegError> failure;
    ReadNotes notes;
    {
        Decompressor d;
        if (!DecodeRows(d, Input{bytes}, settings, size, rows))
            failure = d.Failure();
        notes = d.Notes();
    }  // the decompressor is destroyed before the error is raised
    if (failure)
        throw *failure;
    return notes;
}

namespace {

ReadNotes DecodeFileRows(const std::string& path, const JpegSettings& settings, const PictureWindow* window,
                         const JpegSizeSink& size, const JpegRowSink& rows, std::int64_t alongsideFromPixels)
{
    const OpenedFile file = OpenFileForReading(path);
    JpegFileReading reading;
    std::optional<JpegError> failure;
    ReadNotes notes;
    std::optional<BandPipeline> pipeline;  // started once the picture's size is known
    {
        Decompressor d;
        if (!DecodeRows(d, Input{{}, file.descriptor.Get(), &reading}, settings, size, rows, &pipeline,
                        alongsideFromPixels, window))
            failure = d.Failure();
        notes = d.Notes();
    }  // the decompressor is destroyed before the error is raised
    // The consumer's failure came first: it happened on a band decoded before the decoder's.
    if (pipeline && pipeline->Failure())
        std::rethrow_exception(pipeline->Failure());
    if (reading.failed)
        throw Error(kStreamReadError);
    if (reading.tooLarge)
        throw Error(kOutOfSystemResources, FailureCause::TooLarge);
    if (failure)
        throw *failure;
    return notes;
}

}  // namespace

ReadNotes DecodeJpegFileRows(const std::string& path, const JpegSettings& settings, const JpegSizeSink& size,
                             const JpegRowSink& rows, std::int64_t alongsideFromPixels)
{
    if (settings.progressiveDisplay)
        return DecodeJpegRows(ReadFileBytes(path), settings, size, rows);
    return DecodeFileRows(path, settings, nullptr, size, rows, alongsideFromPixels);
}

ReadNotes DecodeJpegFileWindowRows(const std::string& path, const JpegSettings& settings, const PictureWindow& window,
                                   const JpegSizeSink& size, const JpegRowSink& rows, std::int64_t alongsideFromPixels)
{
    if (settings.progressiveDisplay) {
        // Decoded whole: the window is cut out of its rows.
        int pictureWidth = 0;
        int next = 0;
        return DecodeJpegRows(
            ReadFileBytes(path), settings,
            [&](int width, int height) {
                pictureWidth = width;
                size(width, height);
            },
            [&](const std::uint8_t* first, std::int64_t step, int count) {
                for (int i = 0; i < count; ++i, ++next) {
                    if (next >= window.y && next < window.y + window.height && window.x + window.width <= pictureWidth)
                        rows(first + i * step + 3 * std::int64_t{window.x}, step, 1);
                }
            });
    }
    return DecodeFileRows(path, settings, &window, size, rows, alongsideFromPixels);
}

}  // namespace picbatch
