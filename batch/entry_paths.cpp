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
    return folder + "/" + AsciiUpper(entry);
}

}  // namespace picbatch
