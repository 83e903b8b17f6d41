// The subfolders the directory list offers below the current folder.
#include "dialogs/directory_entries.h"

#include "batch/source_listing.h"

#include <filesystem>

namespace picbatch {

std::vector<std::string> ListSubfolders(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    // An error while reading ends the listing; the names found so far stay.
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.')  // hidden, and "." and ".."
            continue;
        std::error_code statError;
        if (it->is_directory(statError))  // follows links; a broken link is no folder
            names.push_back(std::move(name));
    }
    SortNames(names);
    return names;
}

}  // namespace picbatch
