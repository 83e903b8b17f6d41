// picbatch: the window program. picbatch [SOURCE [DESTINATION]] opens with those folders.
#include <QScreen>
#include <QSocketNotifier>

#include <cstdio>
#include <exception>
#include <memory>

#include "app/main_window.h"
#include "app/picbatch_application.h"
#include "app/start_command.h"
#include "batch/stop_signals.h"
#include "dialogs/error_box.h"
#include "pictures/jpeg/jpeg_image.h"

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

// The first SIGINT or SIGTERM ends the event loop as closing the window does, so that a run's
// pictures in flight are finished and no temporary is left; a second one ends at once.
// signalled records the first signal.
std::unique_ptr<QSocketNotifier> EndLoopOnStopSignals(StopSignals& stopSignals, int& signalled)
{
    if (stopSignals.Descriptor() < 0)
        return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(stopSignals.Descriptor(), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [&stopSignals, &signalled] {
        const int signal = stopSignals.Take();
        if (signal == 0)
            return;
        if (signalled != 0)
            StopSignals::DieOf(signal);
        signalled = signal;
        QCoreApplication::exit(StopSignals::ExitStatusFor(signal));
    });
    return notifier;
}

int RunWindowProgram(int argc, char** argv)
{
    // Help needs no display, so it is answered before Qt looks for one.
    if (ParseStartCommand(ArgumentsAfterProgram(argc, argv)).help) {
        std::fputs(StartUsageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    // SIGINT and SIGTERM are heard by the event loop below.
    StopSignals stopSignals;
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

    int signalled = 0;
    const std::unique_ptr<QSocketNotifier> signalNotifier = EndLoopOnStopSignals(stopSignals, signalled);

    try {
        MainWindow window;
        window.show();
        // Shown first, so that an unusable folder's error box has its window behind it.
        if (!command.source.isEmpty())
            window.OpenSourceFolder(command.source);
        if (!command.destination.isEmpty())
            window.OpenDestinationFolder(command.destination);
        // A signal that came while an error box was up ended only that box's loop.
        if (signalled != 0)
            return StopSignals::ExitStatusFor(signalled);
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
