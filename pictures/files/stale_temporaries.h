// The temporaries that a killed run left in a folder where the file system has no unnamed
// files, recognised conservatively and removed.
#pragma once

#include <string>

namespace picbatch {

// Removes from folder the temporaries (TemporaryName, output_file.h) of a process of this
// host that no longer runs and that nobody holds locked; returns how many. Anything else is
// left alone: other names (also an older form without a process id), another host's
// temporaries (a shared network folder), a process id in use again, a file still locked, a
// link. Errors only leave a file where it is.
int RemoveStaleTemporaries(const std::string& folder);

}  // namespace picbatch
