// Stores for the decoders that write into the Raster themselves.
#include "pictures/decoded_store.h"

#include <cstddef>
#include <new>
#include <utility>

#include "imaging/error.h"

namespace picbatch {

namespace {

constexpr std::uint8_t kOpaque = 255;
constexpr std::size_t kAlphaByte = 3;  // of blue, green, red, alpha

}  // namespace

Raster MakeDecodedStore(int width, int height, bool alpha, bool opaque)
{
    Raster picture;
    try {
        picture.SetPixelForm(alpha ? PixelForm::Bgra32 : PixelForm::Bgr24);
        picture.SetSizeForWriting(width, height);
    } catch (const std::bad_alloc&) {
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    } catch (const Error&) {
        throw Error(kOutOfSystemResources, FailureCause::OutOfMemory);
    }
    if (alpha && opaque)
        MakeOpaqueFrom(picture, 0);
    return picture;
}

void MakeOpaqueFrom(Raster& picture, int firstRow)
{
    for (int y = firstRow; y < picture.Height(); ++y) {
        const auto row = picture.Row(y);
        for (std::size_t i = kAlphaByte; i < row.size(); i += 4)
            row[i] = kOpaque;
    }
}

void DropOpaqueAlpha(Raster& picture)
{
    if (picture.Form() != PixelForm::Bgra32)
        return;
    const auto bytes = std::as_const(picture).Bits();
    for (std::size_t i = kAlphaByte; i < bytes.size(); i += 4) {
        if (bytes[i] != kOpaque)
            return;
    }
    picture.SetPixelForm(PixelForm::Bgr24);  // over white, an opaque colour stays as it is
}

}  // namespace picbatch
