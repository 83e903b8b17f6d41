// FolderChooserDialog: the modal folder chooser with a mount selector, a directory list and a file list.
#pragma once

#include "dialogs/mount_table.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace picbatch {

class DirectoryList;
class DriveSelector;
class FileList;

class FolderChooserDialog : public QDialog {
    Q_OBJECT
public:
    // Opens at the process's current folder.
    explicit FolderChooserDialog(QWidget* parent = nullptr);
    ~FolderChooserDialog() override;

    // exec() returns QDialog::Accepted after OK only; Cancel, Esc and the close box give
    // QDialog::Rejected.
    // The folder chosen with OK (the current folder, not a highlighted subfolder);
    // empty after Cancel, Esc or the close box.
    QString SelectedPath() const { return m_selectedPath; }

    // The folder whose entry carries the current-folder icon; every move to another folder
    // also makes it the process's current folder.
    const std::string& CurrentFolderPath() const { return m_currentFolder; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // OK: the current folder becomes the selected path.
    void ChooseCurrentFolder();
    void Cancel();
    // The drive selector's item index was picked: enters the folder last entered on that
    // mount (or its mount point) unless the current folder lies on it already.
    void ChooseDrive(int index);
    // The directory list's entry at row was opened: enters its folder.
    void OpenEntry(int row);
    // Enters folder; on failure shows the error and changes nothing.
    void ChangeFolder(const std::string& folder);
    // Makes folder the process's current folder and gives that as the system reports it;
    // shows the error and gives nothing on failure.
    std::optional<std::string> Enter(const std::string& folder);
    // Shows folder (the process's current folder) in all three lists.
    void ShowFolder(const std::string& folder);

    std::vector<Mount> m_mounts;
    std::string m_currentFolder;
    std::string m_currentDrive;  // the mount point the selector shows
    DriveSelector* m_driveSelector = nullptr;
    DirectoryList* m_directoryList = nullptr;
    FileList* m_fileList = nullptr;
    QLabel* m_fileListLabel = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QString m_selectedPath;
};

}  // namespace picbatch
