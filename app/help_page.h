// HelpPage: the program's bundled help page as a local file that a browser can open.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace picbatch {

class HelpPage {
public:
    // The installed page next to the program (<bindir>/../share/picbatch/help/index.html)
    // when it exists, else a copy of the bundled page in a private temporary folder that
    // lives as long as this object. Throws Error when no copy can be written.
    QString LocalFile();

    // Opens LocalFile() with the desktop's default browser. Throws Error when the desktop
    // cannot open it.
    void Open();

private:
    std::unique_ptr<QTemporaryDir> m_copyDir;
};

}  // namespace picbatch
