// Paths of any length: the system refuses a path of PATH_MAX bytes or more, but not a folder
// opened one component at a time and a name inside it.
#pragma once

#include <sys/stat.h>

#include <string>

#include "pictures/files/file_descriptor.h"

namespace picbatch {

// The folder at path opened with flags (O_DIRECTORY and O_CLOEXEC are added); a path too long
// for the system is walked one component at a time. Negative with errno set on failure.
FileDescriptor OpenFolder(const std::string& path, int flags);

// The folder at path and every missing folder on its way created, as "mkdir -p" does; then
// opened as OpenFolder(path, flags) opens it. Negative with errno set on failure (EEXIST or
// ENOTDIR when something that is not a folder is in the way).
FileDescriptor MakeFolders(const std::string& path, int flags);

// A file's path as the folder it is in, open, and its name there, for the *at calls.
struct PathInFolder {
    FileDescriptor folder;
    std::string name;
};

// path split into its folder (opened with O_PATH) and name. The folder is negative with
// errno set when it cannot be opened.
PathInFolder SplitPath(const std::string& path);

// open(2) of the file at path relative to its folder, so that any length works. Negative with
// errno set on failure.
FileDescriptor OpenPath(const std::string& path, int flags, mode_t mode = 0);

// stat(2) (links followed) of the file at path, for any length. False with errno set.
bool StatPath(const std::string& path, struct stat& info);

}  // namespace picbatch
