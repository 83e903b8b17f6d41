// The window program's command line: picbatch [SOURCE [DESTINATION]], the folders the
// window opens with (a file manager's "Open With" hands over one folder).
#pragma once

#include <QString>
#include <QStringList>

namespace picbatch {

struct StartCommand {
    QString source;       // absolute, or empty when not given
    QString destination;  // absolute, or empty when not given
    bool help = false;    // --help or -h: print StartUsageText and end
    QString problem;      // not empty when the command line cannot be used
};

// Reads the arguments after the program's name (Qt's own options already taken out).
// Relative paths are made absolute against the current folder now, before the window enters
// any folder. "--" ends the options.
StartCommand ParseStartCommand(const QStringList& arguments);

// The usage, Chinese and English.
QString StartUsageText();

}  // namespace picbatch
