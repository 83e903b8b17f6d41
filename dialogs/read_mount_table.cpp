// The mount table of this process, with the answers the kernel and udev give about devices.
#include "dialogs/mount_table.h"

#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace picbatch {

namespace fs = std::filesystem;

namespace {

std::string Canonical(const std::string& path)
{
    std::error_code ec;
    const fs::path canonical = fs::canonical(path, ec);
    return ec ? std::string() : canonical.string();
}

// /sys/block/<disk>/removable is 1 for USB sticks, card readers and the like. A partition
// (/sys/class/block/sdb1) has a "partition" file; its disk is the folder above it.
bool RemovableDevice(const std::string& source)
{
    const std::string device = Canonical(source);
    if (device.rfind("/dev/", 0) != 0)
        return false;
    fs::path block = Canonical("/sys/class/block/" + fs::path(device).filename().string());
    if (block.empty())
        return false;
    std::error_code ec;
    if (fs::exists(block / "partition", ec))
        block = block.parent_path();
    std::ifstream removable(block / "removable");
    char flag = '0';
    return removable.get(flag) && flag == '1';
}

std::string VolumeLabel(const std::string& source)
{
    const std::string device = Canonical(source);
    if (device.empty())
        return {};
    std::error_code ec;
    for (fs::directory_iterator it("/dev/disk/by-label", ec), end; !ec && it != end; it.increment(ec)) {
        if (Canonical(it->path().string()) == device)
            return DecodeLabelName(it->path().filename().string());
    }
    return {};
}

}  // namespace

std::string DecodeLabelName(const std::string& name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned int value = 0;
        if (name[i] == '\\' && name.size() - i > 3 && name[i + 1] == 'x') {
            const char* digits = name.data() + i + 2;
            const auto [end, error] = std::from_chars(digits, digits + 2, value, 16);
            if (error == std::errc() && end == digits + 2) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += name[i];
    }
    return out;
}

std::vector<Mount> ReadMountTable()
{
    MountProbe probe;
    probe.removableDevice = RemovableDevice;
    probe.volumeLabel = VolumeLabel;
    probe.isFolder = [](const std::string& path) {
        std::error_code ec;
        return fs::is_directory(path, ec);
    };
    probe.writable = [](const std::string& path) { return access(path.c_str(), W_OK) == 0; };

    std::ifstream file("/proc/self/mounts");
    std::stringstream text;
    text << file.rdbuf();
    return ParseMountTable(text.str(), probe);
}

}  // namespace picbatch
