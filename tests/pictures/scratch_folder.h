// Test helpers for files: a scratch folder, small text files, the message and cause of an Error.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <vector>

#include "imaging/error.h"
#include "pictures/files/file_io.h"

namespace picbatch {

// A fresh folder under the system's temporary folder, removed with everything in it (its
// write permission is given back first, for tests that take it away).
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "picbatch-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

    // The sorted names in the folder or in its subfolder sub.
    std::vector<std::string> Names(const std::string& sub = "") const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path / sub))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path m_path;
};

inline void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path)
{
    const auto bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

// The message of the Error that action throws, or "(no error)".
inline std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "(no error)";
}

// The cause that the Error action throws carries; Unknown also when it throws none.
inline FailureCause FailureCauseOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& error) {
        return error.Cause();
    }
    return FailureCause::Unknown;
}

}  // namespace picbatch
