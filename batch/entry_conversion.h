// The conversion of one listing entry: the one road every picture takes, in the window's run
// and in picbatch-cli alike, so both write the same files and report the same failures in
// the same words.
#pragma once

#include <string>

#include "batch/conversion_plan.h"
#include "batch/convert_picture.h"
#include "batch/failure_text.h"
#include "imaging/error.h"

namespace picbatch {

class OutputClaims;

// Where one entry is read and written: the folder texts and the entry as listed.
struct EntryLocation {
    std::string sourceFolder;
    std::string destinationFolder;
    std::string entry;
};

// Messages of the run's own refusals.
inline constexpr const char* kNoSourceFolder = "请先选择源文件夹";
inline constexpr const char* kNoDestinationFolder = "请先选择目标文件夹";

// The plan of the picture entry at location under request, on threads (PlanConversion of
// its source path and its destination, the upper-cased entry).
ConversionPlan PlanEntry(const EntryLocation& location, const ConversionRequest& request,
                         Threads threads = Threads::One);

// Converts the picture entry at location (IsPictureEntry) as plan (PlanEntry) says, checking
// in this order: the folder texts are not empty; the output name is free in claims (no
// other entry of the run wrote it, it is no other entry's source); then the plan is carried
// out (CarryOut) and the file saved through the safe replacement. The output stays claimed
// only when it was written. Throws the first failure; returns what the conversion noticed
// besides (nothing for an entry that is no picture's).
// An entry in a subfolder (a run through subfolders) has its output's folders made as needed
// under the destination folder, which itself must exist.
ConversionNotes ConvertEntry(const EntryLocation& location, const ConversionPlan& plan, OutputClaims& claims);

// Keeps the output at outputPath of the picture entry at location as it is (it is up to
// date), after the same checks as ConvertEntry: the folder texts, then the claim, which stays.
// Throws the first failure.
void KeepUpToDateOutput(const EntryLocation& location, const std::string& outputPath, OutputClaims& claims);

}  // namespace picbatch
