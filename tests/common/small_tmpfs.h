// A small file system of its own for a test, to meet a full or a read-only disk for real.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace picbatch {

// A tmpfs of `bytes` bytes mounted on a fresh folder under the system's temporary folder,
// unmounted and removed again at the end. Mounting takes root (and a container that lets root
// mount); otherwise Mounted() is false and WhyNot() says why, for the test to skip with.
class SmallTmpfs {
public:
    explicit SmallTmpfs(std::size_t bytes) : m_options("size=" + std::to_string(bytes))
    {
        if (::geteuid() != 0) {
            m_whyNot = "mounting a small file system needs root";
            return;
        }
        std::string pattern = (std::filesystem::temp_directory_path() / "picbatch-tmpfs-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            m_whyNot = "mkdtemp failed";
            return;
        }
        m_path = pattern;
        if (::mount("tmpfs", m_path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, m_options.c_str()) != 0) {
            m_whyNot = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
            return;
        }
        m_mounted = true;
    }
    ~SmallTmpfs()
    {
        // Detached: a file a failed test left open must not keep the mount.
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
        if (!m_path.empty())
            ::rmdir(m_path.c_str());
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool Mounted() const { return m_mounted; }
    const std::string& WhyNot() const { return m_whyNot; }
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

    // Mounts it again read-only; false when that is refused.
    bool MakeReadOnly()
    {
        return ::mount("tmpfs", m_path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV,
                       m_options.c_str())
            == 0;
    }

private:
    std::string m_options;
    std::string m_path;
    std::string m_whyNot;
    bool m_mounted = false;
};

}  // namespace picbatch
