// The entries of the folder chooser's directory list: the path of the current folder from
// the root down, then its subfolders. No Qt here.
#pragma once

#include <string>
#include <vector>

namespace picbatch {

enum class FolderIcon { Open, Current, Closed };

struct DirectoryEntry {
    std::string text;  // "/" for the root, else one folder name
    std::string path;  // the folder that opening the entry enters
    FolderIcon icon = FolderIcon::Closed;
    int indent = 0;    // pixels from the item's left to the icon
    bool operator==(const DirectoryEntry&) const = default;
};

// currentFolder is an absolute path without trailing "/" (or "/"); subfolders are bare
// names in display order. The root and each folder on the path get indent 4 * p + 2
// (p = position); the current folder's entry is the last of them; every subfolder sits
// one level (4 pixels) right of the current folder's entry.
std::vector<DirectoryEntry> BuildDirectoryEntries(const std::string& currentFolder,
                                                  const std::vector<std::string>& subfolders);

// The visible subfolders of folder (not starting with "."; links to folders count), in
// the source listing's order. A folder that cannot be read gives none and no error.
std::vector<std::string> ListSubfolders(const std::string& folder);

}  // namespace picbatch
