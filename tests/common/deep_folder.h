// A folder nested deeper than the longest path the system takes (PATH_MAX), for tests of paths
// of any length.
#pragma once

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "pictures/files/long_path.h"

namespace picbatch {

// Made under a fresh temporary folder, and removed with it by rm, which walks any depth
// (std::filesystem::remove_all gives up on such paths).
class DeepFolder {
public:
    DeepFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "picbatch-deep-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_top = pattern;
        m_path = m_top;
        while (m_path.size() < PATH_MAX + 100)
            m_path += "/" + std::string(200, 'd');
        if (MakeFolders(m_path, O_PATH).Get() < 0)
            throw std::runtime_error("cannot make a deep folder");
    }
    ~DeepFolder() { [[maybe_unused]] const int status = std::system(("rm -rf '" + m_top + "'").c_str()); }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_top;
    std::string m_path;
};

}  // namespace picbatch
