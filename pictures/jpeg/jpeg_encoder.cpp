// Encoding a Raster as JPEG data through libjpeg.
#include "pictures/jpeg/jpeg_encoder.h"

#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <exception>
#include <memory>
#include <stdexcept>

#include <jpeglib.h>

#include "imaging/raster.h"
#include "pictures/byte_sink.h"
#include "pictures/jpeg/jpeg_error.h"
#include "pictures/jpeg/jpeg_error_manager.h"
#include "pictures/jpeg/jpeg_settings.h"
#include "pictures/jpeg/jpeg_sink_destination.h"

namespace picbatch {

// One libjpeg compressor with its own error manager, on the heap so that it never lives in
// a frame that calls setjmp.
struct JpegRowEncoder::Compressor {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    JpegJump jump;
    std::exception_ptr sinkFailure;  // what the sink threw, raised after the failed step

    Compressor()
    {
        cinfo.err = InitJpegErrorManager(&err);
        cinfo.client_data = &jump;  // kept by jpeg_CreateCompress
    }
    ~Compressor() { jpeg_destroy_compress(&cinfo); }  // also safe before creation
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
};

namespace {

// Sets every compression parameter explicitly, so that the linked library's defaults
// decide nothing. Runs inside a step.
void Configure(jpeg_compress_struct& cinfo, int width, int height, const JpegSettings& settings)
{
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;  // the Raster's byte order
    jpeg_set_defaults(&cinfo);
    // Annex K tables scaled by quality, entries limited to 1..255 (baseline).
    jpeg_set_quality(&cinfo, settings.quality, TRUE);
    cinfo.data_precision = 8;
    cinfo.optimize_coding = FALSE;
    cinfo.arith_code = FALSE;
    cinfo.dct_method = JDCT_FLOAT;
    cinfo.smoothing_factor = 0;
    cinfo.CCIR601_sampling = FALSE;
    cinfo.restart_interval = 0;
    cinfo.restart_in_rows = 0;
    cinfo.scan_info = nullptr;
    cinfo.num_scans = 0;
    // YCbCr, components 1, 2, 3, luminance sampled 2x2 and chrominance 1x1, tables 0 for
    // luminance and 1 for chrominance; also turns the JFIF marker on and Adobe's off.
    jpeg_set_colorspace(&cinfo, JCS_YCbCr);
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = 2;
    for (int c = 1; c < 3; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    if (settings.grayscale)
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    cinfo.write_JFIF_header = TRUE;
    cinfo.JFIF_major_version = 1;
    cinfo.JFIF_minor_version = 1;
    cinfo.density_unit = 0;  // aspect ratio only
    cinfo.X_density = 1;
    cinfo.Y_density = 1;
    cinfo.write_Adobe_marker = FALSE;
    if (settings.progressiveEncoding)
        jpeg_simple_progression(&cinfo);
}

// One block of coefficients: 64 of 2 bytes.
constexpr std::int64_t kBlockBytes = 64 * 2;
// The pixels one sampling unit spans a side: 16 for 4:2:0 YCbCr, 8 for one gray component.
constexpr std::int64_t kColourUnitSide = 16;
constexpr std::int64_t kGrayUnitSide = 8;
// Blocks in a 4:2:0 unit: 2 x 2 of luminance and one of each chrominance.
constexpr std::int64_t kColourUnitBlocks = 6;

}  // namespace

std::int64_t JpegEncodingBytes(int width, int height, const JpegSettings& settings)
{
    if (!settings.progressiveEncoding)
        return 0;
    // libjpeg keeps each component's blocks rounded up to whole sampling units, of the
    // sampling Configure sets.
    const std::int64_t side = settings.grayscale ? kGrayUnitSide : kColourUnitSide;
    const std::int64_t blocksPerUnit = settings.grayscale ? 1 : kColourUnitBlocks;
    const std::int64_t units = (width + side - 1) / side * ((height + side - 1) / side);
    return units * blocksPerUnit * kBlockBytes;  // below 2^38 for sides up to 65535
}

JpegRowEncoder::Compressor& JpegRowEncoder::Live()
{
    if (!m_compressor)
        throw std::logic_error("JpegRowEncoder used after a failure or its end");
    return *m_compressor;
}

template <class Work>
void JpegRowEncoder::Step(Work&& work)
{
    if (JpegStep(Live().jump, work))
        return;
    const int code = m_compressor->jump.code;
    const std::exception_ptr sinkFailure = m_compressor->sinkFailure;
    m_compressor.reset();  // the compressor is destroyed before the error is raised
    if (sinkFailure)
        std::rethrow_exception(sinkFailure);
    throw JpegError(code);
}

JpegRowEncoder::JpegRowEncoder(int width, int height, const JpegSettings& settings, ByteSink& out)
    : m_compressor(std::make_unique<Compressor>())
{
    Step([&, &c = Live()] {
        jpeg_CreateCompress(&c.cinfo, JPEG_LIB_VERSION, sizeof c.cinfo);
        AttachJpegSinkDestination(&c.cinfo, &out, &c.sinkFailure);
        Configure(c.cinfo, width, height, settings);
        jpeg_start_compress(&c.cinfo, TRUE);
    });
}

JpegRowEncoder::~JpegRowEncoder() = default;

void JpegRowEncoder::AddRow(const std::uint8_t* bgr)
{
    Step([&, &c = Live()] {
        if (c.cinfo.next_scanline < c.cinfo.image_height) {
            // libjpeg's row type is not const, but it only reads input rows.
            auto row = const_cast<JSAMPROW>(bgr);
            jpeg_write_scanlines(&c.cinfo, &row, 1);
        }
    });
}

void JpegRowEncoder::Finish()
{
    if (Live().cinfo.next_scanline < Live().cinfo.image_height)
        throw std::logic_error("JpegRowEncoder::Finish before every row was added");
    Step([&c = Live()] { jpeg_finish_compress(&c.cinfo); });
    m_compressor.reset();
}

void EncodeJpegPicture(const Raster& picture, const JpegSettings& settings, std::vector<std::uint8_t>& out)
{
    MemorySink sink(out);
    EncodeWholePicture(picture, [&](int width, int height) {
        return std::make_unique<JpegRowEncoder>(width, height, settings, sink);
    });
}

}  // namespace picbatch
