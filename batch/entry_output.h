// The output file of one picture entry under the run's name template.
#pragma once

#include <string>

#include "batch/conversion_plan.h"
#include "batch/name_template.h"

namespace picbatch {

// The file the picture entry (a path relative to the source folder, "/" between names) is
// written to: the destination folder, the entry's folders, the name nameTemplate gives
// (fields' size and number; the stem is the entry's) and the output format's extension, as
// the saver spells it. The default template gives OutputFor(DestinationPathOf(...)) exactly.
// No path for an entry that is no picture's, or a name the template cannot make.
PlannedOutput EntryOutput(const std::string& destinationFolder, const std::string& entry, OutputMode mode,
                          const std::string& nameTemplate, NameFields fields);

}  // namespace picbatch
