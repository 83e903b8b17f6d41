// MountMemory: the folder last entered on each mount during this run of the program, so
// that picking a mount in the drive selector returns there, as a per-drive current folder
// would. No Qt here.
#pragma once

#include "dialogs/mount_table.h"

#include <map>
#include <string>
#include <vector>

namespace picbatch {

class MountMemory {
public:
    // Records folder (an absolute path) as the last one entered on its mount.
    void Entered(const std::vector<Mount>& mounts, const std::string& folder);

    // The folder to enter when mountPoint is picked: the last one entered on it while that
    // is still a folder on that same mount, else the mount point itself.
    std::string FolderToEnter(const std::vector<Mount>& mounts, const std::string& mountPoint) const;

private:
    std::map<std::string, std::string> m_lastFolder;  // by mount point
};

}  // namespace picbatch
