// The dialogs' icons and glyphs: 16-colour BMP files bundled as Qt resources, read by the
// project's BMP reader and drawn with the colour of their bottom-left pixel transparent.
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace picbatch {

class Raster;

// raster in ARGB32, every pixel of the bottom-left pixel's colour fully transparent.
// An empty raster gives a null image.
QImage TransparentImage(const Raster& raster);

// The picture ":/dialogs/<name>.bmp" (FLOPPY, HARD, ..., BBCANCEL) made transparent.
// Throws Error when the resource is missing or no valid BMP.
QImage ResourcePicture(const QString& name);

// A button glyph of two square pictures side by side: the left one for the enabled
// button, the right one (greyed) for the disabled button.
QIcon ButtonGlyph(const QString& name);

}  // namespace picbatch
