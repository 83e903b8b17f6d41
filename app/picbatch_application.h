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

}  // namespace picbatch
