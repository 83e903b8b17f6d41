// Encoding a Raster as JPEG data through libjpeg with the binding's fixed parameters.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "pictures/row_encoder.h"

namespace picbatch {

class ByteSink;
class Raster;
struct JpegSettings;

// Appends picture, encoded at the given settings, to out: baseline JFIF 1.01 with density
// unit 0 and densities 1/1, 4:2:0 YCbCr (one component with the grayscale setting), the
// standard tables scaled to the quality, floating-point DCT, no restart markers; with
// progressive encoding, libjpeg's standard progression with optimised Huffman tables instead
// of baseline. A picture with no pixels appends nothing. Any pixel form that converts to
// Bgr24 is accepted.
// Throws JpegError ("JPEG error #41" for a side above 65500) after the libjpeg object is
// destroyed; out may then hold part of a stream.
void EncodeJpegPicture(const Raster& picture, const JpegSettings& settings, std::vector<std::uint8_t>& out);

// What an encoding of width x height at settings keeps for the whole picture besides its
// rows: nothing for baseline; for progressive encoding, whose scans are written once every row
// is in, every coefficient block of the picture, as libjpeg allocates them.
std::int64_t JpegEncodingBytes(int width, int height, const JpegSettings& settings);

// The same encoding fed one row at a time, top row first, as a resampler makes them: the
// picture never needs to be stored whole. The output is byte for byte EncodeJpegPicture's of
// the picture made of these rows.
class JpegRowEncoder final : public RowEncoder {
public:
    // Starts a width x height encoding (both at least 1) written to out from its start as the
    // bytes are made; out must outlive the encoder. Throws JpegError as EncodeJpegPicture does
    // ("JPEG error #41" for a side above 65500), and what out throws; the encoder is then
    // unusable.
    JpegRowEncoder(int width, int height, const JpegSettings& settings, ByteSink& out);
    ~JpegRowEncoder() override;
    JpegRowEncoder(const JpegRowEncoder&) = delete;
    JpegRowEncoder& operator=(const JpegRowEncoder&) = delete;

    // The next row: 3 x width bytes of blue, green, red. Rows past the height are ignored.
    void AddRow(const std::uint8_t* bgr) override;
    // Ends the stream once every row was added; throws std::logic_error before.
    void Finish() override;

private:
    struct Compressor;
    // The compressor; throws std::logic_error once a failure or Finish has ended it.
    Compressor& Live();
    // Runs a libjpeg step; on a libjpeg error destroys the compressor, then throws JpegError.
    template <class Work>
    void Step(Work&& work);

    std::unique_ptr<Compressor> m_compressor;
};

}  // namespace picbatch
