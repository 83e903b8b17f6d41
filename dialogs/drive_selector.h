// DriveSelector: the folder chooser's drop-down list of mounts, each with its kind's icon.
#pragma once

#include "dialogs/mount_table.h"

#include <QComboBox>

#include <string>
#include <vector>

namespace picbatch {

class DriveSelector : public QComboBox {
    Q_OBJECT
public:
    // Item data: the mount point.
    static constexpr int kMountPointRole = Qt::UserRole + 1;

    explicit DriveSelector(QWidget* parent = nullptr);

    // One item per mount, in the given order.
    void SetMounts(const std::vector<Mount>& mounts);

    // Selects the item of mountPoint without emitting activated(); none when absent.
    void SelectMount(const std::string& mountPoint);

    // The mount point of item index.
    std::string MountPointAt(int index) const;
};

}  // namespace picbatch
