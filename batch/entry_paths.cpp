// Naming of one entry's source and destination files.
#include "batch/entry_paths.h"

#include "pictures/files/file_io.h"
#include "pictures/picture_format.h"
#include "pictures/upper_case.h"

namespace picbatch {

bool IsPictureEntry(std::string_view entry)
{
    return FormatOfName(entry) != nullptr;
}

std::string SourcePathOf(const std::string& folder, const std::string& entry)
{
    // Always one "/", whatever the folder text ends with: "/" + "/" + name is still the root.
    return folder + "/" + entry;
}

std::string FolderNamedBy(const std::string& path)
{
    if (!FormatOfName(path) || !FileExists(path))
        return path;
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::optional<std::string> EntryOutputPath(const std::string& destinationFolder, const std::string& entry,
                                           OutputMode mode)
{
    if (!IsPictureEntry(entry))
        return std::nullopt;
    return OutputPathFor(DestinationPathOf(destinationFolder, entry), mode);
}

std::string DestinationPathOf(const std::string& folder, const std::string& entry)
{
    // An entry in a subfolder keeps its folder names as they are: only the file name is
    // upper-cased.
    const auto slash = entry.rfind('/');
    if (slash == std::string::npos)
        return folder + "/" + AsciiUpper(entry);
    return folder + "/" + entry.substr(0, slash + 1) + AsciiUpper(std::string_view(entry).substr(slash + 1));
}

}  // namespace picbatch
