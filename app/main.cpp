// picbatch: the window program. picbatch [SOURCE [DESTINATION]] opens with those folders.
#include <QScreen>

#include <cstdio>
#include <exception>

#include "app/main_window.h"
#include "app/picbatch_application.h"
#include "app/start_command.h"
#include "dialogs/error_box.h"
#include "pictures/jpeg_image.h"

namespace picbatch {
namespace {

constexpr int kExitUsage = 2;

QStringList ArgumentsAfterProgram(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int RunWindowProgram(int argc, char** argv)
{
    // Help needs no display, so it is answered before Qt looks for one.
    if (ParseStartCommand(ArgumentsAfterProgram(argc, argv)).help) {
        std::fputs(StartUsageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    PicbatchApplication application(argc, argv);  // takes Qt's own options out of argv
    // Names the desktop entry, so that docks and task bars show its icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.picbatch.picbatch"));
    const StartCommand command = ParseStartCommand(ArgumentsAfterProgram(argc, argv));
    if (!command.problem.isEmpty()) {
        std::fprintf(stderr, "picbatch: %s\n%s", command.problem.toLocal8Bit().constData(),
                     StartUsageText().toLocal8Bit().constData());
        return kExitUsage;
    }

    // Read once, before any picture is made; without a screen the 24-bit format applies.
    const QScreen* screen = QGuiApplication::primaryScreen();
    ApplyDisplayColorDepth(screen ? screen->depth() : 24);

    try {
        MainWindow window;
        window.show();
        // Shown first, so that an unusable folder's error box has its window behind it.
        if (!command.source.isEmpty())
            window.OpenSourceFolder(command.source);
        if (!command.destination.isEmpty())
            window.OpenDestinationFolder(command.destination);
        return PicbatchApplication::exec();
    } catch (const std::exception& error) {
        // Only building the window can get here: errors from handlers go to the error box.
        ShowErrorBox(nullptr, QString::fromStdString(error.what()));
        return 1;
    }
}

}  // namespace
}  // namespace picbatch

int main(int argc, char* argv[])
{
    return picbatch::RunWindowProgram(argc, argv);
}
