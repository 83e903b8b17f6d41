// The mount table: which mounts the drive selector offers, their kinds and texts.
#include "dialogs/mount_memory.h"
#include "dialogs/mount_table.h"

#include "test_folders.h"

#include <QTest>

#include <memory>

#include <set>

namespace picbatch {

namespace {

// A desktop with a stick, a card reader, shares, a disc and the usual kernel mounts.
constexpr const char* kDesktopTable = R"(sysfs /sys sysfs rw,nosuid,nodev,noexec,relatime 0 0
proc /proc proc rw,nosuid,nodev,noexec,relatime 0 0
udev /dev devtmpfs rw,nosuid,relatime,size=8131000k,nr_inodes=2032750,mode=755 0 0
devpts /dev/pts devpts rw,nosuid,noexec,relatime,gid=5,mode=620 0 0
tmpfs /run tmpfs rw,nosuid,nodev,noexec,relatime,size=1631000k,mode=755 0 0
/dev/nvme0n1p2 / ext4 rw,relatime,errors=remount-ro 0 0
securityfs /sys/kernel/security securityfs rw,nosuid,nodev,noexec,relatime 0 0
tmpfs /dev/shm tmpfs rw,nosuid,nodev 0 0
cgroup2 /sys/fs/cgroup cgroup2 rw,nosuid,nodev,noexec,relatime 0 0
systemd-1 /proc/sys/fs/binfmt_misc autofs rw,relatime,fd=29 0 0
mqueue /dev/mqueue mqueue rw,nosuid,nodev,noexec,relatime 0 0
/dev/loop3 /snap/core22/1380 squashfs ro,nodev,relatime 0 0
/dev/nvme0n1p1 /boot/efi vfat rw,relatime,fmask=0077 0 0
/dev/nvme0n1p3 /home ext4 rw,relatime 0 0
tmpfs /tmp tmpfs rw,nosuid,nodev 0 0
/dev/sdb1 /media/ann/USB\040STICK vfat rw,nosuid,nodev,relatime 0 0
/dev/sdc1 /mnt/card ext4 rw,relatime 0 0
/dev/sr0 /media/ann/HOLIDAY iso9660 ro,nosuid,nodev 0 0
//FileServer/Photos /mnt/photos cifs rw,relatime,vers=3.1.1 0 0
nas:/Export/Pictures /mnt/nas nfs4 rw,relatime 0 0
ann@Laptop:/home/ann /mnt/laptop fuse.sshfs rw,nosuid,nodev 0 0
gvfsd-fuse /run/user/1000/gvfs fuse.gvfsd-fuse rw,nosuid,nodev 0 0
tmpfs /run/user/1000 tmpfs rw,nosuid,nodev,relatime,mode=700 0 0
/dev/nvme0n1p2 /etc/hosts ext4 rw,relatime 0 0
overlay /var/lib/docker/overlay2/abc/merged overlay rw,relatime,lowerdir=/x 0 0
)";

// Answers as the system would for kDesktopTable.
MountProbe DesktopProbe()
{
    MountProbe probe;
    probe.removableDevice = [](const std::string& source) { return source == "/dev/sdc1"; };
    probe.volumeLabel = [](const std::string& source) -> std::string {
        if (source == "/dev/nvme0n1p2")
            return "Ubuntu Root";
        if (source == "/dev/sr0")
            return "HOLIDAY";
        if (source == "/dev/nvme0n1p3")
            return "DATEN \u00C4";  // only A to Z are folded
        return "";
    };
    probe.isFolder = [](const std::string& path) { return path != "/etc/hosts"; };
    // /run belongs to root; the user's own /run/user/1000, /tmp and /dev/shm are writable.
    probe.writable = [](const std::string& path) { return path != "/run"; };
    return probe;
}

// In DriveKind order.
const char* const kKindNames[] = {"removable", "fixed", "network", "cdrom", "ram"};

// "mount point|kind|item text" per mount, for readable comparisons.
QStringList Describe(const std::vector<Mount>& mounts)
{
    QStringList lines;
    for (const Mount& mount : mounts) {
        lines << QString::fromStdString(mount.mountPoint) + "|" + kKindNames[static_cast<int>(mount.kind)] + "|"
                + QString::fromStdString(DriveItemText(mount));
    }
    return lines;
}

}  // namespace

class MountTableTest : public QObject {
    Q_OBJECT
private slots:
    void desktopTable()
    {
        const QStringList expected = {
            "/|fixed|/ [ubuntu root]",
            "/boot/efi|fixed|/boot/efi []",
            "/dev/shm|ram|/dev/shm []",
            "/home|fixed|/home [daten \u00C4]",
            "/media/ann/HOLIDAY|cdrom|/media/ann/HOLIDAY [holiday]",
            "/media/ann/USB STICK|removable|/media/ann/USB STICK",
            "/mnt/card|removable|/mnt/card",
            "/mnt/laptop|network|/mnt/laptop ann@laptop:/home/ann",
            "/mnt/nas|network|/mnt/nas nas:/export/pictures",
            "/mnt/photos|network|/mnt/photos //fileserver/photos",
            "/run/user/1000|ram|/run/user/1000 []",
            "/tmp|ram|/tmp []",
        };
        QCOMPARE(Describe(ParseMountTable(kDesktopTable, DesktopProbe())), expected);
    }

