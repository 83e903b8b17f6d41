// PicbatchApplication: the window program's application object. An error that escapes any
// event handler, in the main window or in a dialog, is shown in the error box and the event
// loop goes on.
#pragma once

#include <QApplication>

namespace picbatch {

class PicbatchApplication : public QApplication {
    Q_OBJECT
public:
    PicbatchApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Makes the C library's character type UTF-8 when the environment's is not, so that what
// Xlib writes in the locale's encoding (the window title's WM_NAME) carries the Chinese
// texts. Called by PicbatchApplication's constructor, after Qt has read the locale.
void UseUtf8CharacterType();

}  // namespace picbatch
