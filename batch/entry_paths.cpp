// Naming of one entry's source and destination files.
#include "batch/entry_paths.h"

#include "pictures/upper_case.h"

bool IsPictureEntry(std::string_view entry)
{
    if (entry.size() < 4)
        return false;
    const std::string extension = AsciiUpper(entry.substr(entry.size() - 4));
    return extension == ".BMP" || extension == ".JPG";
}

std::string SourcePathOf(const std::string& folder, const std::string& entry)
{
    // Always one "/", whatever the folder text ends with: "/" + "/" + name is still the root.
    return folder + "/" + entry;
}

std::string DestinationPathOf(const std::string& folder, const std::string& entry)
{
    return folder + "/" + AsciiUpper(entry);
}