    void smallTables_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty table still offers the root") << "" << QStringList{"/|fixed|/ []"};
        QTest::newRow("container root on an overlay")
            << "overlay / overlay rw,lowerdir=/a:/b 0 0\nproc /proc proc rw 0 0\n"
            << QStringList{"/|fixed|/ []"};
        QTest::newRow("later mount hides the earlier one")
            << "/dev/sda1 / ext4 rw 0 0\n/dev/sda2 /data ext4 rw 0 0\nnas:/x /data nfs rw 0 0\n"
            << QStringList{"/|fixed|/ []", "/data|network|/data nas:/x"};
        QTest::newRow("pseudo mount over a disk hides it")
            << "/dev/sda1 / ext4 rw 0 0\n/dev/sda2 /data ext4 rw 0 0\nautofs /data autofs rw 0 0\n"
            << QStringList{"/|fixed|/ []"};
        QTest::newRow("short and blank lines are skipped")
            << "\n/dev/sda1\n   \n/dev/sda1 / ext4 rw 0 0" << QStringList{"/|fixed|/ []"};
        QTest::newRow("escaped tab, backslash and blank")
            << "/dev/sdb1 /media/a\\011b\\134c\\040d vfat rw 0 0\n"
            << QStringList{"/|fixed|/ []", "/media/a\tb\\c d|removable|/media/a\tb\\c d"};
        QTest::newRow("udf disc and ramfs")
            << "/dev/sr1 /mnt/dvd udf ro 0 0\nnone /mnt/ram ramfs rw 0 0\n"
            << QStringList{"/|fixed|/ []", "/mnt/dvd|cdrom|/mnt/dvd []", "/mnt/ram|ram|/mnt/ram []"};
        QTest::newRow("fuse without a remote source is left out")
            << "portal /run/user/1000/doc fuse.portal rw 0 0\nrclone:drive /mnt/drive fuse.rclone rw 0 0\n"
            << QStringList{"/|fixed|/ []", "/mnt/drive|network|/mnt/drive rclone:drive"};
    }

    void smallTables()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, expected);
        MountProbe probe;
        probe.isFolder = [](const std::string&) { return true; };
        probe.writable = [](const std::string&) { return true; };
        QCOMPARE(Describe(ParseMountTable(table.toStdString(), probe)), expected);
    }

    void mountOfFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("mountPoint");
        QTest::newRow("root") << "/" << "/";
        QTest::newRow("home itself") << "/home" << "/home";
        QTest::newRow("below home") << "/home/ann/Pictures" << "/home";
        QTest::newRow("name that only starts like a mount point") << "/homework" << "/";
        QTest::newRow("nested mounts take the longest") << "/run/user/1000/x" << "/run/user/1000";
        QTest::newRow("mount point with a blank") << "/media/ann/USB STICK/DCIM" << "/media/ann/USB STICK";
        QTest::newRow("relative path") << "home" << "";
    }

    void mountOfFolder()
    {
        QFETCH(QString, folder);
        QFETCH(QString, mountPoint);
        const auto mounts = ParseMountTable(kDesktopTable, DesktopProbe());
        const Mount* mount = MountOf(mounts, folder.toStdString());
        QCOMPARE(mount ? QString::fromStdString(mount->mountPoint) : QString(), mountPoint);
    }

    void labelNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::newRow("plain") << "DATA" << "DATA";
        QTest::newRow("blank and slash") << "My\\x20Disk\\x2f2" << "My Disk/2";
        QTest::newRow("upper-case hex digits") << "A\\x2FB" << "A/B";
        QTest::newRow("UTF-8 left alone") << "照片" << "照片";
        QTest::newRow("not hex") << "a\\xzz" << "a\\xzz";
        QTest::newRow("cut short at the end") << "a\\x2" << "a\\x2";
        QTest::newRow("sign is no digit") << "a\\x-1b" << "a\\x-1b";
    }

    void labelNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, label);
        QCOMPARE(QString::fromStdString(DecodeLabelName(name.toStdString())), label);
    }

    // Picking a mount goes back to the folder last entered on it, while that folder is still
    // there and still on that mount.
    void mountMemory()
    {
        QTemporaryDir dir;
        MakeTree(dir, {"disk/a/b/", "disk/c/"});
        const std::string disk = Canonical(dir.filePath("disk"));
        std::vector<Mount> mounts = {{"/", DriveKind::Fixed, "", ""}, {disk, DriveKind::Removable, "", ""}};
        MountMemory memory;
        QCOMPARE(memory.FolderToEnter(mounts, disk), disk);

        memory.Entered(mounts, disk + "/c");
        memory.Entered(mounts, disk + "/a/b");
        memory.Entered(mounts, "/");
        QCOMPARE(memory.FolderToEnter(mounts, disk), disk + "/a/b");
        QCOMPARE(memory.FolderToEnter(mounts, "/"), std::string("/"));

        // Another file system mounted on a: b now lies on that one.
        mounts.push_back({disk + "/a", DriveKind::Network, "nas:/x", ""});
        QCOMPARE(memory.FolderToEnter(mounts, disk), disk);
        mounts.pop_back();

        QVERIFY(QDir(dir.filePath("disk/a/b")).removeRecursively());
        QCOMPARE(memory.FolderToEnter(mounts, disk), disk);
    }

    void systemTableHasTheRoot()
    {
        const auto mounts = ReadMountTable();
        QVERIFY(!mounts.empty());
        QCOMPARE(mounts.front().mountPoint, std::string("/"));
        std::set<std::string> seen;
        for (const Mount& mount : mounts)
            QVERIFY2(seen.insert(mount.mountPoint).second, mount.mountPoint.c_str());
    }
};

std::unique_ptr<QObject> MakeMountTableTest()
{
    return std::make_unique<MountTableTest>();
}

}  // namespace picbatch

#include "mount_table_test.moc"
