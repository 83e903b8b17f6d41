// The mounted file systems a user would pick in the folder chooser's drive selector, read
// from the text of /proc/self/mounts. No Qt here, so tests can feed sample tables.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace picbatch {

enum class DriveKind { Removable, Fixed, Network, CdRom, RamDisk };

struct Mount {
    std::string mountPoint;  // absolute, without trailing "/" except for "/" itself
    DriveKind kind = DriveKind::Fixed;
    std::string source;      // the device or remote name of the mount table
    std::string label;       // the file system's label, empty when there is none
    bool operator==(const Mount&) const = default;
};

// What classifying a mount needs to ask of the system; tests supply their own answers.
struct MountProbe {
    std::function<bool(const std::string& source)> removableDevice;
    std::function<std::string(const std::string& source)> volumeLabel;
    std::function<bool(const std::string& mountPoint)> isFolder;
    std::function<bool(const std::string& mountPoint)> writable;
};

// The pickable mounts of a mount table text (fields separated by blanks, octal escapes
// such as \040 decoded), sorted by mount point. Pseudo file systems, mounts of single
// files and read-only RAM file systems are left out; of two mounts on one mount point the
// later one counts. "/" is always present, as a fixed drive when the table does not say
// otherwise. Probe functions that are empty count as "no" (and "" for the label).
std::vector<Mount> ParseMountTable(std::string_view text, const MountProbe& probe);

// The selector's text: the mount point alone for a removable mount; the mount point, a
// blank and the remote name for a network mount; else the mount point, a blank and the
// label in brackets ("/ []" without one). Label and remote name are folded to lower case
// (ASCII letters only).
std::string DriveItemText(const Mount& mount);

// The mount whose mount point is the longest leading part of folder (an absolute path),
// or nullptr when there is none.
const Mount* MountOf(const std::vector<Mount>& mounts, const std::string& folder);

// A name from /dev/disk/by-label with udev's "\xNN" escapes (blanks, slashes, other bytes
// a file name cannot hold) turned back into the bytes.
std::string DecodeLabelName(const std::string& name);

// The mounts of this process: /proc/self/mounts with answers from /sys/block and
// /dev/disk/by-label. A table that cannot be read gives "/" alone.
std::vector<Mount> ReadMountTable();

}  // namespace picbatch
