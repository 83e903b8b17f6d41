// Whether a picture's output is up to date, so that a run asked to may leave it as it is.
#pragma once

#include <string>

namespace picbatch {

// True when the file at outputPath is a regular file (not a link) whose modification time is
// later than that of the source (links followed), to the nanosecond; an equal time is not
// later. False when either cannot be read.
bool OutputUpToDate(const std::string& sourcePath, const std::string& outputPath);

}  // namespace picbatch
