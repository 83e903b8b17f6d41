// The drive selector: items with an icon by drive kind.
#include "dialogs/drive_selector.h"

#include "dialogs/resource_picture.h"

#include <QAbstractItemView>
#include "dialogs/item_painting.h"

#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>

#include <algorithm>

namespace picbatch {

namespace {

// The icon's left edge sits 2 pixels in; the text starts 6 pixels after the 16-pixel icon.
constexpr int kIconLeft = 2;
constexpr int kTextLeft = 22;
constexpr int kDriveIconHeight = 11;

QString IconName(DriveKind kind)
{
    switch (kind) {
    case DriveKind::Removable:
        return QStringLiteral("FLOPPY");
    case DriveKind::Network:
        return QStringLiteral("NETWORK");
    case DriveKind::CdRom:
        return QStringLiteral("CDROM");
    case DriveKind::RamDisk:
        return QStringLiteral("RAM");
    case DriveKind::Fixed:
        break;
    }
    return QStringLiteral("HARD");
}

class DriveItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {kTextLeft + option.fontMetrics.horizontalAdvance(index.data().toString()) + 2,
                std::max(option.fontMetrics.height(), kDriveIconHeight)};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        PaintItemBackground(*painter, option);
        const QPixmap icon = index.data(Qt::DecorationRole).value<QIcon>().pixmap(16, kDriveIconHeight);
        painter->drawPixmap(option.rect.left() + kIconLeft,
                            option.rect.top() + (option.rect.height() - icon.height()) / 2, icon);
        // Plain text: "&" in a label or a share name is no shortcut marker.
        painter->drawText(option.rect.adjusted(kTextLeft, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, index.data().toString());
    }
};

}  // namespace

DriveSelector::DriveSelector(QWidget* parent)
    : QComboBox(parent)
{
    setEditable(false);
    setIconSize(QSize(16, kDriveIconHeight));
    setItemDelegate(new DriveItemDelegate(this));
}

void DriveSelector::SetMounts(const std::vector<Mount>& mounts)
{
    clear();
    for (const Mount& mount : mounts) {
        addItem(QIcon(QPixmap::fromImage(ResourcePicture(IconName(mount.kind)))),
                QString::fromStdString(DriveItemText(mount)));
        // Kept as bytes: a mount point need not be valid UTF-8.
        setItemData(count() - 1, QByteArray::fromStdString(mount.mountPoint), kMountPointRole);
    }
}

void DriveSelector::SelectMount(const std::string& mountPoint)
{
    setCurrentIndex(findData(QByteArray::fromStdString(mountPoint), kMountPointRole));
}

std::string DriveSelector::MountPointAt(int index) const
{
    return itemData(index, kMountPointRole).toByteArray().toStdString();
}

}  // namespace picbatch
