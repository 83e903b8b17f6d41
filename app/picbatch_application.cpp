// Qt passes events through notify(); catching here is the one place where an exception from
// a handler can be stopped before it would unwind out of the event loop and end the program.
#include "app/picbatch_application.h"

#include <exception>

#include "dialogs/error_box.h"

PicbatchApplication::PicbatchApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool PicbatchApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowErrorBox(activeWindow(), QString::fromStdString(error.what()));
        return true;
    }
}
