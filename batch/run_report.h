// The report shown when a run in the window ends: the entries that failed, then those that
// were converted with a warning.
#pragma once

#include <string>
#include <vector>

namespace picbatch {

// One entry of a report: the entry as listed and its failure's or warning's text.
struct EntryFailure {
    std::string name;
    std::string message;
};

// The report text: the failures first, under a heading with their count, one line each, then
// the warnings in the same way, each section ending in a line with the number of its entries
// not listed. At most 20 lines of entries in all, so that the report fits on the screen; of
// them the warnings keep up to 5 when there are failures enough to fill the rest.
std::string RunReportText(const std::vector<EntryFailure>& failures, const std::vector<EntryFailure>& warnings);

// The report of failures alone: RunReportText(failures, {}).
std::string FailureReportText(const std::vector<EntryFailure>& failures);

}  // namespace picbatch
