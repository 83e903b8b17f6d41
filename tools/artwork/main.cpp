// picbatch-artwork OUTPUT_FOLDER: draws the window artwork into artwork.jpg (baseline
// JPEG, encoded through the project's JpegImage) and the icon into picbatch.png.
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>

#include <cstdio>
#include <vector>

#include "app/raster_image.h"
#include "app/window_layout.h"
#include "pictures/jpeg/jpeg_image.h"
#include "tools/artwork/draw_artwork.h"

namespace picbatch {

namespace {

bool WriteBytes(const QString& path, const std::vector<std::uint8_t>& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

}  // namespace

}  // namespace picbatch

using namespace picbatch;

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: picbatch-artwork OUTPUT_FOLDER\n");
        return 2;
    }
    // Another font would change every glyph, so the output would not be reproducible.
    if (!QFontDatabase::families().contains(QString::fromLatin1(layout::kFontFamily))) {
        std::fprintf(stderr, "picbatch-artwork: the font \"%s\" is not installed\n",
                     layout::kFontFamily);
        return 1;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);

    JpegImage jpeg;
    jpeg.Settings().quality = 95;  // crisper text edges than the default 90, still small
    jpeg.Settings().progressiveEncoding = false;
    jpeg.AssignPicture(RasterFromImage(DrawArtwork()));
    std::vector<std::uint8_t> bytes;
    jpeg.SaveJpegData(bytes);
    if (!WriteBytes(folder + "/artwork.jpg", bytes)) {
        std::fprintf(stderr, "picbatch-artwork: cannot write artwork.jpg\n");
        return 1;
    }
    if (!DrawIcon(256).save(folder + "/picbatch.png", "PNG")) {
        std::fprintf(stderr, "picbatch-artwork: cannot write picbatch.png\n");
        return 1;
    }
    return 0;
}
