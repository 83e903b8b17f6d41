// The folder chooser: moving through mounts and folders, OK returns the current folder.
#include "dialogs/folder_chooser_dialog.h"

#include "batch/source_listing.h"
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

TForm3::TForm3(QWidget* parent)
    : QDialog(parent)
{
    InitDialogResources();
    SetUpDialogWindow(*this, QStringLiteral("选择目录"), 505, 278, 9);

    m_label3 = new QLabel(QStringLiteral("文件列表     "), this);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label3->setGeometry(258, 21, 63, 13);

    m_driveComboBox1 = new DriveSelector(this);
    m_driveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    m_driveComboBox1->setGeometry(16, 16, 217, 19);

    m_directoryListBox1 = new DirectoryList(this);
    m_directoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    m_directoryListBox1->setGeometry(16, 40, 217, 201);

    m_fileListBox1 = new FileList(this);
    m_fileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    m_fileListBox1->setGeometry(256, 40, 233, 201);

    m_bitBtn1 = MakeGlyphButton(this, "BitBtn1", QStringLiteral("BBOK"), QStringLiteral("确定"), {334, 248, 75, 25});
    m_bitBtn1->setDefault(true);
    m_bitBtn2 = MakeGlyphButton(this, "BitBtn2", QStringLiteral("BBCANCEL"), QStringLiteral("取消"),
                                {414, 248, 75, 25});

    setTabOrder(m_directoryListBox1, m_driveComboBox1);
    setTabOrder(m_driveComboBox1, m_fileListBox1);
    setTabOrder(m_fileListBox1, m_bitBtn1);
    setTabOrder(m_bitBtn1, m_bitBtn2);
    m_directoryListBox1->setFocus();

    connect(m_bitBtn1, &QPushButton::clicked, this, &TForm3::BitBtn1Click);
    connect(m_bitBtn2, &QPushButton::clicked, this, &TForm3::BitBtn2Click);
    connect(m_driveComboBox1, &QComboBox::activated, this, &TForm3::DriveComboBox1Change);
    connect(m_directoryListBox1, &DirectoryList::OpenRequested, this, &TForm3::DirectoryListBox1Open);

    m_mounts = ReadMountTable();
    m_driveComboBox1->SetMounts(m_mounts);
    ShowFolder(StartFolder());
}

TForm3::~TForm3() = default;

void TForm3::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOnScreen(*this);
}

void TForm3::BitBtn1Click()
{
    m_selectedPath = QString::fromStdString(m_currentFolder);
    accept();
}

void TForm3::BitBtn2Click()
{
    m_selectedPath.clear();
    reject();
}

void TForm3::DirectoryListBox1Open(int row)
{
    ChangeFolder(m_directoryListBox1->EntryAt(row).path);
}

void TForm3::ChangeFolder(const std::string& folder)
{
    if (folder == m_currentFolder)
        return;
    if (const auto entered = Enter(folder))
        ShowFolder(*entered);
}

void TForm3::DriveComboBox1Change(int index)
{
    const std::string picked = m_driveComboBox1->MountPointAt(index);
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

std::optional<std::string> TForm3::Enter(const std::string& folder)
{
    try {
        EnterFolder(folder);
        return CurrentFolder();
    } catch (const Error& error) {
        ShowErrorBox(this, QString::fromStdString(error.what()));
        return std::nullopt;
    }
}

void TForm3::ShowFolder(const std::string& folder)
{
    m_currentFolder = folder;
    const Mount* mount = MountOf(m_mounts, folder);
    m_currentDrive = mount ? mount->mountPoint : std::string();
    ProgramMountMemory().Entered(m_mounts, folder);
    m_driveComboBox1->SelectMount(m_currentDrive);
    m_directoryListBox1->SetEntries(BuildDirectoryEntries(folder, ListSubfolders(folder)));
    m_fileListBox1->SetFolder(folder);
}
