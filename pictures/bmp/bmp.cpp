// Reading BMP files: the headers give the layout, then the pixel array fills a new Raster.
#include "pictures/bmp/bmp.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp_layout.h"
#include "pictures/bmp/bmp_rle.h"
#include "pictures/files/file_io.h"

namespace picbatch {

namespace {

std::string SystemErrorMessage(int code)
{
    return "System Error.  Code: " + std::to_string(code) + ".\r\n" + SystemErrorText(code);
}

// The layout was checked against the size limits, so a store that cannot be made here has
// run out of memory. The store starts all zero, which is what every pixel byte that the file
// leaves out becomes; its pages are not touched until pixels are written, so a short file
// that declares a large picture costs little until the picture is used.
void MakeStore(const BmpLayout& layout, Raster& raster)
{
    try {
        raster.SetPixelForm(layout.form);
        raster.SetSizeForWriting(layout.width, layout.height);
    } catch (const std::bad_alloc&) {
        throw Error(SystemErrorMessage(ENOMEM), FailureCause::OutOfMemory);
    } catch (const Error&) {
        throw Error(SystemErrorMessage(ENOMEM), FailureCause::OutOfMemory);
    }
}

// Copies the rows the data holds into the zero store (pixels is at most the store's size).
// Bottom-up files have the bytes of the store; top-down rows go into the store in reverse
// order.
void FillUncompressed(std::span<const std::uint8_t> pixels, bool topDown, Raster& raster)
{
    if (!topDown) {
        std::copy(pixels.begin(), pixels.end(), raster.Bits().begin());
        return;
    }
    const auto rowSize = static_cast<std::size_t>(raster.RowSize());
    for (int y = 0; y < raster.Height(); ++y) {
        const std::size_t offset = static_cast<std::size_t>(y) * rowSize;
        if (offset >= pixels.size())
            break;
        const std::size_t present = std::min(rowSize, pixels.size() - offset);
        std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(offset), present, raster.Row(y).begin());
    }
}

}  // namespace

ReadNotes ParseBmp(std::span<const std::uint8_t> bytes, Raster& raster)
{
    if (bytes.empty()) {
        raster = Raster();
        return {};
    }
    const BmpLayout layout = ReadBmpLayout(bytes);
    const auto pixels = bytes.subspan(static_cast<std::size_t>(layout.pixelOffset),
                                      static_cast<std::size_t>(layout.pixelBytes));

    // Everything goes into a Raster of our own, so a failure leaves the caller's untouched.
    Raster picture;
    MakeStore(layout, picture);
    ReadNotes notes;
    if (layout.compression == 1 || layout.compression == 2) {
        notes.incomplete = !DecodeBmpRle(pixels, picture);
    } else {
        FillUncompressed(pixels, layout.topDown, picture);
        notes.incomplete = layout.pixelBytes < PixelBytesNeeded(layout);
    }
    if (layout.bitCount <= 8)
        picture.SetColorTable(layout.colorTable);
    if (layout.form == PixelForm::Masked16 || layout.form == PixelForm::Masked32)
        picture.SetMasks(layout.masks);
    raster = std::move(picture);
    return notes;
}

ReadNotes ReadBmp(const std::string& path, Raster& raster)
{
    return ParseBmp(ReadFileBytes(path), raster);
}

}  // namespace picbatch
