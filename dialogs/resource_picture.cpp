// Reading the bundled BMP icons through the project's own BMP reader.
#include "dialogs/resource_picture.h"

#include "imaging/error.h"
#include "imaging/raster.h"
#include "pictures/bmp/bmp.h"

#include <QFile>
#include <QPixmap>

#include <cstdint>
#include <span>

namespace picbatch {

QImage TransparentImage(const Raster& source)
{
    if (source.Empty() || source.Width() <= 0 || source.Height() <= 0)
        return {};
    Raster raster = source;
    raster.SetPixelForm(PixelForm::Bgr24);
    const int width = raster.Width();
    const int height = raster.Height();
    const auto bottomLeft = raster.Row(height - 1);
    const std::uint8_t key[3] = {bottomLeft[0], bottomLeft[1], bottomLeft[2]};

    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        const auto row = raster.Row(y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* bgr = row.data() + 3 * static_cast<std::size_t>(x);
            const bool transparent = bgr[0] == key[0] && bgr[1] == key[1] && bgr[2] == key[2];
            out[x] = transparent ? qRgba(0, 0, 0, 0) : qRgb(bgr[2], bgr[1], bgr[0]);
        }
    }
    return image;
}

QImage ResourcePicture(const QString& name)
{
    QFile file(QStringLiteral(":/dialogs/%1.bmp").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        throw Error("Resource " + name.toStdString() + " not found");
    const QByteArray bytes = file.readAll();
    Raster raster;
    ParseBmp(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                       static_cast<std::size_t>(bytes.size())),
             raster);
    return TransparentImage(raster);
}

QIcon ButtonGlyph(const QString& name)
{
    const QImage both = ResourcePicture(name);
    const int side = both.height();
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(both.copy(0, 0, side, side)), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(both.copy(side, 0, side, side)), QIcon::Disabled);
    return icon;
}

}  // namespace picbatch
