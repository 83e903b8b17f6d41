// BMP files: the reader of the common variants and the writer of the one 24-bit layout.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pictures/read_notes.h"
#include "pictures/row_encoder.h"

namespace picbatch {

class ByteSink;
class Raster;

// Reads a whole BMP file held in memory into raster, in the pixel form of the file.
// Zero bytes give an empty Raster. Throws Error ("Bitmap image is not valid",
// "Stream read error", ...); on failure raster keeps what it held. The notes say whether the
// pixel data ended before the picture did (the missing pixel bytes are then 0).
ReadNotes ParseBmp(std::span<const std::uint8_t> bytes, Raster& raster);

// ReadFileBytes(path), then ParseBmp.
ReadNotes ReadBmp(const std::string& path, Raster& raster);

// The 24-bit BMP file of a picture fed row by row: the 54-byte header at once, then each row,
// padded to 4 bytes, at its place in the bottom-up layout, so that no more than a row is held.
class BmpRowEncoder final : public RowEncoder {
public:
    // Starts a width x height file (both at least 1) in out, which must outlive the encoder.
    // Throws what out throws.
    BmpRowEncoder(int width, int height, ByteSink& out);

    void AddRow(const std::uint8_t* bgr) override;
    void Finish() override;

private:
    ByteSink& m_out;
    int m_width;
    int m_height;
    int m_nextRow = 0;
    std::vector<std::uint8_t> m_row;  // one row with its padding
};

// The file bytes of a raster (any form that converts to Bgr24): 54-byte header and the
// bottom-up rows; no bytes at all for an empty raster.
std::vector<std::uint8_t> EncodeBmp(const Raster& raster);

// EncodeBmp's bytes written to an OutputFile at path and committed.
void WriteBmp(const Raster& raster, const std::string& path);

}  // namespace picbatch
