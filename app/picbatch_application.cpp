// Qt passes events through notify(); catching here is the one place where an exception from
// a handler can be stopped before it would unwind out of the event loop and end the program.
#include "app/picbatch_application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <optional>
#include <string>

#include "batch/failure_text.h"
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
    bool handled = true;
    if (const std::optional<std::string> failure =
            FailureOf([&] { handled = QApplication::notify(receiver, event); }))
        ShowErrorBox(activeWindow(), QString::fromStdString(*failure));
    return handled;
}

}  // namespace picbatch
