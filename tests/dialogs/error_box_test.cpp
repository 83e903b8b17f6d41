// The error box's caption and text, and the bundled icons.
#include "dialogs/error_box.h"
#include "dialogs/resource_picture.h"
#include "imaging/raster.h"

#include "modal.h"

#include <QTest>

#include <memory>

namespace picbatch {

class ErrorBoxTest : public QObject {
    Q_OBJECT
private slots:
    void applicationTitle_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << "/usr/bin/picbatch" << "picbatch";
        QTest::newRow("cut before the first dot") << "/opt/tools/picbatch.bin.old" << "picbatch";
        QTest::newRow("first letter kept, the rest lower case") << "/opt/PicBatch" << "Picbatch";
        QTest::newRow("name without folder") << "PICBATCH" << "Picbatch";
        QTest::newRow("dot first gives nothing") << "/home/ann/.hidden" << "";
    }

    void applicationTitle()
    {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QCOMPARE(ApplicationTitleFor(path), title);
    }

    void errorBoxText_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("text");
        QTest::newRow("letter last") << "File not found" << "File not found.";
        QTest::newRow("digit last") << "I/O error 5" << "I/O error 5.";
        QTest::newRow("full stop last") << "Stream read error." << "Stream read error.";
        QTest::newRow("exclamation mark sorts before the dot") << "Stop!" << "Stop!";
        QTest::newRow("quote sorts before the dot") << "Cannot open file \"x\"" << "Cannot open file \"x\"";
        QTest::newRow("Chinese last") << "找不到文件" << "找不到文件.";
        QTest::newRow("empty") << "" << "";
    }

    void errorBoxText()
    {
        QFETCH(QString, message);
        QFETCH(QString, text);
        QCOMPARE(ErrorBoxText(message), text);
    }

    void showErrorBox()
    {
        SeenMessageBox seen;
        AnswerNextMessageBox(seen);
        ShowErrorBox(nullptr, "File access denied");
        QVERIFY(seen.shown);
        QCOMPARE(seen.title, ApplicationTitle());
        QCOMPARE(seen.text, QString("File access denied."));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, 1);
    }

    void bundledPictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        for (const char* drive : {"FLOPPY", "HARD", "NETWORK", "CDROM", "RAM"})
            QTest::newRow(drive) << drive << QSize(16, 11);
        for (const char* folder : {"OPENFOLDER", "CURRENTFOLDER", "CLOSEDFOLDER"})
            QTest::newRow(folder) << folder << QSize(16, 15);
        for (const char* glyph : {"BBOK", "BBCANCEL"})
            QTest::newRow(glyph) << glyph << QSize(36, 18);
    }

    void bundledPictures()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QImage image = ResourcePicture(name);
        QCOMPARE(image.size(), size);
        QCOMPARE(qAlpha(image.pixel(0, size.height() - 1)), 0);
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) == 255;
        QVERIFY2(opaque >= 10, "an icon must draw something");
    }

    void bottomLeftColourBecomesTransparent()
    {
        // 3 x 2: top row red, green, red; bottom row red, blue, white. Red is the key.
        Raster raster;
        raster.SetPixelForm(PixelForm::Bgr24);
        raster.SetWidth(3);
        raster.SetHeight(2);
        const std::uint8_t top[9] = {0, 0, 255, 0, 255, 0, 0, 0, 255};
        const std::uint8_t bottom[9] = {0, 0, 255, 255, 0, 0, 255, 255, 255};
        std::copy(std::begin(top), std::end(top), raster.Row(0).begin());
        std::copy(std::begin(bottom), std::end(bottom), raster.Row(1).begin());

        const QImage image = TransparentImage(raster);
        QCOMPARE(image.size(), QSize(3, 2));
        QCOMPARE(image.pixel(0, 0), qRgba(0, 0, 0, 0));
        QCOMPARE(image.pixel(1, 0), qRgb(0, 255, 0));
        QCOMPARE(image.pixel(2, 0), qRgba(0, 0, 0, 0));
        QCOMPARE(image.pixel(0, 1), qRgba(0, 0, 0, 0));
        QCOMPARE(image.pixel(1, 1), qRgb(0, 0, 255));
        QCOMPARE(image.pixel(2, 1), qRgb(255, 255, 255));
        QVERIFY(TransparentImage(Raster()).isNull());
    }

    void glyphHasNormalAndDisabledPictures()
    {
        const QIcon icon = ButtonGlyph("BBOK");
        const QImage normal = icon.pixmap(18, 18, QIcon::Normal).toImage();
        const QImage disabled = icon.pixmap(18, 18, QIcon::Disabled).toImage();
        QCOMPARE(normal.size(), QSize(18, 18));
        QVERIFY(normal != disabled);
        QCOMPARE(normal.convertToFormat(QImage::Format_ARGB32),
                 ResourcePicture("BBOK").copy(0, 0, 18, 18));
    }
};

std::unique_ptr<QObject> MakeErrorBoxTest()
{
    return std::make_unique<ErrorBoxTest>();
}

}  // namespace picbatch

#include "error_box_test.moc"
