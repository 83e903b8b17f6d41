// Writing PNG files with libspng: 8-bit RGB, or RGBA for a picture with transparency, encoded
// row by row from the Raster's rows into a byte vector.
#include "pictures/png/png.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/png/spng_context.h"

namespace picbatch {

namespace {

struct PngOutput {
    std::vector<std::uint8_t>* bytes;
    bool outOfMemory = false;
};

extern "C" {

// The vector may throw, and no exception may cross libspng's frames: a failure is noted and
// reported to libspng as a write error.
static int AppendPngBytes(spng_ctx* /*context*/, void* user, void* source, std::size_t length)
{
    auto* output = static_cast<PngOutput*>(user);
    try {
        const auto* first = static_cast<const std::uint8_t*>(source);
        output->bytes->insert(output->bytes->end(), first, first + length);
        return 0;
    } catch (...) {
        output->outOfMemory = true;
        return SPNG_IO_ERROR;
    }
}

}  // extern "C"

void Require(int code, const PngOutput& output)
{
    if (code == 0)
        return;
    if (output.outOfMemory)
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    throw PngError(code);
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const Raster& raster)
{
    if (raster.Empty())
        return {};
    const bool alpha = raster.Form() == PixelForm::Bgra32;
    // Any other form is written as its 24-bit conversion; a Bgr24 copy shares the store.
    Raster picture = raster;
    if (!alpha)
        picture.SetPixelForm(PixelForm::Bgr24);
    const std::size_t pixelBytes = alpha ? 4 : 3;

    std::vector<std::uint8_t> bytes;
    PngOutput output{&bytes};
    const SpngContext context(SPNG_CTX_ENCODER);
    Require(spng_set_png_stream(context.Get(), AppendPngBytes, &output), output);
    spng_ihdr header{};
    header.width = static_cast<std::uint32_t>(picture.Width());
    header.height = static_cast<std::uint32_t>(picture.Height());
    header.bit_depth = 8;
    header.color_type = alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
    Require(spng_set_ihdr(context.Get(), &header), output);
    Require(spng_encode_image(context.Get(), nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE),
            output);

    std::vector<std::uint8_t> row(pixelBytes * header.width);
    for (int y = 0; y < picture.Height(); ++y) {
        const auto pixels = std::as_const(picture).Row(y);
        std::copy_n(pixels.begin(), row.size(), row.begin());
        for (std::size_t x = 0; x < header.width; ++x)  // the Raster holds blue first, PNG red
            std::swap(row[pixelBytes * x], row[pixelBytes * x + 2]);
        const int code = spng_encode_row(context.Get(), row.data(), row.size());
        if (code != 0 && !(code == SPNG_EOI && y + 1 == picture.Height()))
            Require(code, output);
    }
    return bytes;
}

}  // namespace picbatch
