// The directory list's entries: path from the root, indents, icons, and the subfolders.
#include "dialogs/directory_entries.h"

#include "test_folders.h"

#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace picbatch {

namespace {

// "text|path|icon|indent" per entry.
QStringList Describe(const std::vector<DirectoryEntry>& entries)
{
    QStringList lines;
    for (const DirectoryEntry& entry : entries) {
        const char* const kIcons[] = {"open", "current", "closed"};  // in FolderIcon order
        const char* icon = kIcons[static_cast<int>(entry.icon)];
        lines << QString("%1|%2|%3|%4")
                     .arg(QString::fromStdString(entry.text), QString::fromStdString(entry.path), icon)
                     .arg(entry.indent);
    }
    return lines;
}

QStringList ToQt(const std::vector<std::string>& names)
{
    QStringList list;
    for (const std::string& name : names)
        list << QString::fromStdString(name);
    return list;
}

}  // namespace

class DirectoryEntriesTest : public QObject {
    Q_OBJECT
private slots:
    void entries_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("subfolders");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("nested folder")
            << "/Pictures/Holiday" << QStringList{"A", "b"}
            << QStringList{"/|/|open|2", "Pictures|/Pictures|open|6", "Holiday|/Pictures/Holiday|current|10",
                           "A|/Pictures/Holiday/A|closed|14", "b|/Pictures/Holiday/b|closed|14"};
        QTest::newRow("root") << "/" << QStringList{"home", "tmp"}
                              << QStringList{"/|/|current|2", "home|/home|closed|6", "tmp|/tmp|closed|6"};
        QTest::newRow("no subfolders") << "/srv" << QStringList{}
                                       << QStringList{"/|/|open|2", "srv|/srv|current|6"};
        QTest::newRow("doubled and trailing slashes name no folder")
            << "/a//b/" << QStringList{"c"}
            << QStringList{"/|/|open|2", "a|/a|open|6", "b|/a//b|current|10", "c|/a//b/c|closed|14"};
        QTest::newRow("names with blanks and Chinese")
            << "/home/ann/我的 图片" << QStringList{"2024 夏"}
            << QStringList{"/|/|open|2", "home|/home|open|6", "ann|/home/ann|open|10",
                           "我的 图片|/home/ann/我的 图片|current|14", "2024 夏|/home/ann/我的 图片/2024 夏|closed|18"};
    }

    void entries()
    {
        QFETCH(QString, folder);
        QFETCH(QStringList, subfolders);
        QFETCH(QStringList, expected);
        std::vector<std::string> names;
        for (const QString& name : subfolders)
            names.push_back(name.toStdString());
        QCOMPARE(Describe(BuildDirectoryEntries(folder.toStdString(), names)), expected);
    }

    void subfoldersAreVisibleFoldersInListingOrder()
    {
        QTemporaryDir dir;
        MakeTree(dir, {"b/", "A/", "c.d/", ".hidden/", "file.jpg", "B.txt", "a/"});
        QFile::link(dir.filePath("A"), dir.filePath("link"));
        QFile::link(dir.filePath("gone"), dir.filePath("broken"));
        QFile::link(dir.filePath("file.jpg"), dir.filePath("filelink"));
        // Folders differing only in case are distinct on Linux; both are shown.
        QCOMPARE(ToQt(ListSubfolders(dir.path().toStdString())), (QStringList{"A", "a", "b", "c.d", "link"}));
    }

    void missingFolderHasNoSubfolders()
    {
        QTemporaryDir dir;
        QVERIFY(ListSubfolders(dir.filePath("missing").toStdString()).empty());
        MakeTree(dir, {"plain.txt"});
        QVERIFY(ListSubfolders(dir.filePath("plain.txt").toStdString()).empty());
    }

    void unreadableFolderHasNoSubfolders()
    {
        QTemporaryDir dir;
        MakeTree(dir, {"locked/inner/"});
        const std::string locked = dir.filePath("locked").toStdString();
        QCOMPARE(chmod(locked.c_str(), 0300), 0);  // may be entered, not read
        {
            WithoutPermissionOverride noOverride;
            if (!noOverride.Active()) {
                chmod(locked.c_str(), 0700);
                QSKIP("cannot give up root's read override here");
            }
            QVERIFY(ListSubfolders(locked).empty());
        }
        chmod(locked.c_str(), 0700);
        QCOMPARE(ToQt(ListSubfolders(locked)), QStringList{"inner"});
    }
};

std::unique_ptr<QObject> MakeDirectoryEntriesTest()
{
    return std::make_unique<DirectoryEntriesTest>();
}

}  // namespace picbatch

#include "directory_entries_test.moc"
