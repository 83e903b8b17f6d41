// Remembering the folder last entered on each mount.
#include "dialogs/mount_memory.h"

#include <filesystem>

namespace picbatch {

void MountMemory::Entered(const std::vector<Mount>& mounts, const std::string& folder)
{
    if (const Mount* mount = MountOf(mounts, folder))
        m_lastFolder[mount->mountPoint] = folder;
}

std::string MountMemory::FolderToEnter(const std::vector<Mount>& mounts, const std::string& mountPoint) const
{
    const auto remembered = m_lastFolder.find(mountPoint);
    if (remembered == m_lastFolder.end())
        return mountPoint;
    // The folder may have been removed since, or another file system mounted over it.
    std::error_code ec;
    const Mount* mount = MountOf(mounts, remembered->second);
    if (!std::filesystem::is_directory(remembered->second, ec) || !mount || mount->mountPoint != mountPoint)
        return mountPoint;
    return remembered->second;
}

}  // namespace picbatch
