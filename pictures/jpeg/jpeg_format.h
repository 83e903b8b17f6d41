// What the format table's JPEG row points at: the JPEG binding as the rest of the program
// reads, writes and budgets JPEG files.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "pictures/read_notes.h"
#include "pictures/row_sinks.h"

namespace picbatch {

class ByteSink;
class MetadataSink;
class Raster;
class RowEncoder;
struct PictureWindow;
struct EncodeSettings;

// Libjpeg's largest side: its encoder refuses more.
inline constexpr int kMaxJpegSide = 65500;
// The file at path decoded at the default settings (DefaultJpegSettings): 24-bit, or 8-bit
// paletted in the 8-bit pixel format. Throws JpegError or the file's errors.
Raster ReadJpegFile(const std::string& path, ReadNotes& notes);

// DecodeJpegFileRows at the default settings.
void DecodeJpegFileBands(const std::string& path, const PictureSizeSink& size, const PictureRowSink& rows,
                         std::int64_t alongsideFromPixels, ReadNotes& notes);

// DecodeJpegFileWindowRows at the default settings.
void DecodeJpegFileWindowBands(const std::string& path, const PictureWindow& window, const PictureSizeSink& size,
                               const PictureRowSink& rows, std::int64_t alongsideFromPixels, ReadNotes& notes);

// A JpegRowEncoder at the default settings with the settings' quality and progression
// (JpegSettingsFor).
std::unique_ptr<RowEncoder> StartJpegRowEncoding(int width, int height, const EncodeSettings& settings,
                                                 ByteSink& out);

// JpegEncodingBytes of that encoder.
std::int64_t JpegRowEncodingBytes(int width, int height, const EncodeSettings& settings);

// A SegmentSplicingSink (jpeg_segments.h).
std::unique_ptr<MetadataSink> StartJpegSegments(ByteSink& out, std::span<const std::uint8_t> exif,
                                                std::span<const std::uint8_t> icc);

}  // namespace picbatch
