// Qt passes events through notify(); catching here is the one place where an exception from
// a handler can be stopped before it would unwind out of the event loop and end the program.
#include "app/picbatch_application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <exception>

#include "dialogs/error_box.h"

namespace picbatch {

PicbatchApplication::PicbatchApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // Every text of the program is Chinese; Qt's own (the message boxes' buttons) follow.
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
}

bool PicbatchApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowErrorBox(activeWindow(), QString::fromStdString(error.what()));
        return true;
    }
}

}  // namespace picbatch
