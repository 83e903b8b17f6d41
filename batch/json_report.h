// A run's report file in JSON Lines (report_line.h): each entry's line is written whole, with
// one write, as the entry is done, so a run that is killed or stopped leaves a file whose every
// line is a whole JSON object.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "batch/report_line.h"
#include "pictures/files/file_descriptor.h"

namespace picbatch {

// Why a report file is refused: a file with a picture's name is there already.
inline constexpr const char* kReportOverPicture = "报告不会写在图片文件上 / the report would overwrite a picture";

class JsonReport {
public:
    // Creates the file at path, or empties the one there. Throws Error "Cannot create file
    // "<absolute path>". <system text>", with its cause, when it cannot be opened for writing,
    // and kReportOverPicture, leaving it as it is, for a file that is not empty and has a
    // picture's name (IsPictureEntry).
    explicit JsonReport(const std::string& path);
    // A report in an unnamed temporary file (in $TMPDIR, else /tmp), to be saved later
    // (SaveTo); the window keeps its run's report there. Throws as above.
    static std::unique_ptr<JsonReport> Temporary();

    JsonReport(const JsonReport&) = delete;
    JsonReport& operator=(const JsonReport&) = delete;

    // Writes line; safe to call from several threads. A write that fails (a full disk) is
    // taken back, so the file keeps whole lines only, and no later line is written: Failure
    // then says why. Never throws.
    void Add(const ReportLine& line) noexcept;
    // The same for lines, written with one write (the many entries of a folder that are no
    // pictures cost one system call).
    void Add(std::span<const ReportLine> lines) noexcept;
    // A skipped line (SkippedLine) for each of sources, with one cause.
    void AddSkipped(const std::vector<std::string>& sources, const std::string& cause) noexcept;
    // What made the report incomplete, as "Stream write error. <system text>"; nothing while
    // every line was written.
    std::optional<std::string> Failure() const;
    // Copies the lines written so far to the file at path, replacing it once complete (the safe
    // replacement of the outputs). Throws OutputFile's errors, and "Stream read error" when
    // the report cannot be read back.
    void SaveTo(const std::string& path) const;

private:
    explicit JsonReport(FileDescriptor file);

    mutable std::mutex m_mutex;
    FileDescriptor m_file;
    std::optional<std::string> m_failure;
};

}  // namespace picbatch
