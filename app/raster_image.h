// Conversions between the core's Raster and Qt's QImage, for showing decoded pictures and
// for encoding pictures drawn with QPainter.
#pragma once

#include <QImage>

namespace picbatch {

class Raster;

// A copy of raster as a QImage (Format_BGR888); a null QImage for an empty raster.
// Converts other pixel forms to blue, green, red first (on a copy). Throws Error.
QImage ImageFromRaster(const Raster& raster);

// A Bgr24 Raster holding image's pixels (any alpha channel dropped);
// an empty Raster for a null image. Throws Error when the size exceeds the limits.
Raster RasterFromImage(const QImage& image);

}  // namespace picbatch
