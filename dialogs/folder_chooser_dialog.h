// TForm3: the modal folder chooser with a mount selector, a directory list and a file list.
#pragma once

#include "dialogs/mount_table.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <string>
#include <vector>

class DirectoryList;
class DriveSelector;
class FileList;
class QLabel;
class QPushButton;

class TForm3 : public QDialog {
    Q_OBJECT
public:
    // Opens at the process's current folder.
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    // The folder chosen with OK (the current folder, not a highlighted subfolder);
    // empty after Cancel, Esc or the close box.
    QString SelectedPath() const { return m_selectedPath; }

    // The folder whose entry carries the current-folder icon; every move to another folder
    // also makes it the process's current folder.
    const std::string& CurrentFolderPath() const { return m_currentFolder; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BitBtn1Click();
    void BitBtn2Click();
    void DriveComboBox1Change(int index);
    void DirectoryListBox1Open(int row);
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
    DriveSelector* m_driveComboBox1 = nullptr;
    DirectoryList* m_directoryListBox1 = nullptr;
    FileList* m_fileListBox1 = nullptr;
    QLabel* m_label3 = nullptr;
    QPushButton* m_bitBtn1 = nullptr;
    QPushButton* m_bitBtn2 = nullptr;
    QString m_selectedPath;
};
