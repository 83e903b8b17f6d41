// The metadata segments of a JPEG file, read with libjpeg up to the start of its first scan:
// APP1 for EXIF, APP2 for the ICC profile (which libjpeg puts together from its chunks).
#include "pictures/jpeg/jpeg_metadata.h"

#include <cstdio>  // jpeglib.h needs FILE
#include <jpeglib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "imaging/error.h"
#include "pictures/exif_block.h"
#include "pictures/files/file_io.h"
#include "pictures/jpeg/jpeg_error_manager.h"
#include "pictures/jpeg/jpeg_file_source.h"

namespace picbatch {

namespace {

// "Exif" and two zero bytes open an EXIF APP1 segment (XMP uses APP1 too).
constexpr std::uint8_t kExifSignature[] = {'E', 'x', 'i', 'f', 0, 0};
// The largest payload libjpeg keeps of a segment: all of it.
constexpr unsigned int kWholeSegment = 0xFFFF;

struct HeaderReader {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    JpegJump jump;
    JOCTET* icc = nullptr;  // from jpeg_read_icc_profile, malloc'd
    unsigned int iccLength = 0;

    HeaderReader()
    {
        cinfo.err = InitJpegErrorManager(&err);
        cinfo.client_data = &jump;
    }
    ~HeaderReader()
    {
        std::free(icc);  // NOLINT(*-no-malloc): libjpeg's allocation
        jpeg_destroy_decompress(&cinfo);
    }
    HeaderReader(const HeaderReader&) = delete;
    HeaderReader& operator=(const HeaderReader&) = delete;
};

bool ReadHeader(HeaderReader& reader, int fd, JpegFileReading& reading)
{
    return JpegStep(reader.jump, [&] {
        jpeg_CreateDecompress(&reader.cinfo, JPEG_LIB_VERSION, sizeof reader.cinfo);
        AttachJpegFileSource(&reader.cinfo, fd, &reading);
        jpeg_save_markers(&reader.cinfo, JPEG_APP0 + 1, kWholeSegment);
        jpeg_save_markers(&reader.cinfo, JPEG_APP0 + 2, kWholeSegment);
        jpeg_read_header(&reader.cinfo, TRUE);
    });
}

bool ReadIcc(HeaderReader& reader)
{
    return JpegStep(reader.jump, [&] {
        if (!jpeg_read_icc_profile(&reader.cinfo, &reader.icc, &reader.iccLength)) {
            reader.icc = nullptr;
            reader.iccLength = 0;
        }
    });
}

}  // namespace

PictureMetadata ReadJpegMetadata(const std::string& path)
{
    PictureMetadata metadata;
    try {
        const OpenedFile file = OpenFileForReading(path);
        JpegFileReading reading;
        HeaderReader reader;
        if (!ReadHeader(reader, file.descriptor.Get(), reading))
            return metadata;
        // The first EXIF segment counts, as for every reader that looks for one.
        for (jpeg_saved_marker_ptr m = reader.cinfo.marker_list; m; m = m->next) {
            if (m->marker == JPEG_APP0 + 1 && m->data_length > sizeof kExifSignature
                && std::equal(std::begin(kExifSignature), std::end(kExifSignature), m->data)) {
                metadata.exif.assign(m->data, m->data + m->data_length);
                break;
            }
        }
        if (ReadIcc(reader) && reader.icc)
            metadata.iccProfile.assign(reader.icc, reader.icc + reader.iccLength);
    } catch (const Error&) {
        return PictureMetadata{};  // the conversion reports why the file cannot be read
    }
    metadata.orientation = ExifOrientation(metadata.exif);
    return metadata;
}

}  // namespace picbatch
