// An open directory stream, owned. The folder is opened through its descriptor, so that a
// path of any length works.
#pragma once

#include <dirent.h>
#include <fcntl.h>

#include <string>

#include "pictures/files/long_path.h"

namespace picbatch {

class DirectoryStream {
public:
    // Get() is null when the folder cannot be opened.
    explicit DirectoryStream(const std::string& folder)
    {
        FileDescriptor fd = OpenFolder(folder, O_RDONLY);
        if (fd.Get() < 0)
            return;
        m_dir = ::fdopendir(fd.Get());
        if (m_dir)
            fd.Release();  // the stream owns it now
    }
    ~DirectoryStream()
    {
        if (m_dir)
            ::closedir(m_dir);
    }
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;

    DIR* Get() const { return m_dir; }

private:
    DIR* m_dir = nullptr;
};

}  // namespace picbatch
