// One line of a run's JSON Lines report: what became of one entry, written as one JSON object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace picbatch {

struct EntryOutcome;

enum class ReportStatus { Converted, Failed, Warning, Skipped, UpToDate };

// The status as the report writes it: "converted", "failed", "warning", "skipped",
// "up-to-date".
std::string_view ReportStatusWord(ReportStatus status);

struct PixelSize {
    int width = 0;
    int height = 0;
};

struct ReportLine {
    std::string source;                 // the entry: its path relative to the source folder
    std::optional<std::string> output;  // the file the entry is written to, where it has one
    ReportStatus status = ReportStatus::Skipped;
    std::optional<std::string> cause;   // why it failed, was warned about or skipped
    std::optional<PixelSize> sourceSize;  // as stored in the file, where its header was read
    std::optional<PixelSize> outputSize;  // of the file written
    std::int64_t bytesWritten = 0;
    double milliseconds = 0;
};

// The skip's text of an entry that is no picture's.
inline constexpr const char* kNotAPictureCause = "不是图片文件 / not a picture file";

// The line of a picture entry that the run engine did: converted (with a warning or not) or
// failed.
ReportLine ReportLineOf(const EntryOutcome& outcome);

// The line of an entry passed over, with why.
ReportLine SkippedLine(std::string source, std::string cause);

// The line's JSON object on one line, ending in "\n", its keys always in this order:
// source, output, status, cause, source_width, source_height, output_width, output_height,
// bytes_written, milliseconds (null where the line has no value). Names are bytes, and JSON
// strings are Unicode: a source or output path that is not valid UTF-8 is written with each
// invalid byte as U+FFFD, and its exact bytes follow in "source_bytes" or "output_bytes",
// each byte as the character of the same number (U+0000 to U+00FF; in Python
// .encode("latin-1") gives the bytes back). Those keys are there only for such names.
std::string ReportLineText(const ReportLine& line);

}  // namespace picbatch
