// Helpers for tests that touch the file system: a folder tree in a temporary folder, the
// process's current folder restored afterwards, and reading without root's override.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <string>

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

// Root reads every folder whatever its mode; this drops that power from the calling thread
// for the test's duration, so permission cases can run in containers as well. Active() is
// false when the capabilities cannot be changed; unprivileged users need none of this.
class WithoutReadOverride {
public:
    WithoutReadOverride()
    {
        if (geteuid() != 0) {
            m_active = true;
            return;
        }
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        const unsigned int overrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
        reduced[0].effective &= ~overrides;
        m_changed = syscall(SYS_capset, &m_header, reduced) == 0;
        m_active = m_changed;
    }
    ~WithoutReadOverride()
    {
        if (m_changed)
            syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutReadOverride(const WithoutReadOverride&) = delete;
    WithoutReadOverride& operator=(const WithoutReadOverride&) = delete;

    bool Active() const { return m_active; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_changed = false;
    bool m_active = false;
};
