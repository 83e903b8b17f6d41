// The conversion of one listing entry: the one road every picture takes, in the window's run
// and in picbatch-cli alike, so both write the same files and report the same failures in
// the same words.
#pragma once

#include <optional>
#include <string>

#include "batch/convert_picture.h"
#include "batch/failure_text.h"
#include "imaging/error.h"
#include "pictures/save_picture.h"

namespace picbatch {

class OutputClaims;
class Raster;

// What every picture of a run becomes.
struct ConversionTarget {
    int width = 0;
    int height = 0;
    OutputMode mode = OutputMode::KeepFormat;
    Threads threads = Threads::One;
    ConversionOptions options;
};

// Where one entry is read and written: the folder texts and the entry as listed.
struct EntryLocation {
    std::string sourceFolder;
    std::string destinationFolder;
    std::string entry;
};

// Messages of the run's own refusals.
inline constexpr const char* kNoSourceFolder = "请先选择源文件夹";
inline constexpr const char* kNoDestinationFolder = "请先选择目标文件夹";

// Converts the picture entry at location (IsPictureEntry) to target, checking in this order:
// the folder texts are not empty; the output name is free in claims (no other entry of the
// run wrote it, it is no other entry's source); then the picture is converted (streamed where
// the formats allow) and saved through the safe replacement. The output stays claimed only
// when it was written. working serves as the working picture. Throws the first failure;
// returns what the conversion noticed besides (nothing for an entry that is no picture's).
ConversionNotes ConvertEntry(const EntryLocation& location, const ConversionTarget& target, OutputClaims& claims,
                             Raster& working);

}  // namespace picbatch
