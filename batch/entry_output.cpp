// Naming one picture entry's output.
#include "batch/entry_output.h"

#include "batch/conversion_options.h"
#include "batch/entry_paths.h"
#include "pictures/picture_format.h"

namespace picbatch {

PlannedOutput EntryOutput(const std::string& destinationFolder, const std::string& entry, OutputMode mode,
                          const std::string& nameTemplate, NameFields fields)
{
    if (!IsPictureEntry(entry))
        return {};
    if (nameTemplate == kDefaultNameTemplate)
        return OutputFor(DestinationPathOf(destinationFolder, entry), mode);

    const auto slash = entry.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string_view extension = ExtensionOfName(entry);
    fields.stem = std::string_view(entry).substr(nameStart, entry.size() - nameStart - extension.size());
    const std::optional<std::string> name = ExpandNameTemplate(nameTemplate, fields);
    if (!name)
        return {};
    // The saver's extension for this mode: a picture kept in its own format keeps the table's
    // spelling of its ending, any other gets its format's.
    PlannedOutput output = OutputFor(DestinationPathOf(destinationFolder, entry), mode);
    if (!output.path)
        return output;
    const std::string_view outputExtension = ExtensionOfName(*output.path);
    output.path = destinationFolder + "/" + entry.substr(0, nameStart) + *name + std::string(outputExtension);
    return output;
}

}  // namespace picbatch
