// Classifying the lines of a mount table into the five kinds of drive the selector shows.
#include "dialogs/mount_table.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

namespace picbatch {

namespace {

// Network file systems whose mount source names the remote share.
constexpr std::array<std::string_view, 12> kNetworkTypes = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph", "glusterfs",
    "davfs", "9p", "fuse.sshfs"};

// Types that sit on a block device but are no place a user would pick: compressed read-only
// images of snaps, live systems and the like.
constexpr std::array<std::string_view, 3> kImageTypes = {"squashfs", "erofs", "cramfs"};

// Disk file systems that have no "/dev/..." source.
constexpr std::array<std::string_view, 2> kSourcelessDiskTypes = {"zfs", "bcachefs"};

template <std::size_t N>
bool OneOf(std::string_view value, const std::array<std::string_view, N>& set)
{
    return std::find(set.begin(), set.end(), value) != set.end();
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The kernel writes blanks, tabs, newlines and backslashes in mount fields as "\" and three
// octal digits.
std::string Unescape(std::string_view field)
{
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && field.size() - i > 3 && isOctal(field[i + 1])
            && isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            out += static_cast<char>(value & 0xFF);
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t')
            ++pos;
        if (pos > start)
            fields.push_back(line.substr(start, pos - start));
    }
    return fields;
}

bool UnderFolder(std::string_view path, std::string_view folder)
{
    return StartsWith(path, folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

bool IsNetwork(std::string_view type, std::string_view source)
{
    if (OneOf(type, kNetworkTypes))
        return true;
    // Other FUSE file systems count as network ones when their source names a remote
    // place: "host:/path", "remote:bucket" (rclone, s3fs, curlftpfs) or "//server/share".
    return StartsWith(type, "fuse.")
        && (source.find(':') != std::string_view::npos || StartsWith(source, "//"));
}

bool IsDisk(std::string_view type, std::string_view source)
{
    if (OneOf(type, kImageTypes))
        return false;
    return StartsWith(source, "/dev/") || OneOf(type, kSourcelessDiskTypes);
}

// Kernel views (/proc, /sys, device nodes) are never offered, whatever their type claims.
bool InKernelTree(std::string_view mountPoint)
{
    if (mountPoint == "/dev/shm")
        return false;
    return UnderFolder(mountPoint, "/proc") || UnderFolder(mountPoint, "/sys")
        || UnderFolder(mountPoint, "/dev");
}

bool Ask(const std::function<bool(const std::string&)>& question, const std::string& value)
{
    return question && question(value);
}

// The mount of one table line, or nothing when it is no place a user would pick.
std::optional<Mount> Classify(const std::vector<std::string_view>& fields, const MountProbe& probe)
{
    Mount mount;
    mount.source = Unescape(fields[0]);
    mount.mountPoint = Unescape(fields[1]);
    const std::string type = Unescape(fields[2]);
    const bool root = mount.mountPoint == "/";

    if (IsNetwork(type, mount.source)) {
        mount.kind = DriveKind::Network;
    } else if (type == "iso9660" || type == "udf") {
        mount.kind = DriveKind::CdRom;
    } else if (type == "tmpfs" || type == "ramfs") {
        if (!root && !Ask(probe.writable, mount.mountPoint))
            return std::nullopt;
        mount.kind = DriveKind::RamDisk;
    } else if (IsDisk(type, mount.source) || root) {
        const bool mediaFolder = UnderFolder(mount.mountPoint, "/media")
            || UnderFolder(mount.mountPoint, "/run/media");
        mount.kind = mediaFolder || Ask(probe.removableDevice, mount.source) ? DriveKind::Removable
                                                                              : DriveKind::Fixed;
    } else {
        return std::nullopt;
    }
    // Containers bind single files such as /etc/hosts; only folders can be entered.
    if (!root && (InKernelTree(mount.mountPoint) || !Ask(probe.isFolder, mount.mountPoint)))
        return std::nullopt;
    if (mount.kind != DriveKind::Network && probe.volumeLabel)
        mount.label = probe.volumeLabel(mount.source);
    return mount;
}

}  // namespace

std::vector<Mount> ParseMountTable(std::string_view text, const MountProbe& probe)
{
    std::map<std::string, Mount> byMountPoint;
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = text.size();
        const auto fields = Fields(text.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
        if (fields.size() < 3 || fields[1].empty() || fields[1][0] != '/')
            continue;
        // A later mount on the same mount point hides the earlier one, also when the later
        // one is not shown itself.
        std::optional<Mount> mount = Classify(fields, probe);
        if (mount)
            byMountPoint[mount->mountPoint] = std::move(*mount);
        else
            byMountPoint.erase(Unescape(fields[1]));
    }
    if (!byMountPoint.contains("/"))
        byMountPoint["/"] = Mount{"/", DriveKind::Fixed, "", ""};

    std::vector<Mount> mounts;
    mounts.reserve(byMountPoint.size());
    for (auto& [mountPoint, mount] : byMountPoint)
        mounts.push_back(std::move(mount));
    return mounts;  // std::map keeps them sorted by mount point
}

std::string DriveItemText(const Mount& mount)
{
    const auto folded = [](std::string text) {
        // Only A to Z: the rest of a UTF-8 label is left as it is.
        for (char& c : text)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return text;
    };
    switch (mount.kind) {
    case DriveKind::Removable:
        return mount.mountPoint;
    case DriveKind::Network:
        if (!mount.source.empty())
            return mount.mountPoint + " " + folded(mount.source);
        break;
    default:
        break;
    }
    return mount.mountPoint + " [" + folded(mount.label) + "]";
}

const Mount* MountOf(const std::vector<Mount>& mounts, const std::string& folder)
{
    const Mount* best = nullptr;
    for (const Mount& mount : mounts) {
        const bool contains = mount.mountPoint == "/" ? StartsWith(folder, "/")
                                                      : UnderFolder(folder, mount.mountPoint);
        if (contains && (!best || mount.mountPoint.size() > best->mountPoint.size()))
            best = &mount;
    }
    return best;
}

}  // namespace picbatch
