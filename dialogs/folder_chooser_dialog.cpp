// The folder chooser: moving through mounts and folders, OK returns the current folder.
#include "dialogs/folder_chooser_dialog.h"

#include "batch/source_listing.h"
#include "dialogs/control_names.h"
#include "dialogs/dialog_look.h"
#include "dialogs/directory_entries.h"
#include "dialogs/directory_list.h"
#include "dialogs/drive_selector.h"
#include "dialogs/error_box.h"
#include "dialogs/file_list.h"
#include "dialogs/mount_memory.h"
#include "imaging/error.h"

#include <QLabel>
#include <QPushButton>

#include <optional>

namespace picbatch {

namespace {

// Shared by every chooser of this run of the program.
MountMemory& ProgramMountMemory()
{
    static MountMemory memory;
    return memory;
}

// The process's current folder; the root when that folder was removed (the next move then
// enters a real folder).
std::string StartFolder()
{
    try {
        return CurrentFolder();
    } catch (const Error&) {
        return std::string(1, '/');
    }
}

}  // namespace

FolderChooserDialog::FolderChooserDialog(QWidget* parent)
    : QDialog(parent)
{
    InitDialogResources();
    SetUpDialogWindow(*this, QStringLiteral("选择目录"), 505, 278, 9);

    m_fileListLabel = new QLabel(QStringLiteral("文件列表     "), this);
    m_fileListLabel->setObjectName(QString::fromLatin1(kFileListLabelName));
    m_fileListLabel->setGeometry(258, 21, 63, 13);

    m_driveSelector = new DriveSelector(this);
    m_driveSelector->setObjectName(QString::fromLatin1(kDriveSelectorName));
    m_driveSelector->setGeometry(16, 16, 217, 19);

    m_directoryList = new DirectoryList(this);
    m_directoryList->setObjectName(QString::fromLatin1(kDirectoryListName));
    m_directoryList->setGeometry(16, 40, 217, 201);

    m_fileList = new FileList(this);
    m_fileList->setObjectName(QString::fromLatin1(kFileListName));
    m_fileList->setGeometry(256, 40, 233, 201);

    m_okButton = MakeGlyphButton(this, kOkButtonName, QStringLiteral("BBOK"), QStringLiteral("确定"),
                                 {334, 248, 75, 25});
    m_okButton->setDefault(true);
    m_cancelButton = MakeGlyphButton(this, kCancelButtonName, QStringLiteral("BBCANCEL"),
                                     QStringLiteral("取消"), {414, 248, 75, 25});

    setTabOrder(m_directoryList, m_driveSelector);
    setTabOrder(m_driveSelector, m_fileList);
    setTabOrder(m_fileList, m_okButton);
    setTabOrder(m_okButton, m_cancelButton);
    m_directoryList->setFocus();

    connect(m_okButton, &QPushButton::clicked, this, &FolderChooserDialog::ChooseCurrentFolder);
    connect(m_cancelButton, &QPushButton::clicked, this, &FolderChooserDialog::Cancel);
    connect(m_driveSelector, &QComboBox::activated, this, &FolderChooserDialog::ChooseDrive);
    connect(m_directoryList, &DirectoryList::OpenRequested, this, &FolderChooserDialog::OpenEntry);

    m_mounts = ReadMountTable();
    m_driveSelector->SetMounts(m_mounts);
    ShowFolder(StartFolder());
}

FolderChooserDialog::~FolderChooserDialog() = default;

void FolderChooserDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOnScreen(*this);
}

void FolderChooserDialog::ChooseCurrentFolder()
{
    m_selectedPath = QString::fromStdString(m_currentFolder);
    accept();
}

void FolderChooserDialog::Cancel()
{
    m_selectedPath.clear();
    reject();
}

void FolderChooserDialog::OpenEntry(int row)
{
    ChangeFolder(m_directoryList->EntryAt(row).path);
}

void FolderChooserDialog::ChangeFolder(const std::string& folder)
{
    if (folder == m_currentFolder)
        return;
    if (const auto entered = Enter(folder))
        ShowFolder(*entered);
}

void FolderChooserDialog::ChooseDrive(int index)
{
    const std::string picked = m_driveSelector->MountPointAt(index);
    if (picked == m_currentDrive)
        return;
    m_currentDrive = picked;
    const Mount* current = MountOf(m_mounts, m_currentFolder);
    if (current && current->mountPoint == picked)
        return;

    // On failure the selector keeps showing the picked mount while the lists keep the old
    // folder.
    if (const auto entered = Enter(ProgramMountMemory().FolderToEnter(m_mounts, picked)))
        ShowFolder(*entered);
}

std::optional<std::string> FolderChooserDialog::Enter(const std::string& folder)
{
    try {
        return EnteredFolder(folder);
    } catch (const Error& error) {
        ShowErrorBox(this, QString::fromStdString(error.what()));
        return std::nullopt;
    }
}

void FolderChooserDialog::ShowFolder(const std::string& folder)
{
    m_currentFolder = folder;
    const Mount* mount = MountOf(m_mounts, folder);
    m_currentDrive = mount ? mount->mountPoint : std::string();
    ProgramMountMemory().Entered(m_mounts, folder);
    m_driveSelector->SelectMount(m_currentDrive);
    m_directoryList->SetEntries(BuildDirectoryEntries(folder, ListSubfolders(folder)));
    m_fileList->SetFolder(folder);
}

}  // namespace picbatch
