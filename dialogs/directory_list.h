// DirectoryList: the folder chooser's list of the current folder's path and subfolders,
// each entry drawn indented with its folder icon.
#pragma once

#include "dialogs/directory_entries.h"

#include <QListWidget>

#include <vector>

namespace picbatch {

class DirectoryList : public QListWidget {
    Q_OBJECT
public:
    // Item data: an entry's indent in pixels and its FolderIcon. EntryAt has the folder an
    // entry opens, as the bytes of its path.
    static constexpr int kIndentRole = Qt::UserRole + 1;
    static constexpr int kIconRole = Qt::UserRole + 2;

    explicit DirectoryList(QWidget* parent = nullptr);

    // Replaces the entries and highlights the current folder's entry.
    void SetEntries(std::vector<DirectoryEntry> entries);

    // 0 <= row < count().
    const DirectoryEntry& EntryAt(int row) const { return m_entries.at(static_cast<std::size_t>(row)); }

signals:
    // A double click, or Shift+Enter on the highlighted entry.
    void OpenRequested(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::vector<DirectoryEntry> m_entries;
};

}  // namespace picbatch
