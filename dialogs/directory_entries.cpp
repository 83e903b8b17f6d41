// Building the directory list's entries from a path and its subfolders.
#include "dialogs/directory_entries.h"

namespace picbatch {

namespace {

// Each level of the tree sits 4 pixels right of its parent; the root starts 2 pixels in.
constexpr int kIndentStep = 4;
constexpr int kRootIndent = 2;

}  // namespace

std::vector<DirectoryEntry> BuildDirectoryEntries(const std::string& currentFolder,
                                                  const std::vector<std::string>& subfolders)
{
    std::vector<DirectoryEntry> entries;
    entries.push_back({"/", "/", FolderIcon::Open, kRootIndent});
    std::size_t start = 1;
    while (start < currentFolder.size()) {
        std::size_t end = currentFolder.find('/', start);
        if (end == std::string::npos)
            end = currentFolder.size();
        if (end > start) {  // "//" in a path names no folder
            const int position = static_cast<int>(entries.size());
            entries.push_back({currentFolder.substr(start, end - start), currentFolder.substr(0, end),
                               FolderIcon::Open, kIndentStep * position + kRootIndent});
        }
        start = end + 1;
    }
    entries.back().icon = FolderIcon::Current;

    const int currentPosition = static_cast<int>(entries.size()) - 1;
    const std::string prefix = entries.back().path == "/" ? "/" : entries.back().path + "/";
    for (const std::string& name : subfolders) {
        entries.push_back({name, prefix + name, FolderIcon::Closed,
                           kIndentStep * (currentPosition + 1) + kRootIndent});
    }
    return entries;
}

}  // namespace picbatch
