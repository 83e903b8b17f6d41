// The window program's application object. Qt passes events through notify(); catching there
// is the one place where an exception from a handler can be stopped before it would unwind
// out of the event loop and end the program.
#include "app/picbatch_application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <langinfo.h>

#include <clocale>
#include <cstring>
#include <optional>
#include <string>

#include "batch/failure_text.h"
#include "dialogs/error_box.h"

namespace picbatch {

PicbatchApplication::PicbatchApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    UseUtf8CharacterType();
    // Every text of the program is Chinese; Qt's own (the message boxes' buttons) follow.
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
}

void UseUtf8CharacterType()
{
    // Qt keeps its texts in UTF-8 whatever the locale, but Xlib writes the window title's
    // WM_NAME in the C library's character type: without a UTF-8 one (no locale set, as in
    // a bare root shell) the Chinese caption would go out as Latin-1 and show garbled in
    // window managers that read WM_NAME. Only the character type changes; the order of
    // names follows the environment's locale variables as before.
    if (std::strcmp(::nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
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
