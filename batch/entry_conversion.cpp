// The checks and the conversion of one listing entry.
#include "batch/entry_conversion.h"

#include <fcntl.h>

#include "batch/entry_paths.h"
#include "batch/output_claims.h"
#include "pictures/files/long_path.h"

namespace picbatch {

namespace {

void CheckFolderTexts(const EntryLocation& location)
{
    // An empty folder text would make "" + "/" + name a path in the root folder.
    if (location.sourceFolder.empty())
        throw Error(kNoSourceFolder);
    if (location.destinationFolder.empty())
        throw Error(kNoDestinationFolder);
}

// Makes the folders between the destination and the output of an entry in a subfolder. A
// missing destination is not made (the output then fails as any would); a folder that cannot
// be made leaves the output to fail with the system's reason.
void MakeOutputFolders(const EntryLocation& location)
{
    const auto slash = location.entry.rfind('/');
    if (slash == std::string::npos || OpenFolder(location.destinationFolder, O_PATH).Get() < 0)
        return;
    MakeFolders(location.destinationFolder + "/" + location.entry.substr(0, slash), O_PATH);
}

}  // namespace

ConversionPlan PlanEntry(const EntryLocation& location, const ConversionRequest& request, Threads threads)
{
    return PlanConversion(SourcePathOf(location.sourceFolder, location.entry),
                          DestinationPathOf(location.destinationFolder, location.entry), request, threads);
}

ConversionNotes ConvertEntry(const EntryLocation& location, const ConversionPlan& plan, OutputClaims& claims)
{
    CheckFolderTexts(location);
    if (!plan.output.path)
        return {};
    // A clash is known before anything is decoded: checked first, it costs no decoding.
    OutputClaims::Claim claim = claims.ClaimOutput(*plan.output.path, plan.sourcePath);
    MakeOutputFolders(location);
    const ConversionNotes notes = CarryOut(plan);
    claim.Keep();
    return notes;
}

void KeepUpToDateOutput(const EntryLocation& location, const std::string& outputPath, OutputClaims& claims)
{
    CheckFolderTexts(location);
    claims.ClaimOutput(outputPath, SourcePathOf(location.sourceFolder, location.entry)).Keep();
}

}  // namespace picbatch
