// picbatch: the window program. Reads no command line and writes no settings.
#include <QScreen>

#include <exception>

#include "app/picbatch_application.h"
#include "app/main_window.h"
#include "dialogs/error_box.h"
#include "pictures/jpeg_image.h"

namespace picbatch {


}  // namespace picbatch

using namespace picbatch;

int main(int argc, char* argv[])
{
    PicbatchApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("picbatch"));

    // Read once, before any picture is made; without a screen the 24-bit format applies.
    const QScreen* screen = QGuiApplication::primaryScreen();
    ApplyDisplayColorDepth(screen ? screen->depth() : 24);

    try {
        MainWindow window;
        window.show();
        return PicbatchApplication::exec();
    } catch (const std::exception& error) {
        // Only building the window can get here: errors from handlers go to the error box.
        ShowErrorBox(nullptr, QString::fromStdString(error.what()));
        return 1;
    }
}
