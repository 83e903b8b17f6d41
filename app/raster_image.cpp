// Row-by-row copies: both sides pad rows to 4 bytes, but Raster keeps them bottom-up, so
// rows are copied one at a time through Raster::Row, which maps top-down numbering.
#include "app/raster_image.h"

#include <cstring>

#include "imaging/raster.h"

namespace picbatch {

QImage ImageFromRaster(const Raster& raster)
{
    if (raster.Empty() || raster.Width() <= 0 || raster.Height() <= 0)
        return {};
    Raster bgr = raster;  // shares the store; SetPixelForm detaches only when converting
    bgr.SetPixelForm(PixelForm::Bgr24);
    QImage image(bgr.Width(), bgr.Height(), QImage::Format_BGR888);
    if (image.isNull())
        return {};
    const auto rowBytes = static_cast<std::size_t>(bgr.Width()) * 3;
    const Raster& source = bgr;
    for (int y = 0; y < source.Height(); ++y)
        std::memcpy(image.scanLine(y), source.Row(y).data(), rowBytes);
    return image;
}

Raster RasterFromImage(const QImage& image)
{
    Raster raster;
    if (image.isNull())
        return raster;
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    raster.SetPixelForm(PixelForm::Bgr24);
    raster.SetWidth(bgr.width());
    raster.SetHeight(bgr.height());
    const auto rowBytes = static_cast<std::size_t>(bgr.width()) * 3;
    for (int y = 0; y < bgr.height(); ++y)
        std::memcpy(raster.Row(y).data(), bgr.constScanLine(y), rowBytes);
    return raster;
}

}  // namespace picbatch
