// The folder chooser driven through its lists and buttons, over a temporary folder tree.
#include "dialogs/control_names.h"
#include "dialogs/directory_list.h"
#include "dialogs/drive_selector.h"
#include "dialogs/file_list.h"
#include "dialogs/folder_chooser_dialog.h"

#include "modal.h"
#include "window_checks.h"
#include "test_folders.h"

#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace picbatch {

namespace {

struct Controls {
    DriveSelector* drives;
    DirectoryList* folders;
    FileList* files;
    QPushButton* ok;
    QPushButton* cancel;
};

Controls Find(FolderChooserDialog& dialog)
{
    return {dialog.findChild<DriveSelector*>(kDriveSelectorName),
            dialog.findChild<DirectoryList*>(kDirectoryListName),
            dialog.findChild<FileList*>(kFileListName), dialog.findChild<QPushButton*>(kOkButtonName),
            dialog.findChild<QPushButton*>(kCancelButtonName)};
}

QStringList Texts(const QListWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

QList<int> Indents(const QListWidget* list)
{
    QList<int> indents;
    for (int row = 0; row < list->count(); ++row)
        indents << list->item(row)->data(DirectoryList::kIndentRole).toInt();
    return indents;
}

int RowOf(const QListWidget* list, const QString& text)
{
    const auto found = list->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? -1 : list->row(found.back());
}

void DoubleClickRow(QListWidget* list, int row)
{
    QVERIFY(row >= 0);
    const QPoint centre = list->visualItemRect(list->item(row)).center();
    // A widget's double click event alone has no press before it, as a real one has.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
}

void ClickRow(QListWidget* list, int row)
{
    QVERIFY(row >= 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

std::string Cwd()
{
    return QDir::currentPath().toStdString();
}

}  // namespace

class FolderChooserTest : public QObject {
    Q_OBJECT
private:
    // outer/inner holds files and the subfolders b and A; the dialog opens at inner.
    QTemporaryDir m_dir;
    std::string m_outer;
    std::string m_inner;

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        MakeTree(m_dir, {"outer/inner/b/", "outer/inner/A/", "outer/inner/.cache/", "outer/inner/b.JPG",
                         "outer/inner/A.bmp", "outer/inner/note.txt", "outer/inner/.hidden.jpg",
                         "outer/sibling/"});
        m_outer = Canonical(m_dir.filePath("outer"));
        m_inner = Canonical(m_dir.filePath("outer/inner"));
        QVERIFY(QDir::setCurrent(QString::fromStdString(m_inner)));
    }

    void cleanup()
    {
        QDir::setCurrent(QDir::tempPath());
        QDir(m_dir.filePath("outer")).removeRecursively();
    }

    void windowAndControls()
    {
        FolderChooserDialog dialog;
        CheckDialogWindow(dialog, "选择目录", {505, 278}, 9);

        CheckControls(dialog, {
            {kFileListLabelName, {258, 21, 63, 13}, "文件列表     "},
            {kDriveSelectorName, {16, 16, 217, 19}},
            {kDirectoryListName, {16, 40, 217, 201}},
            {kFileListName, {256, 40, 233, 201}},
            {kOkButtonName, {334, 248, 75, 25}, "确定"},
            {kCancelButtonName, {414, 248, 75, 25}, "取消"},
        });
        QCOMPARE(ObjectNames(dialog), (QStringList{"BitBtn1", "BitBtn2", "DirectoryListBox1",
                                                   "DriveComboBox1", "FileListBox1", "Label3"}));
        const Controls c = Find(dialog);
        QVERIFY(c.ok->isDefault());
        QVERIFY(!c.ok->icon().isNull() && !c.cancel->icon().isNull());
        QCOMPARE(c.files->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(TabOrder(dialog, c.folders),
                 (QStringList{"DirectoryListBox1", "DriveComboBox1", "FileListBox1", "BitBtn1", "BitBtn2"}));
        // Item heights: the folder icon's height plus one at least, the font's line height.
        QVERIFY(c.folders->sizeHintForRow(0) >= 16);
        QCOMPARE(c.files->sizeHintForRow(0), c.files->fontMetrics().height());
    }

    // The lists show the focus whether or not they have items: the file list of inner has
    // files, that of its subfolder A none.
    void focusIsVisibleOnEveryControl()
    {
        for (const QString& folder : {QString::fromStdString(m_inner), QString::fromStdString(m_inner + "/A")}) {
            QVERIFY(QDir::setCurrent(folder));
            FolderChooserDialog dialog;
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QCOMPARE(CheckFocusShowsAllRound(dialog), (QStringList{"DirectoryListBox1", "DriveComboBox1",
                                                                  "FileListBox1", "BitBtn1", "BitBtn2"}));
        }
    }

    void opensAtTheCurrentFolder()
    {
        FolderChooserDialog dialog;
        const Controls c = Find(dialog);
        QVERIFY(c.drives && c.folders && c.files && c.ok && c.cancel);
        QCOMPARE(dialog.size(), QSize(505, 278));

        // "/", the folders down to inner, then inner's subfolders one level further right.
        QStringList path = QString::fromStdString(m_inner).split('/', Qt::SkipEmptyParts);
        const int depth = static_cast<int>(path.size());
        QStringList expectedTexts = QStringList{"/"} + path + QStringList{"A", "b"};
        QList<int> expectedIndents;
        for (int p = 0; p <= depth; ++p)
            expectedIndents << 4 * p + 2;
        expectedIndents << 4 * (depth + 1) + 2 << 4 * (depth + 1) + 2;
        QCOMPARE(Texts(c.folders), expectedTexts);
        QCOMPARE(Indents(c.folders), expectedIndents);
        QCOMPARE(c.folders->currentRow(), depth);
        QCOMPARE(c.folders->item(depth)->data(DirectoryList::kIconRole).toInt(), int(FolderIcon::Current));

        QCOMPARE(Texts(c.files), (QStringList{"A.bmp", "b.JPG", "note.txt"}));
        QVERIFY(c.drives->count() >= 1);
        QVERIFY(c.drives->currentIndex() >= 0);
        QCOMPARE(dialog.SelectedPath(), QString());
        QCOMPARE(dialog.focusWidget(), c.folders);
    }

    void doubleClicksNavigate()
    {
        FolderChooserDialog dialog;
        const Controls c = Find(dialog);
        QString afterAncestor;
        QStringList filesAfterAncestor;
        QString afterSubfolder;
        int rootRow = -1;
        ExecWith(dialog, [&] {
            DoubleClickRow(c.folders, RowOf(c.folders, "outer"));
            afterAncestor = QString::fromStdString(dialog.CurrentFolderPath());
            filesAfterAncestor = Texts(c.files);
            DoubleClickRow(c.folders, RowOf(c.folders, "sibling"));
            afterSubfolder = QString::fromStdString(Cwd());
            DoubleClickRow(c.folders, 0);
            rootRow = c.folders->currentRow();
            QTest::mouseClick(c.ok, Qt::LeftButton);
        });
        QCOMPARE(afterAncestor.toStdString(), m_outer);
        QVERIFY(filesAfterAncestor.isEmpty());
        QCOMPARE(afterSubfolder.toStdString(), m_outer + "/sibling");
        // The root entry is the current one at the root, and OK returns "/".
        QCOMPARE(rootRow, 0);
        QCOMPARE(dialog.SelectedPath(), QString("/"));
        QCOMPARE(Cwd(), std::string("/"));
    }

    void okReturnsTheCurrentFolderNotTheHighlight_data()
    {
        QTest::addColumn<bool>("byArrowKeys");  // else by a click on b
        QTest::addColumn<bool>("byEnter");      // else by the OK button
        QTest::newRow("click, OK button") << false << false;
        QTest::newRow("click, Enter in the directory list") << false << true;
        QTest::newRow("arrow keys, Enter in the directory list") << true << true;
    }

    void okReturnsTheCurrentFolderNotTheHighlight()
    {
        QFETCH(bool, byArrowKeys);
        QFETCH(bool, byEnter);
        FolderChooserDialog dialog;
        const Controls c = Find(dialog);
        int highlighted = -1;
        std::string folderAfterMove;
        const int code = ExecWith(dialog, [&] {
            if (byArrowKeys) {
                QTest::keyClick(c.folders, Qt::Key_Down);  // from inner to its first subfolder A
                QTest::keyClick(c.folders, Qt::Key_Down);
            } else {
                ClickRow(c.folders, RowOf(c.folders, "b"));
            }
            highlighted = c.folders->currentRow();
            folderAfterMove = dialog.CurrentFolderPath();
            if (byEnter)
                QTest::keyClick(c.folders, Qt::Key_Return);
            else
                QTest::mouseClick(c.ok, Qt::LeftButton);
        });
        QCOMPARE(highlighted, RowOf(c.folders, "b"));
        QCOMPARE(folderAfterMove, m_inner);
        QCOMPARE(code, int(QDialog::Accepted));
        QCOMPARE(dialog.SelectedPath().toStdString(), m_inner);
    }

    void shiftEnterOpensTheHighlightedEntry()
    {
        FolderChooserDialog dialog;
        const Controls c = Find(dialog);
        ExecWith(dialog, [&] {
            c.folders->setCurrentRow(RowOf(c.folders, "A"));
            QTest::keyClick(c.folders, Qt::Key_Return, Qt::ShiftModifier);
            QTest::mouseClick(c.ok, Qt::LeftButton);
        });
        QCOMPARE(dialog.SelectedPath().toStdString(), m_inner + "/A");
    }

    void closingWithoutOkGivesNothing_data() { AddCloseWithoutOkRows(); }

    void closingWithoutOkGivesNothing()
    {
        QFETCH(CloseWithoutOk, how);
        {
            FolderChooserDialog dialog;
            const Controls c = Find(dialog);
            const int code = ExecWith(dialog, [&] {
                DoubleClickRow(c.folders, RowOf(c.folders, "outer"));
                Leave(dialog, how, c.cancel, c.folders);
            });
            // The window keeps its folder on this result, whatever the path says.
            QCOMPARE(code, int(QDialog::Rejected));
            QCOMPARE(dialog.SelectedPath(), QString());
        }
        // The move stays in force: the next chooser opens where the last one went.
        QCOMPARE(Cwd(), m_outer);
        FolderChooserDialog next;
        QCOMPARE(next.CurrentFolderPath(), m_outer);
        QCOMPARE(Find(next).folders->currentItem()->text(), QString("outer"));
    }

    void folderThatCannotBeEnteredIsReported()
    {
        FolderChooserDialog dialog;
        const Controls c = Find(dialog);
        SeenMessageBox seen;
        bool stayedOpen = false;
        QStringList textsAfter;
        ExecWith(dialog, [&] {
            QDir(QString::fromStdString(m_inner + "/b")).removeRecursively();
            AnswerNextMessageBox(seen);
            DoubleClickRow(c.folders, RowOf(c.folders, "b"));
            stayedOpen = dialog.isVisible();
            textsAfter = Texts(c.folders);
            QTest::mouseClick(c.ok, Qt::LeftButton);
        });
        QVERIFY(seen.shown);
        QCOMPARE(seen.text, QString("File not found."));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QVERIFY(stayedOpen);
        QVERIFY(textsAfter.contains("b"));  // nothing changed
        QCOMPARE(dialog.SelectedPath().toStdString(), m_inner);
        QCOMPARE(Cwd(), m_inner);
    }

    void unreadableFolderShowsNothingWithoutMessage()
    {
        MakeTree(m_dir, {"outer/inner/A/sub/", "outer/inner/A/pic.jpg"});
        const std::string locked = m_inner + "/A";
        QCOMPARE(chmod(locked.c_str(), 0300), 0);  // may be entered, not read
        WithoutPermissionOverride noOverride;
        if (!noOverride.Active()) {
            chmod(locked.c_str(), 0700);
            QSKIP("cannot give up root's read override here");
        }
        FolderChooserDialog dialog;
        const Controls c = Find(dialog);
        SeenMessageBox seen;
        QStringList folders;
        QStringList files;
        ExecWith(dialog, [&] {
            AnswerNextMessageBox(seen);
            DoubleClickRow(c.folders, RowOf(c.folders, "A"));
            folders = Texts(c.folders);
            files = Texts(c.files);
            QTest::mouseClick(c.ok, Qt::LeftButton);
        });
        chmod(locked.c_str(), 0700);
        QVERIFY(!seen.shown);
        QCOMPARE(folders.back(), QString("A"));  // the current entry, no subfolders after it
        QVERIFY(files.isEmpty());
        QCOMPARE(dialog.SelectedPath().toStdString(), locked);
    }

    // While the drive list is dropped down, Esc and Enter close that list, not the dialog.
    void dropDownListTakesEscAndEnter()
    {
        FolderChooserDialog dialog;
        const Controls c = Find(dialog);
        QStringList openAfter;
        ExecWith(dialog, [&] {
            for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
                c.drives->setFocus();
                c.drives->showPopup();
                QWidget* list = c.drives->view();
                QVERIFY(QTest::qWaitForWindowExposed(list->window()));
                QTest::keyClick(list, key);
                if (dialog.isVisible() && !list->isVisible())
                    openAfter << (key == Qt::Key_Escape ? "Esc" : "Enter");
            }
            QTest::mouseClick(c.ok, Qt::LeftButton);
        });
        QCOMPARE(openAfter, (QStringList{"Esc", "Enter"}));
        // Enter picked the drive already shown: the folder did not change.
        QCOMPARE(dialog.SelectedPath().toStdString(), m_inner);
    }

    // An arrow key on the closed drive selector picks the next mount at once.
    void arrowKeyPicksAMount()
    {
        FolderChooserDialog dialog;
        const Controls c = Find(dialog);
        const int start = c.drives->currentIndex();
        int next = -1;
        for (int i : {start + 1, start - 1}) {
            if (i >= 0 && i < c.drives->count() && next < 0
                && QFileInfo(QString::fromStdString(c.drives->MountPointAt(i))).isExecutable())
                next = i;
        }
        if (next < 0)
            QSKIP("no enterable mount next to this one");
        std::string moved;
        ExecWith(dialog, [&] {
            c.drives->setFocus();
            QTest::keyClick(c.drives, next > start ? Qt::Key_Down : Qt::Key_Up);
            moved = dialog.CurrentFolderPath();
            QTest::mouseClick(c.cancel, Qt::LeftButton);
        });
        const std::vector<Mount> mounts = ReadMountTable();
        const Mount* mount = MountOf(mounts, moved);
        QVERIFY(mount);
        QCOMPARE(mount->mountPoint, c.drives->MountPointAt(next));
        QCOMPARE(Cwd(), moved);
    }

    void pickingAnotherMountAndBack()
    {
        FolderChooserDialog dialog;
        const Controls c = Find(dialog);
        const int start = c.drives->currentIndex();
        int other = -1;
        for (int i = 0; i < c.drives->count() && other < 0; ++i) {
            const QString mountPoint = QString::fromStdString(c.drives->MountPointAt(i));
            if (i != start && QFileInfo(mountPoint).isReadable())
                other = i;
        }
        if (other < 0)
            QSKIP("only one mount to pick here");
        const std::string otherMount = c.drives->MountPointAt(other);
        std::string onOther;
        std::string back;
        ExecWith(dialog, [&] {
            c.drives->setCurrentIndex(other);
            emit c.drives->activated(other);
            onOther = dialog.CurrentFolderPath();
            c.drives->setCurrentIndex(start);
            emit c.drives->activated(start);
            back = dialog.CurrentFolderPath();
            QTest::mouseClick(c.cancel, Qt::LeftButton);
        });
        QVERIFY2(onOther.rfind(Canonical(QString::fromStdString(otherMount)), 0) == 0, onOther.c_str());
        // Picking the first mount again returns to the folder last entered on it.
        QCOMPARE(back, m_inner);
        QCOMPARE(Cwd(), m_inner);
    }
};

std::unique_ptr<QObject> MakeFolderChooserTest()
{
    return std::make_unique<FolderChooserTest>();
}

}  // namespace picbatch

#include "folder_chooser_test.moc"
