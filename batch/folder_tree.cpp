// Walking a folder tree for a run through subfolders.
#include "batch/folder_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "batch/directory_stream.h"
#include "batch/entry_paths.h"
#include "pictures/files/long_path.h"

namespace picbatch {

namespace {

using Identity = std::pair<dev_t, ino_t>;

std::optional<Identity> FolderIdentity(const std::string& folder)
{
    struct stat info {};
    if (folder.empty() || !StatPath(folder, info) || !S_ISDIR(info.st_mode))
        return std::nullopt;
    return Identity{info.st_dev, info.st_ino};
}

// Sorts entries by their names' order (the listing's), keeping each entry with its name.
void SortEntries(std::vector<ListedEntry>& entries, std::size_t nameStart)
{
    if (entries.size() < 2)
        return;
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const ListedEntry& entry : entries)
        names.push_back(entry.path.substr(nameStart));
    SortNames(names);
    // Names in a folder are unique: each finds its entry by name.
    std::vector<ListedEntry> sorted;
    sorted.reserve(entries.size());
    std::vector<std::pair<std::string_view, ListedEntry*>> index;
    index.reserve(entries.size());
    for (ListedEntry& entry : entries)
        index.emplace_back(std::string_view(entry.path).substr(nameStart), &entry);
    std::sort(index.begin(), index.end());
    for (const std::string& name : names) {
        const auto found = std::lower_bound(index.begin(), index.end(), std::string_view(name),
                                            [](const auto& item, std::string_view key) { return item.first < key; });
        sorted.push_back(std::move(*found->second));
    }
    entries = std::move(sorted);
}

}  // namespace

std::string UnreadableFolderMessage(int errnum)
{
    return "无法读取文件夹（" + FolderErrorText(errnum) + "）";
}

FolderTree::FolderTree(std::string root, std::string excluded, bool ordered)
    : m_root(std::move(root)), m_excluded(std::move(excluded)), m_ordered(ordered)
{
}

std::unique_ptr<EntrySource> FolderTree::Again() const
{
    return std::make_unique<FolderTree>(m_root, m_excluded, false);
}

bool FolderTree::List(const std::string& relative, Level& level)
{
    level.path = relative;
    const std::string folder = relative.empty() ? m_root : m_root + "/" + relative.substr(0, relative.size() - 1);
    const DirectoryStream directory(folder);
    if (!directory.Get())
        return false;
    // Looked up at each folder: a destination made after the walk started is still left out.
    const std::optional<Identity> excluded = FolderIdentity(m_excluded);
    const int fd = ::dirfd(directory.Get());
    while (const dirent* entry = ::readdir(directory.Get())) {
        // A leading "." marks hidden names, and also "." and "..".
        if (entry->d_name[0] == '.')
            continue;
        std::string path = relative + entry->d_name;
        unsigned char type = entry->d_type;
        struct stat info {};
        if (type == DT_UNKNOWN) {
            if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;  // gone meanwhile
            type = S_ISLNK(info.st_mode) ? DT_LNK : S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_FIFO;
        }
        if (type == DT_REG) {
            // Files that are no pictures' cost a run nothing and write nothing: they need no
            // order, and sorting them would cost more than the walk.
            if (IsPictureEntry(path))
                level.entries.push_back({std::move(path), ListedEntry::Kind::File, {}, {}, true});
            else
                level.others.push_back(std::move(path));
            continue;
        }
        if (type == DT_DIR) {
            if (excluded && ::fstatat(fd, entry->d_name, &info, 0) == 0 && info.st_dev == excluded->first
                && info.st_ino == excluded->second)
                continue;
            level.subfolders.emplace_back(entry->d_name);
            continue;
        }
        if (type != DT_LNK) {
            if (IsPictureEntry(path))
                level.entries.push_back({std::move(path), ListedEntry::Kind::PassedOver, PassedOverReason::NotRegularFile, {}});
            continue;
        }
        if (::fstatat(fd, entry->d_name, &info, 0) != 0) {
            const int cause = errno;
            if (IsPictureEntry(path))
                level.entries.push_back({std::move(path), ListedEntry::Kind::PassedOver, PassedOverReasonOfStatError(cause), {}});
        } else if (S_ISREG(info.st_mode)) {
            if (IsPictureEntry(path))
                level.entries.push_back({std::move(path), ListedEntry::Kind::File, {}, {}, true});
            else
                level.others.push_back(std::move(path));
        } else if (S_ISDIR(info.st_mode)) {
            level.entries.push_back({std::move(path), ListedEntry::Kind::PassedOver, PassedOverReason::FolderLink, {}});
        } else if (IsPictureEntry(path)) {
            level.entries.push_back({std::move(path), ListedEntry::Kind::PassedOver, PassedOverReason::NotRegularFile, {}});
        }
    }
    if (m_ordered) {
        SortEntries(level.entries, relative.size());
        SortNames(level.subfolders);
    }
    return true;
}

std::optional<ListedEntry> FolderTree::Next()
{
    if (!m_started) {
        m_started = true;
        Level root;
        if (!List("", root)) {
            const int cause = errno;
            return ListedEntry{"", ListedEntry::Kind::Refused, {}, UnreadableFolderMessage(cause)};
        }
        m_levels.push_back(std::move(root));
    }
    while (!m_levels.empty()) {
        Level& level = m_levels.back();
        if (level.nextEntry < level.entries.size())
            return std::move(level.entries[level.nextEntry++]);
        if (level.nextOther < level.others.size())
            return ListedEntry{std::move(level.others[level.nextOther++]), ListedEntry::Kind::File, {}, {}};
        // The folder's own entries are done: only its subfolders' names are held from here on.
        if (!level.entries.empty() || !level.others.empty()) {
            level.entries = {};
            level.others = {};
        }
        if (level.nextSubfolder < level.subfolders.size()) {
            const std::string relative = level.path + level.subfolders[level.nextSubfolder++] + "/";
            Level child;
            if (!List(relative, child)) {
                const int cause = errno;
                return ListedEntry{relative.substr(0, relative.size() - 1), ListedEntry::Kind::Refused, {},
                                   UnreadableFolderMessage(cause)};
            }
            m_levels.push_back(std::move(child));
            continue;
        }
        m_levels.pop_back();
    }
    return std::nullopt;
}

}  // namespace picbatch
