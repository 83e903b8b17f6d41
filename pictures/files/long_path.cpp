// Paths of any length, through folder descriptors and the *at calls.
#include "pictures/files/long_path.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>

#include <cerrno>
#include <string_view>
#include <utility>

namespace picbatch {

namespace {

// Opens each component of folder after the other from the root or the current folder, so
// that no call sees more than one name; with create, a missing component is made first.
FileDescriptor WalkFolder(const std::string& folder, int flags, bool create)
{
    FileDescriptor current(folder.starts_with('/') ? ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)
                                                   : ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    std::string_view rest = folder;
    while (current.Get() >= 0) {
        while (rest.starts_with('/'))
            rest.remove_prefix(1);
        if (rest.empty())
            break;
        const std::size_t end = rest.find('/');
        const std::string name(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
        const bool last = rest.find_first_not_of('/') == std::string_view::npos;
        const int openFlags = (last ? flags : O_PATH) | O_DIRECTORY | O_CLOEXEC;
        int next = ::openat(current.Get(), name.c_str(), openFlags);
        // Another process may make the same folder meanwhile: EEXIST is no failure.
        if (next < 0 && errno == ENOENT && create
            && (::mkdirat(current.Get(), name.c_str(), 0777) == 0 || errno == EEXIST))
            next = ::openat(current.Get(), name.c_str(), openFlags);
        current = FileDescriptor(next);
        if (last)
            return current;
    }
    // The folder was the root or the current one: opened again with the flags asked for.
    if (current.Get() < 0)
        return current;
    return FileDescriptor(::openat(current.Get(), ".", flags | O_DIRECTORY | O_CLOEXEC));
}

bool TooLongForTheSystem(const std::string& path)
{
    return path.size() >= PATH_MAX;
}

// The folder part of path (".", "/" or what comes before the last "/").
std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The name after the last "/" of path.
std::string NameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

FileDescriptor OpenFolder(const std::string& path, int flags)
{
    if (!TooLongForTheSystem(path))
        return FileDescriptor(::open(path.c_str(), flags | O_DIRECTORY | O_CLOEXEC));
    return WalkFolder(path, flags, false);
}

FileDescriptor MakeFolders(const std::string& path, int flags)
{
    return WalkFolder(path, flags, true);
}

PathInFolder SplitPath(const std::string& path)
{
    return {OpenFolder(FolderOf(path), O_PATH), NameOf(path)};
}

FileDescriptor OpenPath(const std::string& path, int flags, mode_t mode)
{
    if (!TooLongForTheSystem(path))
        return FileDescriptor(::open(path.c_str(), flags | O_CLOEXEC, mode));
    const PathInFolder split = SplitPath(path);
    if (split.folder.Get() < 0)
        return FileDescriptor(-1);
    return FileDescriptor(::openat(split.folder.Get(), split.name.c_str(), flags | O_CLOEXEC, mode));
}

bool StatPath(const std::string& path, struct stat& info)
{
    if (!TooLongForTheSystem(path))
        return ::stat(path.c_str(), &info) == 0;
    const PathInFolder split = SplitPath(path);
    return split.folder.Get() >= 0 && ::fstatat(split.folder.Get(), split.name.c_str(), &info, 0) == 0;
}

}  // namespace picbatch
