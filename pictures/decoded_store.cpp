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

Raster MakeDecodedStore(int width, int height, bool alpha)
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
    if (alpha) {
        // A Bgra32 row has no padding: the store is one run of pixels.
        const auto bytes = picture.Bits();
        for (std::size_t i = kAlphaByte; i < bytes.size(); i += 4)
            bytes[i] = kOpaque;
    }
    return picture;
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
