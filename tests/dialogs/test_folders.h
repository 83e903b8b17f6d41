// Helpers for tests that touch the file system: a folder tree in a temporary folder, the
// process's current folder restored afterwards.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "tests/common/without_permission_override.h"

#include <string>

namespace picbatch {

// Creates each path (relative to the temporary folder): a trailing "/" makes a folder,
// anything else an empty file.
inline void MakeTree(const QTemporaryDir& dir, const QStringList& paths)
{
    for (const QString& path : paths) {
        if (path.endsWith('/')) {
            QDir(dir.path()).mkpath(path);
        } else {
            QFile file(dir.filePath(path));
            if (file.open(QIODevice::WriteOnly))
                file.close();
        }
    }
}

// The canonical path, as the process reports its current folder (no links in it).
inline std::string Canonical(const QString& path)
{
    return QDir(path).canonicalPath().toStdString();
}

// Puts the process's current folder back when the test ends.
class CurrentFolderRestorer {
public:
    CurrentFolderRestorer() : m_folder(QDir::currentPath()) {}
    ~CurrentFolderRestorer() { QDir::setCurrent(m_folder); }
    CurrentFolderRestorer(const CurrentFolderRestorer&) = delete;
    CurrentFolderRestorer& operator=(const CurrentFolderRestorer&) = delete;

private:
    QString m_folder;
};

}  // namespace picbatch
