// Reading a JPEG file's header through libjpeg, and what the decoding of its picture keeps.
#include "pictures/jpeg/jpeg_file_header.h"

#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <optional>

#include <jpeglib.h>

#include "pictures/files/file_io.h"
#include "pictures/jpeg/jpeg_error.h"
#include "pictures/jpeg/jpeg_error_manager.h"
#include "pictures/jpeg/jpeg_file_source.h"
#include "pictures/jpeg/jpeg_settings.h"

namespace picbatch {

namespace {

// Bytes per column of the picture that the band decoder keeps besides any coefficients:
// libjpeg's context and upsampling rows, the binding's band buffers (three bands of 16 rows
// while a second thread resamples), the CMYK or palette conversion bands. Measured: about
// 350 for 8000-pixel-wide pictures, 4:2:0, 4:4:4 and grey alike, with the second thread.
constexpr std::int64_t kStreamBytesPerColumn = 512;
// What one block of coefficients takes: 64 coefficients of 2 bytes.
constexpr std::int64_t kBlockBytes = 64 * 2;
// What a whole decoded picture takes per pixel: blue, green, red.
constexpr std::int64_t kBgrBytes = 3;
// ReadFileBytes's room beyond the file's size.
constexpr std::int64_t kReadSlack = 64 * 1024;

// What the header says, copied out of the decompressor.
struct HeaderFacts {
    int width = 0;
    int height = 0;
    bool multiScan = false;
    std::int64_t coefficientBytes = 0;  // the whole-picture coefficient arrays of a multi-scan file
};

// A libjpeg decompressor that reads one file's header; destroyed before any error is thrown.
struct HeaderReader {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    JpegJump jump;

    HeaderReader()
    {
        cinfo.err = InitJpegErrorManager(&err);
        cinfo.client_data = &jump;
    }
    ~HeaderReader() { jpeg_destroy_decompress(&cinfo); }  // also safe before creation
    HeaderReader(const HeaderReader&) = delete;
    HeaderReader& operator=(const HeaderReader&) = delete;
};

// The coefficient arrays libjpeg requests for a multi-scan file, each component's blocks
// rounded up to whole iMCUs as its coefficient controller rounds them.
std::int64_t CoefficientBytes(const jpeg_decompress_struct& cinfo)
{
    std::int64_t total = 0;
    for (int i = 0; i < cinfo.num_components; ++i) {
        const jpeg_component_info& c = cinfo.comp_info[i];
        const std::int64_t h = c.h_samp_factor > 0 ? c.h_samp_factor : 1;
        const std::int64_t v = c.v_samp_factor > 0 ? c.v_samp_factor : 1;
        const std::int64_t columns = (std::int64_t{c.width_in_blocks} + h - 1) / h * h;
        const std::int64_t rows = (std::int64_t{c.height_in_blocks} + v - 1) / v * v;
        total += columns * rows * kBlockBytes;  // below 2^43: 10 components of 65535^2 blocks
    }
    return total;
}

// Reads the header into facts. Step code: no throwing, trivially destructible locals only.
void ReadFacts(HeaderReader& reader, int fd, JpegFileReading* reading, HeaderFacts& facts) noexcept
{
    jpeg_CreateDecompress(&reader.cinfo, JPEG_LIB_VERSION, sizeof reader.cinfo);
    AttachJpegFileSource(&reader.cinfo, fd, reading);
    jpeg_read_header(&reader.cinfo, TRUE);
    facts.width = static_cast<int>(reader.cinfo.image_width);
    facts.height = static_cast<int>(reader.cinfo.image_height);
    facts.multiScan = jpeg_has_multiple_scans(&reader.cinfo) != FALSE;
    if (facts.multiScan)
        facts.coefficientBytes = CoefficientBytes(reader.cinfo);
}

}  // namespace

PictureHeader ReadJpegFileHeader(const std::string& path)
{
    const OpenedFile file = OpenFileForReading(path);
    JpegFileReading reading;
    HeaderFacts facts;
    std::optional<JpegError> failure;
    {
        HeaderReader reader;
        if (!JpegStep(reader.jump, [&] { ReadFacts(reader, file.descriptor.Get(), &reading, facts); }))
            failure = JpegError(reader.jump.code, reader.jump.endedEarly);
    }  // the decompressor is destroyed before the error is raised
    if (failure)
        throw *failure;

    PictureHeader header;
    header.width = facts.width;
    header.height = facts.height;
    const std::int64_t pixels = std::int64_t{facts.width} * facts.height;
    header.streamedBytes = facts.width * kStreamBytesPerColumn + facts.coefficientBytes;
    header.wholeReadBytes = file.size + kReadSlack + pixels * kBgrBytes + facts.coefficientBytes;
    header.wholePictureBytes = pixels * kBgrBytes;
    // Progressive display decodes the file whole, read into memory, and hands its picture
    // over in one band.
    if (DefaultJpegSettings().progressiveDisplay) {
        header.bandsDecodedWhole = true;
        header.streamedBytes = header.wholeReadBytes;
    }
    return header;
}

}  // namespace picbatch
