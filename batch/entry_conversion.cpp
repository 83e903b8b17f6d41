// The checks and the conversion of one listing entry.
#include "batch/entry_conversion.h"

#include "batch/entry_paths.h"
#include "batch/output_claims.h"

namespace picbatch {

ConversionPlan PlanEntry(const EntryLocation& location, const ConversionRequest& request, Threads threads)
{
    return PlanConversion(SourcePathOf(location.sourceFolder, location.entry),
                          DestinationPathOf(location.destinationFolder, location.entry), request, threads);
}

ConversionNotes ConvertEntry(const EntryLocation& location, const ConversionPlan& plan, OutputClaims& claims)
{
    // An empty folder text would make "" + "/" + name a path in the root folder.
    if (location.sourceFolder.empty())
        throw Error(kNoSourceFolder);
    if (location.destinationFolder.empty())
        throw Error(kNoDestinationFolder);
    if (!plan.output.path)
        return {};
    // A clash is known before anything is decoded: checked first, it costs no decoding.
    OutputClaims::Claim claim = claims.ClaimOutput(*plan.output.path, plan.sourcePath);
    const ConversionNotes notes = CarryOut(plan);
    claim.Keep();
    return notes;
}

}  // namespace picbatch
