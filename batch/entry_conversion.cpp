// The checks and the conversion of one listing entry.
#include "batch/entry_conversion.h"

#include "batch/entry_paths.h"
#include "batch/output_claims.h"
#include "imaging/raster.h"

namespace picbatch {

ConversionNotes ConvertEntry(const EntryLocation& location, const ConversionTarget& target, OutputClaims& claims,
                             Raster& working)
{
    // An empty folder text would make "" + "/" + name a path in the root folder.
    if (location.sourceFolder.empty())
        throw Error(kNoSourceFolder);
    if (location.destinationFolder.empty())
        throw Error(kNoDestinationFolder);

    const std::string sourcePath = SourcePathOf(location.sourceFolder, location.entry);
    const std::string destinationPath = DestinationPathOf(location.destinationFolder, location.entry);
    const std::optional<std::string> outputPath = OutputPathFor(destinationPath, target.mode);
    if (!outputPath)
        return {};
    // A clash is known before anything is decoded: checked first, it costs no decoding.
    OutputClaims::Claim claim = claims.ClaimOutput(*outputPath, sourcePath);
    ConversionNotes notes;
    ConvertPicture(sourcePath, target.width, target.height, destinationPath, target.mode, working, target.threads,
                   &notes, target.options);
    claim.Keep();
    return notes;
}

}  // namespace picbatch
