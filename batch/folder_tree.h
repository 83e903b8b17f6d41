// The entries of a folder and all its subfolders, walked one folder at a time: a folder's
// pictures (and picture names passed over) in the listing's order, its other files, then
// each subfolder in that order, and so on down. Holds the
// names of the folder being listed and the subfolders still to walk on its way down, never
// the whole tree.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/entry_source.h"

namespace picbatch {

// The failure of an entry that is a folder which could not be read: "无法读取文件夹（File
// access denied）".
std::string UnreadableFolderMessage(int errnum);

class FolderTree : public EntrySource {
public:
    // The tree under root. Hidden names (starting with ".") are left out, as in a listing;
    // links to files are followed, links to folders are not (passed over as FolderLink); the
    // folder excluded (the destination, when it lies inside the tree) is never entered.
    // Ordered false gives the same entries in the file system's order, for counting.
    FolderTree(std::string root, std::string excluded, bool ordered = true);

    std::optional<ListedEntry> Next() override;
    std::unique_ptr<EntrySource> Again() const override;

private:
    // One folder on the way down: what is left of it.
    struct Level {
        std::string path;  // relative to the root, "" for the root, else ending in "/"
        std::vector<ListedEntry> entries;  // pictures and names passed over, in name order
        std::size_t nextEntry = 0;
        std::vector<std::string> others;   // the other files, after them, in no order
        std::size_t nextOther = 0;
        std::vector<std::string> subfolders;
        std::size_t nextSubfolder = 0;
    };

    // Lists the folder at relative (its path below the root, "" or ending in "/") into level;
    // false with errno set when it cannot be read.
    bool List(const std::string& relative, Level& level);

    std::string m_root;
    std::string m_excluded;
    bool m_ordered;
    bool m_started = false;
    std::vector<Level> m_levels;
};

}  // namespace picbatch
